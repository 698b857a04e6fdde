// The Windows Credential Manager as the password store: a password kept, replaced, read back
// byte for byte and forgotten, under a user name of its own so the user's own items are never
// touched. Runs under Wine in the Windows tests; on Linux the keyring has its own test.
#ifdef _WIN32

#include "platform/windows/credentialstore.h"

#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace ostravel {
namespace {

TEST(CredentialManagerStore, KeepsReplacesReadsAndForgetsAPassword) {
    CredentialManagerStore store;
    // Not ASCII, and a name per run: a run that died half way leaves nothing the next one trips on.
    const std::string user = "t\xc3\xa9st-" + std::to_string(GetCurrentProcessId());
    const std::string password = "p\xc3\xa4ss w\"ord&=|\x01";
    ASSERT_EQ(store.Unavailable(), "");
    EXPECT_EQ(store.Lookup(user), std::nullopt);

    ASSERT_TRUE(store.Store(user, "first"));
    ASSERT_TRUE(store.Store(user, password));
    EXPECT_EQ(store.Lookup(user), password);
    EXPECT_EQ(store.Lookup(user + "x"), std::nullopt) << "another user has none";
    EXPECT_EQ(DesktopPasswordStore().Lookup(user), password) << "the program's store is this one";

    EXPECT_TRUE(store.Remove(user));
    EXPECT_EQ(store.Lookup(user), std::nullopt);
    EXPECT_TRUE(store.Remove(user)) << "none kept is what was asked for";
}

}  // namespace
}  // namespace ostravel

#endif
