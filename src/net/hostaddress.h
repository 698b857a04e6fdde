// A host as the user writes it: a DNS name, an IPv4 address or an IPv6 literal, with an optional port
// ("radio.example.net", "192.0.2.7:28000", "[2001:db8::7]:28000", "2001:db8::7"). Only read here; names
// are resolved when the connection is made.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostravel {

struct HostAddress {
    enum class Kind { Name, IPv4, IPv6 };
    std::string host;  // a name in lower case, or the address as written (an IPv6 one without brackets)
    unsigned short port = 0;
    Kind kind = Kind::Name;

    bool operator==(const HostAddress&) const = default;
};

// Reads `text` (blanks around it ignored); `defaultPort` where none is given. Nothing when it is not a
// host, with the reason in `error` (a sentence for the user) when given.
std::optional<HostAddress> ParseHostAddress(std::string_view text, unsigned short defaultPort,
                                            std::string* error = nullptr);

// The form ParseHostAddress reads back: "name:port", "192.0.2.7:port", "[2001:db8::7]:port".
std::string FormatHostAddress(const HostAddress& address);

}  // namespace ostravel
