// The host's requests: logins, the command catalogue, starting and stopping the services, status
// reports, logs and the account summary. The settings live in hostsettings.cpp.
#include "host.h"

#include <algorithm>

#include "hosttext.h"

namespace hostsim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLogReplyBytes = 20000;  // a log reply must fit the client's 25600-byte read

const char* const kSongs[] = {
    "Morning Drive - Open Road",   "The Static Hearts - Signal Lost", "Luna Park - Carousel",
    "Echo Valley - Long Way Home", "Nightshift - Neon Rain",          "Paper Kites - Harbour Lights",
};
const char* const kClips[] = {"Ocean Waves (loop)", "City at Night", "Studio Session 12", "Station Ident"};

std::string plusForm(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '+');
    return text;
}

enum class Op {
    ServerStart,
    ServerStop,
    ServerRestart,
    ServerStatus,
    ServerGetConfig,
    ServerGetContent,
    ServerSetConfig,
    ServerClearLogs,
    DjStart,
    DjStop,
    DjRestart,
    DjGetConfig,
    DjSetConfig,
    DjNext,
    DjShuffle,
    DjReload,
    DjGetLogs,
    DjClearLogs,
    TvStart,
    TvStop,
    TvRestart,
    TvGetConfig,
    TvSetConfig,
    TvGetLogs,
    TvClearLogs,
    Summary,
};

}  // namespace

struct Host::Command {
    std::string_view word;
    std::string_view action;  // "" for none, "config" for a settings request
    Op op;
    std::string_view errorPrefix;  // routes an error reply to where the client shows errors of this kind
};

namespace {

constexpr std::string_view kServerPrefix = "Shoutcast server: ";
constexpr std::string_view kDjPrefix = "Shoutcast AutoDJ: ";
constexpr std::string_view kTvPrefix = "Shoutcast AutoTV: ";

const Host::Command kCommands[] = {
    {"shoutcast_server_start,", "startnow", Op::ServerStart, kServerPrefix},
    {"shoutcast_server_stop,", "stopnow", Op::ServerStop, kServerPrefix},
    {"shoutcast_server_restart,", "restartnow", Op::ServerRestart, kServerPrefix},
    {"shoutcast_server_status,", "", Op::ServerStatus, "Server Status: "},
    {"shoutcast_server_getconfig,", "", Op::ServerGetConfig, "Shoutcast server getconfig: "},
    {"shoutcast_server_getcontent,", "", Op::ServerGetContent, "Shoutcast server content: "},
    {"shoutcast_server_setconfig,", "config", Op::ServerSetConfig, kServerPrefix},
    {"shoutcast_server_clearlogs,", "flushlogsnow", Op::ServerClearLogs, kServerPrefix},
    {"shoutcast_dj_start,", "startnow", Op::DjStart, kDjPrefix},
    {"shoutcast_dj_stop,", "stopnow", Op::DjStop, kDjPrefix},
    {"shoutcast_dj_restart,", "restartnow", Op::DjRestart, kDjPrefix},
    {"shoutcast_dj_getconfig,", "", Op::DjGetConfig, "Shoutcast dj getconfig: "},
    {"shoutcast_dj_setconfig,", "config", Op::DjSetConfig, kDjPrefix},
    {"shoutcast_dj_next,", "nextsongnow", Op::DjNext, kDjPrefix},
    {"shoutcast_dj_shuffle,", "shufflenow", Op::DjShuffle, kDjPrefix},
    {"shoutcast_dj_reload,", "reloadplaylistnow", Op::DjReload, kDjPrefix},
    {"shoutcast_dj_getlogs,", "", Op::DjGetLogs, "Shoutcast AutoDJ Logs: "},
    {"shoutcast_dj_clearlogs,", "flushlogsnow", Op::DjClearLogs, kDjPrefix},
    {"shoutcast_tv_start,", "startnow", Op::TvStart, kTvPrefix},
    {"shoutcast_tv_stop,", "stopnow", Op::TvStop, kTvPrefix},
    {"shoutcast_tv_restart,", "restartnow", Op::TvRestart, kTvPrefix},
    {"shoutcast_tv_getconfig,", "", Op::TvGetConfig, "Shoutcast tv getconfig: "},
    {"shoutcast_tv_setconfig,", "config", Op::TvSetConfig, kTvPrefix},
    {"shoutcast_tv_getlogs,", "", Op::TvGetLogs, "Shoutcast AutoTV Logs: "},
    {"shoutcast_tv_clearlogs,", "flushlogsnow", Op::TvClearLogs, kTvPrefix},
    {"shoutcast_account_summary,", "startnow", Op::Summary, "Shoutcast Account Summary: "},
};

bool isTv(Op op) {
    return op == Op::TvStart || op == Op::TvStop || op == Op::TvRestart || op == Op::TvGetConfig ||
           op == Op::TvSetConfig || op == Op::TvGetLogs || op == Op::TvClearLogs;
}

bool isDj(Op op) {
    return op == Op::DjStart || op == Op::DjStop || op == Op::DjRestart || op == Op::DjGetConfig ||
           op == Op::DjSetConfig || op == Op::DjNext || op == Op::DjShuffle || op == Op::DjReload ||
           op == Op::DjGetLogs || op == Op::DjClearLogs;
}

const Host::Command* findCommand(std::string_view word) {
    for (const auto& cmd : kCommands) {
        if (cmd.word == word) {
            return &cmd;
        }
    }
    return nullptr;
}

}  // namespace

