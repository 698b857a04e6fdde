#ifdef _WIN32

#include "platform/windows/credentialstore.h"

#include <cstdio>
#include <string>

#include <windows.h>

#include "platform/windows/widetext.h"
// wincred.h builds on windows.h.
#include <wincred.h>

namespace ostravel {

namespace {

// The application id and the user: one credential per user name.
std::wstring TargetName(std::string_view user) { return L"net.quenlor.Ostravel:" + Wide(user); }

void Report(const char* what) {
    std::fprintf(stderr, "ostravel: credential manager: %s: error %lu\n", what, GetLastError());
}

}  // namespace

std::optional<std::string> CredentialManagerStore::Lookup(std::string_view user) {
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(TargetName(user).c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        if (GetLastError() != ERROR_NOT_FOUND) Report("read");
        return std::nullopt;
    }
    std::string password(reinterpret_cast<const char*>(credential->CredentialBlob),
                         credential->CredentialBlobSize);
    CredFree(credential);
    return password;
}

bool CredentialManagerStore::Store(std::string_view user, std::string_view password) {
    if (password.size() > CRED_MAX_CREDENTIAL_BLOB_SIZE) return false;
    std::wstring target = TargetName(user);
    std::wstring userName = Wide(user);
    std::string blob(password);
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target.data();
    credential.UserName = userName.data();
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool stored = CredWriteW(&credential, 0) != FALSE;
    SecureZeroMemory(blob.data(), blob.size());
    if (!stored) Report("write");
    return stored;
}

bool CredentialManagerStore::Remove(std::string_view user) {
    if (CredDeleteW(TargetName(user).c_str(), CRED_TYPE_GENERIC, 0)) return true;
    if (GetLastError() == ERROR_NOT_FOUND) return true;
    Report("delete");
    return false;
}

PasswordStore& DesktopPasswordStore() {
    static CredentialManagerStore store;
    return store;
}

}  // namespace ostravel

#endif
