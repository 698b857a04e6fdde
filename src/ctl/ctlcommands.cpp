#include "ctl/ctlcommands.h"

#include "platform/translate.h"
#include "protocol/commands.h"

namespace ostravel::ctl {

namespace {

using O = Output;

constexpr std::string_view kServer = "Shoutcast server";
constexpr std::string_view kDj = "Shoutcast AutoDJ";
constexpr std::string_view kTv = "Shoutcast AutoTV";
constexpr std::string_view kStatus = "Server Status:";

constexpr CtlCommand kCommands[] = {
    {"status", cmd::kServerStatus, {kStatus}, O::Status, N_("print the server status report")},
    {"check", cmd::kServerStatus, {kStatus}, O::Check, N_("one monitoring line; exit status as below")},
    {"server start", cmd::kServerStart, {kServer}, O::Message, N_("start the server")},
    {"server stop", cmd::kServerStop, {kServer}, O::Message, N_("stop the server")},
    {"server restart", cmd::kServerRestart, {kServer}, O::Message, N_("restart the server")},
    {"autodj start", cmd::kDjStart, {kDj}, O::Message, N_("start the AutoDJ")},
    {"autodj stop", cmd::kDjStop, {kDj}, O::Message, N_("stop the AutoDJ")},
    {"autodj restart", cmd::kDjRestart, {kDj}, O::Message, N_("restart the AutoDJ")},
    {"autodj next", cmd::kDjNext, {kDj}, O::Message, N_("play the next song")},
    {"autodj shuffle", cmd::kDjShuffle, {kDj}, O::Message, N_("shuffle the playlist")},
    {"autodj reload", cmd::kDjReload, {kDj}, O::Message, N_("reload the playlist")},
    {"autotv start", cmd::kTvStart, {kTv}, O::Message, N_("start the AutoTV (plans of 250 kbps or more)")},
    {"autotv stop", cmd::kTvStop, {kTv}, O::Message, N_("stop the AutoTV")},
    {"autotv restart", cmd::kTvRestart, {kTv}, O::Message, N_("restart the AutoTV")},
    {"logs dj", cmd::kDjLogs, {"Shoutcast AutoDJ Logs"}, O::Text, N_("print the AutoDJ log")},
    {"logs tv", cmd::kTvLogs, {"Shoutcast AutoTV Logs"}, O::Text, N_("print the AutoTV log")},
    {"logs clear server", cmd::kServerClearLog, {kServer}, O::Message, N_("clear the server log")},
    {"logs clear dj", cmd::kDjClearLog, {kDj}, O::Message, N_("clear the AutoDJ log")},
    {"logs clear tv", cmd::kTvClearLog, {kTv}, O::Message, N_("clear the AutoTV log")},
    {"summary",
     cmd::kAccountSummary,
     {"Shoutcast Account Summary"},
     O::Text,
     N_("print the account summary")},
    {"config show server",
     cmd::kServerConfigure,
     {"Shoutcast server getconfig", "Shoutcast server content"},
     O::ServerSettings,
     N_("print the server's settings")},
    {"config show autodj",
     cmd::kDjConfigure,
     {"Shoutcast dj getconfig"},
     O::DjSettings,
     N_("print the AutoDJ's settings")},
    {"config show autotv",
     cmd::kTvConfigure,
     {"Shoutcast tv getconfig"},
     O::TvSettings,
     N_("print the AutoTV's settings")},
};

}  // namespace

std::span<const CtlCommand> CtlCommands() { return kCommands; }

const CtlCommand* FindCtlCommand(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) {
        if (!joined.empty()) joined += ' ';
        joined += word;
    }
    for (const CtlCommand& command : kCommands) {
        if (command.words == joined) return &command;
    }
    return nullptr;
}

}  // namespace ostravel::ctl
