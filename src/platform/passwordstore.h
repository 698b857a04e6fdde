// Where a password the user asked to be remembered is kept: the desktop's keyring, never a file of
// ours. An interface, so the login dialog can be tested without one; the desktop's implementation
// talks to the Secret Service (platform/linux/secretstore.h), the Windows one to the Credential Manager
// (platform/windows/credentialstore.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostravel {

class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    // Empty when passwords can be kept; otherwise why not, in a sentence for the user.
    virtual std::string Unavailable() = 0;
    // The password kept for `user`, if any.
    virtual std::optional<std::string> Lookup(std::string_view user) = 0;
    // Keeps `password` for `user`, replacing an earlier one; false when the keyring refused.
    virtual bool Store(std::string_view user, std::string_view password) = 0;
    // Forgets the password of `user`; true when none is kept any more.
    virtual bool Remove(std::string_view user) = 0;
};

// The store the desktop program uses.
PasswordStore& DesktopPasswordStore();

}  // namespace ostravel
