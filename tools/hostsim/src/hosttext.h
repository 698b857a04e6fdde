// Text helpers shared by the host's request handling and its settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hostsim {

// Phrases the client dispatches on. A stored value holding one would make its settings reply land
// in the wrong place, so such values are refused.
inline constexpr const char* kReplyKeywords[] = {
    "Shoutcast server",
    "Shoutcast dj getconfig",
    "Shoutcast AutoDJ",
    "Shoutcast AutoTV",
    "Shoutcast Account Summary",
    "Shoutcast tv getconfig",
    "Server Status",
    "Status End",
    "Error -",
    "Cannot retreive",
    "Can not retreive",
    "Invalid ",
    "Failed login.",
    "Logged In: ",
    "Account currently suspended",
    "Disabled for demo user",
    "/bye",
};

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

inline bool startsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

// Client text echoed in a reply: printable, short, and never a keyword that would reroute the reply.
inline std::string tame(std::string_view text) {
    std::string out;
    for (const char ch : text.substr(0, 40)) {
        out += (ch >= 0x20 && ch < 0x7f && ch != '|' && ch != '"') ? ch : '?';
    }
    for (const char* keyword : kReplyKeywords) {
        if (contains(out, keyword)) {
            return "(item)";
        }
    }
    return out;
}

inline std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

}  // namespace hostsim
