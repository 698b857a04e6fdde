// The remembered password in the desktop's keyring, through libsecret (the freedesktop Secret
// Service: GNOME Keyring, KeePassXC, KWallet's bridge). Items carry the schema "<app id>.Password"
// ("net.quenlor.Ostravel.Password") and the attribute "user"; one kept under the former schema
// "org.quenlor.Ostravel.Password" is moved to it when first looked up.
#pragma once

#include "platform/passwordstore.h"

namespace ostravel {

inline constexpr char kNoSessionBusReason[] =
    "Passwords are kept in the desktop's keyring, and this desktop session has no D-Bus session bus to reach "
    "one.";
inline constexpr char kNoKeyringReason[] =
    "Passwords are kept in the desktop's keyring (Secret Service), and no keyring service runs on this "
    "desktop.";

class SecretServiceStore : public PasswordStore {
public:
    std::string Unavailable() override;
    std::optional<std::string> Lookup(std::string_view user) override;
    bool Store(std::string_view user, std::string_view password) override;
    bool Remove(std::string_view user) override;
};

}  // namespace ostravel
