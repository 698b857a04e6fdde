// The reply routing table: the receiver tries the rows in order, and the first row whose keyword
// occurs anywhere in a reply decides what happens to it. Within that row, an error keyword anywhere
// in the reply sends the whole reply to the message list instead. The order matters: the longer
// keywords come before their prefixes.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace ostravel {

enum class ReplyAction {
    MessageList,     // the whole reply goes to the top of the message list
    ServerConfig,    // kept for the server dialog, which opens with the content reply
    ServerContent,   // the media list: opens the server dialog
    DjConfig,        // opens the AutoDJ dialog
    DjLogs,          // the text viewer
    TvLogs,          // the text viewer
    AccountSummary,  // the text viewer
    TvConfig,        // opens the AutoTV dialog
    ServerStatus,    // the status box and the tray icon
};

struct ReplyRoute {
    std::string_view keyword;
    std::array<std::string_view, 4> errorKeywords;  // empty entries are unused
    ReplyAction action;
    // The text that closes a reply of this row, when it has one; a reply without it is waited for.
    std::string_view endMarker;

    // Replies that feed a parser or a window are completed before use; list lines go at once.
    bool NeedsWholeReply() const { return action != ReplyAction::MessageList; }
};

inline constexpr std::array<ReplyRoute, 12> kReplyRoutes{{
    {"Shoutcast server getconfig", {"Cannot retreive", "Invalid Shoutcast server", "Error - "},
     ReplyAction::ServerConfig, {}},
    {"Shoutcast server content", {"Cannot retreive", "Invalid Shoutcast server", "Error - "},
     ReplyAction::ServerContent, "^end"},
    {"Shoutcast server", {}, ReplyAction::MessageList, {}},
    {"Shoutcast dj getconfig", {"Cannot retreive", "Invalid Shoutcast dj getconfig", "Error - "},
     ReplyAction::DjConfig, {}},
    {"Shoutcast AutoDJ Logs",
     {"Cannot retreive", "Invalid Shoutcast AutoDJ Logs", "Error - ", "Disabled for demo user"},
     ReplyAction::DjLogs, {}},
    {"Shoutcast AutoTV Logs",
     {"Cannot retreive", "Invalid Shoutcast AutoTV Logs", "Error - ", "Disabled for demo user"},
     ReplyAction::TvLogs, {}},
    {"Shoutcast Account Summary", {"Cannot retreive", "Invalid Shoutcast Account Summary", "Error - "},
     ReplyAction::AccountSummary, {}},
    {"Shoutcast AutoDJ", {}, ReplyAction::MessageList, {}},
    {"Shoutcast tv getconfig", {"Cannot retreive", "Invalid Shoutcast", "Error - "}, ReplyAction::TvConfig, {}},
    {"Shoutcast AutoTV", {}, ReplyAction::MessageList, {}},
    {"Server Status:", {"Error -", "Account currently suspended", "Can not retreive status", "Invalid login"},
     ReplyAction::ServerStatus, "Status End"},
    {"Failed login.", {}, ReplyAction::MessageList, {}},
}};

// The row that decides `reply`, or nullptr when no keyword occurs in it (the reply is dropped).
const ReplyRoute* FindReplyRoute(std::string_view reply);
// True when one of the row's error keywords occurs in `reply`.
bool HasErrorKeyword(const ReplyRoute& route, std::string_view reply);

}  // namespace ostravel
