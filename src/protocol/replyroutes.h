// The reply routing table: the receiver tries the rows in order, and the first row whose keyword
// occurs anywhere in a reply decides what happens to it. Within that row, an error keyword anywhere
// in the reply sends the whole reply to the message list instead. The order matters: the longer
// keywords come before their prefixes.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace ostravel {

// What is done with a reply, one call per kind of reply. The session's receiver implements it; each
// row of the table names the call its replies go to. True when the reply was taken.
class ReplyHandler {
public:
    // The whole reply goes to the top of the message list.
    virtual bool OnMessageListReply(const std::string& reply) = 0;
    // Kept for the server dialog, which opens with the content reply.
    virtual bool OnServerConfigReply(const std::string& reply) = 0;
    // The media list: opens the server dialog.
    virtual bool OnServerContentReply(const std::string& reply) = 0;
    // Open the AutoDJ and the AutoTV dialogs.
    virtual bool OnDjConfigReply(const std::string& reply) = 0;
    virtual bool OnTvConfigReply(const std::string& reply) = 0;
    // The text viewer.
    virtual bool OnDjLogsReply(const std::string& reply) = 0;
    virtual bool OnTvLogsReply(const std::string& reply) = 0;
    virtual bool OnAccountSummaryReply(const std::string& reply) = 0;
    // The status box and the tray icon.
    virtual bool OnServerStatusReply(const std::string& reply) = 0;

protected:
    ~ReplyHandler() = default;
};

using ReplyHandlerCall = bool (ReplyHandler::*)(const std::string& reply);

// A row's kind, by which a caller finds a row (the command line waits for the replies of a kind).
enum class ReplyAction {
    MessageList,
    ServerConfig,
    ServerContent,
    DjConfig,
    DjLogs,
    TvLogs,
    AccountSummary,
    TvConfig,
    ServerStatus,
};

struct ReplyRoute {
    std::string_view keyword;
    std::array<std::string_view, 4> errorKeywords{};  // at most four; empty entries are unused
    ReplyAction action;
    ReplyHandlerCall handler;
    // Settings, parsed into a dialog whose Save writes them back: a reply cut short must not open it.
    bool feedsSettingsDialog = false;
    // The text that closes a reply of this row, when it has one; a reply without it is waited for.
    std::string_view endMarker{};

    // Replies that feed a parser or a window are completed before use; list lines go at once.
    bool NeedsWholeReply() const { return action != ReplyAction::MessageList; }
};

inline constexpr auto kReplyRoutes = std::to_array<ReplyRoute>({
    {.keyword = "Shoutcast server getconfig",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast server", "Error - "},
     .action = ReplyAction::ServerConfig,
     .handler = &ReplyHandler::OnServerConfigReply,
     .feedsSettingsDialog = true},
    {.keyword = "Shoutcast server content",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast server", "Error - "},
     .action = ReplyAction::ServerContent,
     .handler = &ReplyHandler::OnServerContentReply,
     .feedsSettingsDialog = true,
     .endMarker = "^end"},
    {.keyword = "Shoutcast server",
     .action = ReplyAction::MessageList,
     .handler = &ReplyHandler::OnMessageListReply},
    {.keyword = "Shoutcast dj getconfig",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast dj getconfig", "Error - "},
     .action = ReplyAction::DjConfig,
     .handler = &ReplyHandler::OnDjConfigReply,
     .feedsSettingsDialog = true},
    {.keyword = "Shoutcast AutoDJ Logs",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast AutoDJ Logs", "Error - ",
                       "Disabled for demo user"},
     .action = ReplyAction::DjLogs,
     .handler = &ReplyHandler::OnDjLogsReply},
    {.keyword = "Shoutcast AutoTV Logs",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast AutoTV Logs", "Error - ",
                       "Disabled for demo user"},
     .action = ReplyAction::TvLogs,
     .handler = &ReplyHandler::OnTvLogsReply},
    {.keyword = "Shoutcast Account Summary",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast Account Summary", "Error - "},
     .action = ReplyAction::AccountSummary,
     .handler = &ReplyHandler::OnAccountSummaryReply},
    {.keyword = "Shoutcast AutoDJ",
     .action = ReplyAction::MessageList,
     .handler = &ReplyHandler::OnMessageListReply},
    {.keyword = "Shoutcast tv getconfig",
     .errorKeywords = {"Cannot retreive", "Invalid Shoutcast", "Error - "},
     .action = ReplyAction::TvConfig,
     .handler = &ReplyHandler::OnTvConfigReply,
     .feedsSettingsDialog = true},
    {.keyword = "Shoutcast AutoTV",
     .action = ReplyAction::MessageList,
     .handler = &ReplyHandler::OnMessageListReply},
    {.keyword = "Server Status:",
     .errorKeywords = {"Error -", "Account currently suspended", "Can not retreive status", "Invalid login"},
     .action = ReplyAction::ServerStatus,
     .handler = &ReplyHandler::OnServerStatusReply,
     .endMarker = "Status End"},
    {.keyword = "Failed login.",
     .action = ReplyAction::MessageList,
     .handler = &ReplyHandler::OnMessageListReply},
});

// The row that decides `reply`, or nullptr when no keyword occurs in it (the reply is dropped).
const ReplyRoute* FindReplyRoute(std::string_view reply);
// True when one of the row's error keywords occurs in `reply`.
bool HasErrorKeyword(const ReplyRoute& route, std::string_view reply);
// The host refused the login ("Failed login.", "Invalid login", a suspended account): the same
// credentials will be refused again.
bool IsLoginRefusal(std::string_view reply);
// The call that takes `reply` of `route`: the row's own, or the message list's for an error.
ReplyHandlerCall HandlerFor(const ReplyRoute& route, std::string_view reply);

}  // namespace ostravel
