#include "net/hostaddress.h"

#include <algorithm>
#include <cctype>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include "platform/translate.h"

namespace ostravel {

namespace {

constexpr std::size_t kMaxNameLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Four decimal numbers 0-255, without leading zeros that other readers would take for octal.
bool IsIPv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return false;
        const std::string_view number = text.substr(0, dot);
        if (!IsDigits(number) || number.size() > 3 || (number.size() > 1 && number[0] == '0')) return false;
        if (std::stoi(std::string(number)) > 255) return false;
        text.remove_prefix(std::min(text.size(), dot + 1));
        if (part == 2 && text.empty()) return false;
    }
    return true;
}

bool IsIPv6(std::string_view text) {
    if (text.empty() || text.size() > 45) return false;
    unsigned char bytes[16];
    return inet_pton(AF_INET6, std::string(text).c_str(), bytes) == 1;
}

// Letters, digits and hyphens in labels of 1 to 63 characters that neither begin nor end with a
// hyphen; a name made of numbers alone would be a mistyped address, not a name.
bool IsHostName(std::string_view name) {
    if (name.ends_with('.')) name.remove_suffix(1);
    if (name.empty() || name.size() > kMaxNameLength) return false;
    bool allNumeric = true;
    for (std::size_t begin = 0; begin <= name.size();) {
        const std::size_t end = std::min(name.find('.', begin), name.size());
        const std::string_view label = name.substr(begin, end - begin);
        if (label.empty() || label.size() > kMaxLabelLength || label.front() == '-' || label.back() == '-') {
            return false;
        }
        for (char c : label) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
        }
        if (!IsDigits(label)) allNumeric = false;
        begin = end + 1;
    }
    return !allNumeric;
}

std::optional<HostAddress> Refuse(std::string* error, std::string_view text, const char* why) {
    if (error != nullptr)
        *error = FillIn(Translated(N_("\"{1}\" is not a host: {2}.")), {text, Translated(why)});
    return std::nullopt;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::optional<HostAddress> ParseHostAddress(std::string_view text, unsigned short defaultPort,
                                            std::string* error) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return Refuse(error, text, N_("no host given"));
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);

    std::string_view host = text;
    std::string_view port;
    bool bracketed = false;
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return Refuse(error, text, N_("the \"[\" is never closed"));
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return Refuse(error, text, N_("only a port may follow \"]\""));
        if (rest == ":") return Refuse(error, text, N_("the port is missing after \":\""));
        if (!rest.empty()) port = rest.substr(1);
        bracketed = true;
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        // Two colons or more: an IPv6 address without a port (with one, it must be in brackets).
        if (text.find(':', colon + 1) == std::string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
            if (port.empty()) return Refuse(error, text, N_("the port is missing after \":\""));
        }
    }

    HostAddress address;
    address.port = defaultPort;
    if (!port.empty()) {
        const int number = IsDigits(port) && port.size() <= 5 ? std::stoi(std::string(port)) : 0;
        if (number < 1 || number > 65535)
            return Refuse(error, text, N_("the port must be a number from 1 to 65535"));
        address.port = static_cast<unsigned short>(number);
    }
    if (host.empty()) return Refuse(error, text, N_("no host given"));
    if (bracketed || host.find(':') != std::string_view::npos) {
        if (!IsIPv6(host)) return Refuse(error, text, N_("not an IPv6 address"));
        address.kind = HostAddress::Kind::IPv6;
        address.host = Lower(host);
    } else if (IsIPv4(host)) {
        address.kind = HostAddress::Kind::IPv4;
        address.host = std::string(host);
    } else if (IsHostName(host)) {
        address.kind = HostAddress::Kind::Name;
        address.host = Lower(host);
    } else {
        return Refuse(
            error, text,
            std::all_of(host.begin(), host.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); })
                ? N_("not an IPv4 address")
                : N_("not a host name (letters, digits, \"-\" and \".\")"));
    }
    return address;
}

std::string FormatHostAddress(const HostAddress& address) {
    const std::string host =
        address.kind == HostAddress::Kind::IPv6 ? "[" + address.host + "]" : address.host;
    return host + ":" + std::to_string(address.port);
}

}  // namespace ostravel