Host::Host(std::vector<Account> accounts, fs::path dataDir, std::string streamHost)
    : accounts_(std::move(accounts)),
      dataDir_(std::move(dataDir)),
      streamHost_(std::move(streamHost)),
      states_(accounts_.size()) {}

fs::path Host::accountDir(int account) const { return dataDir_ / accountFolderName(accounts_[account].user); }

fs::path Host::logPath(int account, Kind kind) const {
    static const char* const names[] = {"sc_serv.log", "sc_trans.log", "sc_nsv.log"};
    return accountDir(account) / names[kind];
}

bool Host::prepare(std::string& error) {
    std::lock_guard lock(mutex_);
    for (int a = 0; a < static_cast<int>(accounts_.size()); ++a) {
        std::error_code ec;
        fs::create_directories(accountDir(a), ec);
        if (ec) {
            error = "cannot create " + accountDir(a).string() + ": " + ec.message();
            return false;
        }
        for (const Kind kind : {kServ, kTrans, kNsv}) {
            conf(a, kind);
            if (!fs::exists(logPath(a, kind))) {
                static const char* const firsts[] = {"[server] log created", "[autodj] log created",
                                                     "[autotv] log created"};
                log(a, kind, firsts[kind]);
            }
        }
        if (!fs::exists(confPath(a, kServ))) {
            error = "cannot write " + confPath(a, kServ).string();
            return false;
        }
    }
    return true;
}

void Host::log(int account, Kind kind, std::string_view line) { appendLogLine(logPath(account, kind), line); }

std::string Host::maskForLog(std::string_view text) const {
    std::string out(text);
    const auto maskAfter = [&out](std::size_t from, std::size_t length) {
        out.replace(from, length, "*****");
    };
    if (startsWith(out, "Username,")) {
        for (const auto& acct : accounts_) {
            if (out == "Username," + acct.user + "," + acct.password) {
                maskAfter(out.size() - acct.password.size(), acct.password.size());
                return out;
            }
        }
        const auto comma = out.rfind(',');
        maskAfter(comma + 1, out.size() - comma - 1);
        return out;
    }
    const std::string_view marker = "&passwordsc=";
    const auto at = out.find(marker);
    if (at == std::string::npos) {
        return out;
    }
    const auto start = at + marker.size();
    const std::string_view rest = std::string_view(out).substr(start);
    std::size_t length = std::string_view::npos;
    for (const auto& acct : accounts_) {
        for (const auto& pass : {acct.password, plusForm(acct.password)}) {
            if (startsWith(rest, pass) &&
                (rest.size() == pass.size() || startsWith(rest.substr(pass.size()), "&action=") ||
                 startsWith(rest.substr(pass.size()), "&config="))) {
                length = pass.size();
            }
        }
    }
    if (length == std::string_view::npos) {
        const auto action = rest.find("&action=");
        const auto config = rest.find("&config=");
        length = std::min({rest.size(), action, config});
    }
    if (length > 0) {
        maskAfter(start, length);
    }
    return out;
}

