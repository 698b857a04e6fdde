// Windows: remembered passwords in the user's Credential Manager (generic credentials named
// "net.quenlor.Ostravel:<user>", kept on this machine only). Windows encrypts them for the user
// account; nothing of them is ever in a file of ours.
#pragma once

#ifdef _WIN32

#include "platform/passwordstore.h"

namespace ostravel {

class CredentialManagerStore : public PasswordStore {
public:
    std::string Unavailable() override { return {}; }
    std::optional<std::string> Lookup(std::string_view user) override;
    bool Store(std::string_view user, std::string_view password) override;
    bool Remove(std::string_view user) override;
};

}  // namespace ostravel

#endif