std::optional<int> Host::findAccount(std::string_view user, std::string_view password) const {
    for (int a = 0; a < static_cast<int>(accounts_.size()); ++a) {
        if (accounts_[a].user == user && accounts_[a].password == password) {
            return a;
        }
    }
    return std::nullopt;
}

std::string Host::serverLog(int account) {
    std::lock_guard lock(mutex_);
    return readLogTail(logPath(account, kServ), 200000);
}

Host::Services Host::services(int account) {
    std::lock_guard lock(mutex_);
    return states_[account].running;
}

std::optional<std::string> Host::operate(std::string_view user, std::string_view what) {
    const Command* cmd = findCommand("shoutcast_" + std::string(what) + ",");
    if (cmd == nullptr ||
        !(cmd->action == "startnow" || cmd->action == "stopnow" || cmd->action == "restartnow") ||
        cmd->op == Op::Summary) {
        return std::nullopt;
    }
    for (int a = 0; a < static_cast<int>(accounts_.size()); ++a) {
        if (accounts_[a].user != user) {
            continue;
        }
        Outcome unused;
        std::lock_guard lock(mutex_);
        return run(*cmd, a, {}, unused);
    }
    return std::nullopt;
}

Outcome Host::handle(Session& session, const Block& block) {
    if (block.text == kLogOffNotice) {
        Outcome outcome;
        outcome.close = true;
        return outcome;
    }
    if (startsWith(block.text, kFaultCommand)) {
        Outcome outcome;
        outcome.faultList = block.text.substr(kFaultCommand.size());
        return outcome;
    }
    if (session.loginPhase()) {
        return login(session, block);
    }
    return command(session, block);
}

Outcome Host::login(Session& session, const Block& block) {
    Outcome outcome;
    if (session.phase == Session::Phase::AwaitUser) {
        session.firstBlock = block.text;
        session.phase = Session::Phase::AwaitCredentials;
        return outcome;
    }
    session.phase = Session::Phase::AwaitUser;
    for (int a = 0; a < static_cast<int>(accounts_.size()); ++a) {
        const Account& acct = accounts_[a];
        if (session.firstBlock == acct.user && block.text == "Username," + acct.user + "," + acct.password) {
            std::lock_guard lock(mutex_);
            session.phase = Session::Phase::LoggedIn;
            session.account = a;
            session.loginId = nextLoginId_++;
            log(a, kServ, "[session] login from " + session.peer);
            // The client reads the id between the first and second "=" and cuts at "%".
            std::string shown;
            for (const char ch : acct.user) {
                if (ch != '=' && ch != '%') {
                    shown += ch;
                }
            }
            outcome.replies.push_back("Logged In: Welcome back, " + shown + "=" +
                                      std::to_string(session.loginId));
            return outcome;
        }
    }
    session.firstBlock.clear();
    outcome.replies.emplace_back("Failed login.");
    return outcome;
}

std::string Host::statusReport(const Session& session) {
    std::lock_guard lock(mutex_);
    return statusLocked(session.account);
}

std::string Host::statusLocked(int account) {
    const Account& acct = accounts_[account];
    const Services& svc = states_[account].running;
    const char* phrase = !svc.server          ? "Server is currently offline"
                         : (svc.dj || svc.tv) ? "Server is currently up and public"
                                              : "Server is Online. Connect a DJ";
    // Fields are separated by double quotes; each value is the third blank-separated word.
    std::string reply = std::string("Server Status: ") + phrase + "\"Stream IP: " + streamHost_ +
                        "\"Stream Port: " + std::to_string(acct.streamPort) +
                        "\"Max. Bitrate: " + std::to_string(acct.maxBitrate);
    if (svc.server && svc.dj) {
        reply += "\"Current Song: " + currentSong(account);
    } else if (svc.server && svc.tv) {
        reply += "\"Current Video: " + std::string(kClips[states_[account].clip % std::size(kClips)]);
    }
    return reply + "\"Status End";
}

std::string Host::currentSong(int account) { return kSongs[states_[account].song % std::size(kSongs)]; }

Outcome Host::command(Session& session, const Block& block) {
    Outcome outcome;
    if (block.text.empty()) {
        return outcome;  // zero fill with nothing in it: nothing to answer
    }
    const auto comma = block.text.find(',');
    const Command* cmd = comma == std::string::npos ? nullptr : findCommand(block.text.substr(0, comma + 1));
    if (cmd == nullptr) {
        outcome.replies.push_back(std::string(kServerPrefix) + "Error - unknown command.");
        return outcome;
    }
    const Account& acct = accounts_[session.account];
    const bool settings = cmd->action == "config";
    // User names and passwords travel unescaped, so they are matched whole instead of split out.
    const std::string rest = block.text.substr(comma + 1);
    const std::string credentials = settings
                                        ? plusForm("?loginsc=" + acct.user + "&passwordsc=" + acct.password)
                                        : "?loginsc=" + acct.user + "&passwordsc=" + acct.password;
    const std::string expected = settings              ? "&config="
                                 : cmd->action.empty() ? ""
                                                       : "&action=" + std::string(cmd->action);
    const std::string error(std::string(cmd->errorPrefix) + "Error - ");
    const std::string_view tail = startsWith(rest, credentials)
                                      ? std::string_view(rest).substr(credentials.size())
                                      : std::string_view();
    if (!startsWith(rest, credentials) ||
        !(tail.empty() || startsWith(tail, "&action=") || startsWith(tail, "&config="))) {
        outcome.replies.push_back(error + "Invalid login");
        return outcome;
    }
    if (settings ? !startsWith(tail, expected) : tail != expected) {
        outcome.replies.push_back(error + "this request does not take '" + tame(tail) + "'.");
        return outcome;
    }
    if (settings && !block.terminated) {
        outcome.replies.push_back(error + "settings request cut at " + std::to_string(block.size) +
                                  " bytes; nothing was saved.");
        return outcome;
    }
    const std::string_view config = settings ? tail.substr(expected.size()) : std::string_view();
    std::lock_guard lock(mutex_);
    auto reply = run(*cmd, session.account, config, outcome);
    if (!reply.empty()) {
        outcome.replies.insert(outcome.replies.begin(), std::move(reply));
    }
    return outcome;
}

std::string Host::run(const Command& cmd, int account, std::string_view config, Outcome& outcome) {
    if (isTv(cmd.op)) {
        if (accounts_[account].maxBitrate < 250) {
            return std::string(cmd.errorPrefix) + "Error - AutoTV needs a plan of 250 kbps or more.";
        }
        return runTv(cmd, account, config);
    }
    if (isDj(cmd.op)) {
        return runDj(cmd, account, config);
    }
    return runServer(cmd, account, config, outcome);
}

std::string Host::runServer(const Command& cmd, int account, std::string_view config, Outcome& outcome) {
    Services& svc = states_[account].running;
    const std::string port = std::to_string(accounts_[account].streamPort);
    switch (cmd.op) {
        case Op::ServerStart:
            if (svc.server) {
                return "Shoutcast server is already running.";
            }
            svc.server = true;
            log(account, kServ, "[server] started on port " + port);
            return "Shoutcast server started.";
        case Op::ServerStop:
            return stopServer(account);
        case Op::ServerRestart:
            svc.server = true;
            log(account, kServ, "[server] restarted on port " + port);
            return "Shoutcast server restarted.";
        case Op::ServerStatus:
            return statusLocked(account);
        case Op::ServerGetConfig:
            // The client opens its dialog on the content reply, which must come as a reply of its own.
            outcome.replies.push_back(contentReply(account));
            return serverSettingsReply(account);
        case Op::ServerGetContent:
            return contentReply(account);
        case Op::ServerSetConfig:
            return applySettings(account, kServ, config, "Shoutcast server configuration saved.");
        case Op::ServerClearLogs:
            return clearLogs(account, kServ, cmd.errorPrefix, "Shoutcast server log cleared.");
        case Op::Summary:
            return summary(account);
        default:
            return {};
    }
}

std::string Host::runDj(const Command& cmd, int account, std::string_view config) {
    State& state = states_[account];
    switch (cmd.op) {
        case Op::DjStart:
            return startPlayer(account, kTrans, false);
        case Op::DjRestart:
            return startPlayer(account, kTrans, true);
        case Op::DjStop:
            return stopPlayer(account, kTrans);
        case Op::DjGetConfig:
            return djSettingsReply(account);
        case Op::DjSetConfig:
            return applySettings(account, kTrans, config, "Shoutcast AutoDJ configuration saved.");
        case Op::DjNext:
            if (!state.running.dj) {
                return "Shoutcast AutoDJ is not running.";
            }
            ++state.song;
            log(account, kTrans, "[autodj] now playing: " + currentSong(account));
            return "Shoutcast AutoDJ now playing: " + currentSong(account);
        case Op::DjShuffle:
            if (!state.running.dj) {
                return "Shoutcast AutoDJ is not running.";
            }
            state.song += 3;
            log(account, kTrans, "[autodj] playlist shuffled");
            return "Shoutcast AutoDJ shuffled the playlist.";
        case Op::DjReload: {
            const std::string playlist = conf(account, kTrans).get("PlaylistFile");
            log(account, kTrans, "[autodj] playlist reloaded: " + playlist);
            return "Shoutcast AutoDJ reloaded the playlist " + playlist + ".";
        }
        case Op::DjGetLogs:
            return logsReply(account, kTrans, "Shoutcast AutoDJ Logs");
        case Op::DjClearLogs:
            return clearLogs(account, kTrans, cmd.errorPrefix, "Shoutcast AutoDJ log cleared.");
        default:
            return {};
    }
}

std::string Host::runTv(const Command& cmd, int account, std::string_view config) {
    switch (cmd.op) {
        case Op::TvStart:
            return startPlayer(account, kNsv, false);
        case Op::TvRestart:
            return startPlayer(account, kNsv, true);
        case Op::TvStop:
            return stopPlayer(account, kNsv);
        case Op::TvGetConfig:
            return tvSettingsReply(account);
        case Op::TvSetConfig:
            return applySettings(account, kNsv, config, "Shoutcast AutoTV configuration saved.");
        case Op::TvGetLogs:
            return logsReply(account, kNsv, "Shoutcast AutoTV Logs");
        case Op::TvClearLogs:
            return clearLogs(account, kNsv, cmd.errorPrefix, "Shoutcast AutoTV log cleared.");
        default:
            return {};
    }
}

// A stopped server takes the player that fed it down with it.
std::string Host::stopServer(int account) {
    Services& svc = states_[account].running;
    if (!svc.server) {
        return "Shoutcast server is not running.";
    }
    std::string extra;
    if (svc.dj || svc.tv) {
        extra = svc.dj ? " The AutoDJ was stopped with it." : " The AutoTV was stopped with it.";
        log(account, svc.dj ? kTrans : kNsv,
            svc.dj ? "[autodj] stopped: server down" : "[autotv] stopped: server down");
    }
    svc = Services{};
    log(account, kServ, "[server] stopped");
    return "Shoutcast server stopped." + extra;
}

// The AutoDJ (kTrans) or the AutoTV (kNsv): only one of them can feed the server at a time.
std::string Host::startPlayer(int account, Kind kind, bool restart) {
    Services& svc = states_[account].running;
    bool& self = kind == kTrans ? svc.dj : svc.tv;
    const bool other = kind == kTrans ? svc.tv : svc.dj;
    const char* name = kind == kTrans ? "AutoDJ" : "AutoTV";
    const char* otherName = kind == kTrans ? "AutoTV" : "AutoDJ";
    const std::string head = std::string("Shoutcast ") + name;
    if (!svc.server) {
        return head + " not started: the server is stopped. Start the server first.";
    }
    if (other) {
        return head + " not started: the " + otherName + " is feeding the server. Stop it first.";
    }
    if (self && !restart) {
        return head + " is already running.";
    }
    self = true;
    const std::string playlist = conf(account, kind).get("PlaylistFile");
    log(account, kind,
        std::string(kind == kTrans ? "[autodj]" : "[autotv]") + (restart ? " restarted" : " started") +
            ", playlist " + playlist);
    if (kind == kTrans) {
        log(account, kind, "[autodj] now playing: " + currentSong(account));
    }
    log(account, kServ, std::string("[source] ") + name + " connected");
    return head + (restart ? " restarted" : " started") + " with playlist " + playlist + ".";
}

std::string Host::stopPlayer(int account, Kind kind) {
    bool& self = kind == kTrans ? states_[account].running.dj : states_[account].running.tv;
    const char* name = kind == kTrans ? "AutoDJ" : "AutoTV";
    const std::string head = std::string("Shoutcast ") + name;
    if (!self) {
        return head + " is not running.";
    }
    self = false;
    log(account, kind, kind == kTrans ? "[autodj] stopped" : "[autotv] stopped");
    log(account, kServ, std::string("[source] ") + name + " disconnected");
    return head + " stopped.";
}

std::string Host::clearLogs(int account, Kind kind, std::string_view errorPrefix, std::string_view done) {
    if (accounts_[account].demo) {
        return std::string(errorPrefix) + "log not cleared: Disabled for demo user";
    }
    clearLog(logPath(account, kind));
    return std::string(done);
}

std::string Host::logsReply(int account, Kind kind, std::string_view keyword) {
    if (accounts_[account].demo) {
        return std::string(keyword) + ": Disabled for demo user";
    }
    const std::string text = readLogTail(logPath(account, kind), kLogReplyBytes);
    return std::string(keyword) + "\r\n" + (text.empty() ? "(the log is empty)\r\n" : text);
}

std::string Host::summary(int account) {
    const Account& acct = accounts_[account];
    const Services& svc = states_[account].running;
    const auto onOff = [](bool on) { return on ? "running" : "stopped"; };
    const ConfFile& serv = conf(account, kServ);
    std::string text = "Shoutcast Account Summary\r\n";
    text += "Account: " + acct.user + (acct.demo ? " (demo account)" : "") + "\r\n";
    text +=
        "Plan: " + std::to_string(acct.maxBitrate) + " kbps, up to " + serv.get("MaxUser") + " listeners\r\n";
    text += "Stream address: " + streamHost_ + ":" + std::to_string(acct.streamPort) + "\r\n";
    text += std::string("Server: ") + onOff(svc.server) + "\r\n";
    text += std::string("AutoDJ: ") + onOff(svc.dj) + ", playlist " +
            conf(account, kTrans).get("PlaylistFile") + "\r\n";
    if (acct.maxBitrate >= 250) {
        text += std::string("AutoTV: ") + onOff(svc.tv) + ", playlist " +
                conf(account, kNsv).get("PlaylistFile") + "\r\n";
    } else {
        text += "AutoTV: not part of this plan\r\n";
    }
    if (svc.dj) {
        text += "Current song: " + currentSong(account) + "\r\n";
    }
    return text;
}

}  // namespace hostsim
