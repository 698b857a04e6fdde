#include "host.h"

#include <algorithm>
#include <charconv>

namespace hostsim {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLogReplyBytes = 20000;  // a log reply must fit the client's 25600-byte read

const char* const kSongs[] = {
    "Morning Drive - Open Road",   "The Static Hearts - Signal Lost", "Luna Park - Carousel",
    "Echo Valley - Long Way Home", "Nightshift - Neon Rain",          "Paper Kites - Harbour Lights",
};
const char* const kClips[] = {"Ocean Waves (loop)", "City at Night", "Studio Session 12", "Station Ident"};

// Phrases the client dispatches on. A stored value holding one would make its settings reply land
// in the wrong place, so such values are refused.
const char* const kReplyKeywords[] = {
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

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool startsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

// Client text echoed in a reply: printable, short, and never a keyword that would reroute the reply.
std::string tame(std::string_view text) {
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

std::string plusForm(std::string text) {
    std::replace(text.begin(), text.end(), ' ', '+');
    return text;
}

std::string lower(std::string text) {
    for (auto& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return text;
}

std::optional<long> number(std::string_view text) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
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

// How a value of a settings request is checked and stored.
enum class Check {
    Any,
    Number,
    OptNumber,
    YesNo,
    OptYesNo,
    YesNoCode,
    Public,
    ShowLast,
    MaxUser,
    Playlist,
    DjBitrate,
    TvBitrate,
    SampleRate,
    OptSampleRate,
    Channels,
    Quality,
    Crossfade,
};

struct SetItem {
    std::string_view item;  // name in the request
    std::string_view key;   // key in the settings file
    Check check;
    std::string_view flagItem;  // "...Enabled" item that switches this setting on, if it is optional
    std::string_view flagKey;
};

const SetItem kServerItems[] = {
    {"AdminPassword", "AdminPassword", Check::Any, "", ""},
    {"ConnectPassword", "ConnectPassword", Check::Any, "", ""},
    {"MaxUser", "MaxUser", Check::MaxUser, "", ""},
    {"ShowLastSongs", "ShowLastSongs", Check::ShowLast, "", ""},
    {"AutoDumpUsers", "AutoDumpUsers", Check::YesNoCode, "", ""},
    {"AutoDumpSourceTime", "AutoDumpSourceTime", Check::Number, "", ""},
    {"PublicServer", "PublicServer", Check::Public, "", ""},
    {"AllowRelay", "AllowRelay", Check::YesNo, "", ""},
    {"AllowPublicRelay", "AllowPublicRelay", Check::YesNo, "", ""},
    {"RelayPort", "RelayPort", Check::OptNumber, "RelayPortEnabled", "RelayPortEnabled"},
    {"RelayServer", "RelayServer", Check::Any, "RelayServerEnabled", "RelayServerEnabled"},
    {"IntroSongFile", "IntroFile", Check::Any, "PlayIntroFileEnabled", "IntroFileEnabled"},
    {"CustomIntroFile", "", Check::Any, "", ""},
    {"BackupSongFile", "BackupFile", Check::Any, "PlayBackupFileEnabled", "BackupFileEnabled"},
    {"CustomBackupFile", "", Check::Any, "", ""},
    {"TitleFormat", "TitleFormat", Check::Any, "TitleFormatEnabled", "TitleFormatEnabled"},
    {"URLFormat", "URLFormat", Check::Any, "URLFormatEnabled", "URLFormatEnabled"},
    {"ListenerTimer", "ListenerTimer", Check::OptNumber, "ListenerTimerEnabled", "ListenerTimerEnabled"},
    {"RIPOnly", "RIPOnly", Check::OptYesNo, "RIPOnlyEnabled", "RIPOnlyEnabled"},
};

const SetItem kDjItems[] = {
    {"Password", "Password", Check::Any, "", ""},
    {"PlaylistFile", "PlaylistFile", Check::Playlist, "", ""},
    {"StreamTitle", "StreamTitle", Check::Any, "", ""},
    {"StreamURL", "StreamURL", Check::Any, "", ""},
    {"Genre", "Genre", Check::Any, "", ""},
    {"Shuffle", "Shuffle", Check::YesNoCode, "", ""},
    {"Bitrate", "Bitrate", Check::DjBitrate, "", ""},
    {"SampleRate", "SampleRate", Check::SampleRate, "", ""},
    {"Channels", "Channels", Check::Channels, "", ""},
    {"Quality", "Quality", Check::Quality, "", ""},
    {"CrossfadeMode", "CrossfadeMode", Check::Crossfade, "", ""},
    {"CrossfadeLength", "CrossfadeLength", Check::Number, "", ""},
    {"Public", "Public", Check::YesNoCode, "", ""},
    {"AIM", "AIM", Check::Any, "", ""},
    {"ICQ", "ICQ", Check::Any, "", ""},
    {"IRC", "IRC", Check::Any, "", ""},
};

const SetItem kTvItems[] = {
    {"Password", "Password", Check::Any, "", ""},
    {"PlaylistFile", "PlaylistFile", Check::Playlist, "", ""},
    {"AutoReconnect", "AutoReconnect", Check::YesNo, "", ""},
    {"StreamTitle", "StreamTitle", Check::Any, "", ""},
    {"StreamURL", "StreamURL", Check::Any, "", ""},
    {"Genre", "Genre", Check::Any, "", ""},
    {"Bitrate", "Bitrate", Check::TvBitrate, "", ""},
    {"SampleRate", "SampleRate", Check::OptSampleRate, "", ""},
    {"Public", "Public", Check::YesNo, "", ""},
    {"AIM", "AIM", Check::Any, "", ""},
    {"ICQ", "ICQ", Check::Any, "", ""},
    {"IRC", "IRC", Check::Any, "", ""},
};

// Turns the client's word into what the settings file stores; nullopt with `why` when refused.
std::optional<std::string> checkValue(Check check, const std::string& value, const ConfFile& current,
                                      int maxBitrate, std::string& why) {
    const auto yesNo = [&](const char* yes, const char* no) -> std::optional<std::string> {
        const auto word = lower(value);
        if (word == "yes") {
            return std::string(yes);
        }
        if (word == "no") {
            return std::string(no);
        }
        why = "expected Yes or No";
        return std::nullopt;
    };
    const auto inRange = [&](long low, long high, const char* what) -> std::optional<std::string> {
        const auto n = number(value);
        if (!n || *n < low || *n > high) {
            why = what;
            return std::nullopt;
        }
        return value;
    };
    switch (check) {
        case Check::Any:
            return value;
        case Check::Number:
            return inRange(0, 1000000000, "expected a whole number");
        case Check::OptNumber:
            return value.empty() ? std::optional<std::string>(value)
                                 : inRange(0, 1000000000, "expected a whole number");
        case Check::YesNo:
            return yesNo("Yes", "No");
        case Check::OptYesNo:
            return value.empty() ? std::optional<std::string>(value) : yesNo("Yes", "No");
        case Check::YesNoCode:
            return yesNo("1", "0");
        case Check::Public: {
            const auto word = lower(value);
            if (word == "always" || word == "never" || word == "default") {
                return word;
            }
            why = "expected always, never or default";
            return std::nullopt;
        }
        case Check::ShowLast:
            return inRange(1, 20, "expected 1 to 20");
        case Check::MaxUser: {
            if (!contains(current.get("MaxUserOptions"), "unlimited") && value != current.get("MaxUser")) {
                why = "the plan has a fixed listener count";
                return std::nullopt;
            }
            return inRange(1, 100000, "expected a listener count");
        }
        case Check::Playlist: {
            const std::string list = current.get("PlayListList");
            for (const auto entry : split(list, ';')) {
                if (!entry.empty() && entry == value) {
                    return value;
                }
            }
            why = "not one of the account's playlists";
            return std::nullopt;
        }
        case Check::DjBitrate:
            return inRange(8000, static_cast<long>(maxBitrate) * 1000, "above the plan's bitrate");
        case Check::TvBitrate:
            return inRange(1, maxBitrate, "above the plan's bitrate");
        case Check::SampleRate:
            if (value == "22050" || value == "44100") {
                return value;
            }
            why = "expected 22050 or 44100";
            return std::nullopt;
        case Check::OptSampleRate:
            return value.empty() ? std::optional<std::string>(value)
                                 : checkValue(Check::SampleRate, value, current, maxBitrate, why);
        case Check::Channels:
            if (lower(value) == "mono") {
                return std::string("1");
            }
            if (lower(value) == "stereo") {
                return std::string("2");
            }
            why = "expected Mono or Stereo";
            return std::nullopt;
        case Check::Quality:
            return inRange(1, 10, "expected 1 to 10");
        case Check::Crossfade: {
            const auto word = lower(value);
            if (word == "none") {
                return std::string("0");
            }
            if (word == "fade in") {
                return std::string("1");
            }
            if (word == "fade out") {
                return std::string("2");
            }
            why = "expected None, Fade In or Fade Out";
            return std::nullopt;
        }
    }
    return std::nullopt;
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

fs::path Host::accountDir(int account) const {
    return dataDir_ / accountFolderName(accounts_[account].user);
}

fs::path Host::confPath(int account, Kind kind) const {
    static const char* const names[] = {"sc_serv.conf", "sc_trans.conf", "sc_nsv.conf"};
    return accountDir(account) / names[kind];
}

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

ConfFile Host::defaults(int account, Kind kind) const {
    const Account& acct = accounts_[account];
    const std::string port = std::to_string(acct.streamPort);
    switch (kind) {
        case kServ:
            return ConfFile({
                {"AdminPassword", "admin-changeme"},
                {"ConnectPassword", "source-changeme"},
                {"MaxUser", acct.demo ? "5" : "50"},
                {"MaxUserOptions", acct.demo ? "fixed by the demo plan" : "unlimited"},
                {"ShowLastSongs", "10"},
                {"AutoDumpUsers", "1"},
                {"AutoDumpSourceTime", "30"},
                {"PublicServer", "default"},
                {"AllowRelay", "Yes"},
                {"AllowPublicRelay", "Yes"},
                {"RelayPortEnabled", "0"},
                {"RelayPort", port},
                {"RelayServerEnabled", "0"},
                {"RelayServer", ""},
                {"IntroFileEnabled", "0"},
                {"IntroFile", "intro.mp3"},
                {"BackupFileEnabled", "0"},
                {"BackupFile", "backup.mp3"},
                {"TitleFormatEnabled", "0"},
                {"TitleFormat", "Now playing: %s"},
                {"URLFormatEnabled", "0"},
                {"URLFormat", ""},
                {"ListenerTimerEnabled", "0"},
                {"ListenerTimer", "120"},
                {"RIPOnlyEnabled", "0"},
                {"RIPOnly", "No"},
                {"MediaFiles", "intro.mp3;backup.mp3;station-id.mp3;jingle-morning.mp3;jingle-night.mp3"},
            });
        case kTrans:
            return ConfFile({
                {"PlaylistFile", "main.lst"},
                {"PlayListList", "main.lst;rock.lst;chill.lst"},
                {"Password", "source-changeme"},
                {"StreamTitle", "My Station"},
                {"StreamURL", "http://www.example.com"},
                {"Genre", "Various"},
                {"Shuffle", "1"},
                {"Bitrate", std::to_string(std::min(acct.maxBitrate, 128) * 1000)},
                {"SampleRate", "44100"},
                {"Channels", "2"},
                {"Quality", "1"},
                {"CrossfadeMode", "1"},
                {"CrossfadeLength", "8000"},
                {"Public", "1"},
                {"AIM", ""},
                {"ICQ", ""},
                {"IRC", ""},
            });
        case kNsv:
            return ConfFile({
                {"PlaylistFile", "videos.lst"},
                {"PlayListList", "videos.lst;clips.lst"},
                {"Password", "source-changeme"},
                {"StreamTitle", "My TV"},
                {"StreamURL", "http://www.example.com"},
                {"Genre", "Video"},
                {"AutoReconnect", "Yes"},
                {"Bitrate", std::to_string(std::min(acct.maxBitrate, 300))},
                {"SampleRate", "44100"},
                {"Public", "Yes"},
                {"AIM", ""},
                {"ICQ", ""},
                {"IRC", ""},
                {"ScreenLog", "0"},
                {"RealTime", "1"},
            });
    }
    return {};
}

ConfFile& Host::conf(int account, Kind kind) {
    State& state = states_[account];
    if (!state.loaded[kind]) {
        state.conf[kind] = defaults(account, kind);
        if (!state.conf[kind].mergeFrom(confPath(account, kind))) {
            state.conf[kind].save(confPath(account, kind));
        }
        state.loaded[kind] = true;
    }
    return state.conf[kind];
}

bool Host::saveConf(int account, Kind kind) {
    return conf(account, kind).save(confPath(account, kind));
}

void Host::log(int account, Kind kind, std::string_view line) {
    appendLogLine(logPath(account, kind), line);
}

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
    if (cmd == nullptr || !(cmd->action == "startnow" || cmd->action == "stopnow" || cmd->action == "restartnow") ||
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

std::string Host::currentSong(int account) {
    return kSongs[states_[account].song % std::size(kSongs)];
}

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
    const Account& acct = accounts_[account];
    State& state = states_[account];
    Services& svc = state.running;
    const std::string error(std::string(cmd.errorPrefix) + "Error - ");
    if (isTv(cmd.op) && acct.maxBitrate < 250) {
        return error + "AutoTV needs a plan of 250 kbps or more.";
    }
    const auto demoRefusal = [&](std::string_view what) {
        return std::string(cmd.errorPrefix) + std::string(what) + " Disabled for demo user";
    };
    const auto startPlayer = [&](bool& self, bool other, Kind kind, const char* name, const char* otherName,
                                 bool restart) -> std::string {
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
    };
    const auto stopPlayer = [&](bool& self, Kind kind, const char* name) -> std::string {
        const std::string head = std::string("Shoutcast ") + name;
        if (!self) {
            return head + " is not running.";
        }
        self = false;
        log(account, kind, kind == kTrans ? "[autodj] stopped" : "[autotv] stopped");
        log(account, kServ, std::string("[source] ") + name + " disconnected");
        return head + " stopped.";
    };
    const auto clearLogs = [&](Kind kind, const std::string& done) -> std::string {
        if (acct.demo) {
            return demoRefusal("log not cleared:");
        }
        clearLog(logPath(account, kind));
        return done;
    };
    const auto logsReply = [&](Kind kind, const char* keyword) -> std::string {
        if (acct.demo) {
            return std::string(keyword) + ": Disabled for demo user";
        }
        const std::string text = readLogTail(logPath(account, kind), kLogReplyBytes);
        return std::string(keyword) + "\r\n" + (text.empty() ? "(the log is empty)\r\n" : text);
    };

    switch (cmd.op) {
        case Op::ServerStart:
            if (svc.server) {
                return "Shoutcast server is already running.";
            }
            svc.server = true;
            log(account, kServ, "[server] started on port " + std::to_string(acct.streamPort));
            return "Shoutcast server started.";
        case Op::ServerStop: {
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
        case Op::ServerRestart:
            svc.server = true;
            log(account, kServ, "[server] restarted on port " + std::to_string(acct.streamPort));
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
            return clearLogs(kServ, "Shoutcast server log cleared.");
        case Op::DjStart:
            return startPlayer(svc.dj, svc.tv, kTrans, "AutoDJ", "AutoTV", false);
        case Op::DjRestart:
            return startPlayer(svc.dj, svc.tv, kTrans, "AutoDJ", "AutoTV", true);
        case Op::DjStop:
            return stopPlayer(svc.dj, kTrans, "AutoDJ");
        case Op::DjGetConfig:
            return djSettingsReply(account);
        case Op::DjSetConfig:
            return applySettings(account, kTrans, config, "Shoutcast AutoDJ configuration saved.");
        case Op::DjNext:
            if (!svc.dj) {
                return "Shoutcast AutoDJ is not running.";
            }
            ++state.song;
            log(account, kTrans, "[autodj] now playing: " + currentSong(account));
            return "Shoutcast AutoDJ now playing: " + currentSong(account);
        case Op::DjShuffle:
            if (!svc.dj) {
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
            return logsReply(kTrans, "Shoutcast AutoDJ Logs");
        case Op::DjClearLogs:
            return clearLogs(kTrans, "Shoutcast AutoDJ log cleared.");
        case Op::TvStart:
            return startPlayer(svc.tv, svc.dj, kNsv, "AutoTV", "AutoDJ", false);
        case Op::TvRestart:
            return startPlayer(svc.tv, svc.dj, kNsv, "AutoTV", "AutoDJ", true);
        case Op::TvStop:
            return stopPlayer(svc.tv, kNsv, "AutoTV");
        case Op::TvGetConfig:
            return tvSettingsReply(account);
        case Op::TvSetConfig:
            return applySettings(account, kNsv, config, "Shoutcast AutoTV configuration saved.");
        case Op::TvGetLogs:
            return logsReply(kNsv, "Shoutcast AutoTV Logs");
        case Op::TvClearLogs:
            return clearLogs(kNsv, "Shoutcast AutoTV log cleared.");
        case Op::Summary:
            return summary(account);
    }
    return {};
}

std::string Host::serverSettingsReply(int account) {
    const ConfFile& c = conf(account, kServ);
    // Optional settings that are switched off carry their value behind a ";".
    const auto optional = [&c](const char* key, const char* flag) {
        return (c.get(flag) == "1" ? "" : ";") + c.get(key);
    };
    std::string reply = "Shoutcast server getconfig";
    const std::pair<const char*, std::string> items[] = {
        {"maxListeners", c.get("MaxUser")},
        {"maxListOptions", c.get("MaxUserOptions")},
        {"adminPassword", c.get("AdminPassword")},
        {"connectPassword", c.get("ConnectPassword")},
        {"showLastSongs", c.get("ShowLastSongs")},
        {"autoDisconnectListener", c.get("AutoDumpUsers")},
        {"sourceDisconnectTime", c.get("AutoDumpSourceTime")},
        {"publicDirectoryListing", c.get("PublicServer")},
        {"allowRelaying", c.get("AllowRelay")},
        {"allowPublicRelaying", c.get("AllowPublicRelay")},
        {"relayingServerPort", optional("RelayPort", "RelayPortEnabled")},
        {"relayServerIP", optional("RelayServer", "RelayServerEnabled")},
        {"playIntroFile", optional("IntroFile", "IntroFileEnabled")},
        {"songBackupFile", optional("BackupFile", "BackupFileEnabled")},
        {"titleFormat", optional("TitleFormat", "TitleFormatEnabled")},
        {"URLFormat", optional("URLFormat", "URLFormatEnabled")},
        {"listenerTimer", optional("ListenerTimer", "ListenerTimerEnabled")},
        {"ripOnly", optional("RIPOnly", "RIPOnlyEnabled")},
    };
    for (const auto& [key, value] : items) {
        reply += std::string("|") + key + "=" + value;
    }
    return reply;
}

std::string Host::contentReply(int account) {
    std::string reply = "Shoutcast server content";
    const std::string files = conf(account, kServ).get("MediaFiles");
    for (const auto file : split(files, ';')) {
        if (!file.empty()) {
            reply += '|';
            reply += file;
        }
    }
    return reply + "|^end";
}

std::string Host::djSettingsReply(int account) {
    const ConfFile& c = conf(account, kTrans);
    std::string reply = "Shoutcast dj getconfig";
    const std::pair<const char*, const char*> items[] = {
        {"playListFile", "PlaylistFile"},
        {"password", "Password"},
        {"streamTitle", "StreamTitle"},
        {"streamURL", "StreamURL"},
        {"genre", "Genre"},
        {"shuffle", "Shuffle"},
        {"bitrate", "Bitrate"},
        {"sampleRate", "SampleRate"},
        {"channels", "Channels"},
        {"quality", "Quality"},
        {"crossfadeMode", "CrossfadeMode"},
        {"crossfadeLength", "CrossfadeLength"},
        {"public", "Public"},
        {"aim", "AIM"},
        {"icq", "ICQ"},
        {"irc", "IRC"},
        {"playListList", "PlayListList"},
    };
    for (const auto& [key, file] : items) {
        reply += std::string("|") + key + "=" + c.get(file);
    }
    return reply + "|maxBitrate=" + std::to_string(accounts_[account].maxBitrate);
}

std::string Host::tvSettingsReply(int account) {
    const ConfFile& c = conf(account, kNsv);
    std::string reply = "Shoutcast tv getconfig";
    const std::pair<const char*, const char*> items[] = {
        {"playListFile", "PlaylistFile"},
        {"password", "Password"},
        {"streamTitle", "StreamTitle"},
        {"streamURL", "StreamURL"},
        {"genre", "Genre"},
        {"autoReconnect", "AutoReconnect"},
        {"bitrate", "Bitrate"},
        {"public", "Public"},
        {"aim", "AIM"},
        {"icq", "ICQ"},
        {"irc", "IRC"},
        {"playListList", "PlayListList"},
        {"screenLog", "ScreenLog"},
        {"realTime", "RealTime"},
    };
    for (const auto& [key, file] : items) {
        reply += std::string("|") + key + "=" + c.get(file);
    }
    return reply + "|maxBitrate=" + std::to_string(accounts_[account].maxBitrate);
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

std::string Host::applySettings(int account, Kind kind, std::string_view config, std::string_view saved) {
    const auto rules = kind == kServ    ? std::begin(kServerItems)
                       : kind == kTrans ? std::begin(kDjItems)
                                        : std::begin(kTvItems);
    const auto rulesEnd = kind == kServ    ? std::end(kServerItems)
                          : kind == kTrans ? std::end(kDjItems)
                                           : std::end(kTvItems);
    ConfFile next = conf(account, kind);
    std::vector<std::string> notes;
    std::vector<std::string_view> valuesSeen;
    std::vector<std::string_view> flagsOn;
    std::string customIntro;
    std::string customBackup;
    for (const auto raw : split(config, '|')) {
        if (raw.empty()) {
            continue;
        }
        const auto eq = raw.find('=');
        const std::string name(raw.substr(0, eq));
        // The client sends every blank as "+".
        std::string value = eq == std::string_view::npos ? std::string() : std::string(raw.substr(eq + 1));
        std::replace(value.begin(), value.end(), '+', ' ');
        const auto rule = std::find_if(rules, rulesEnd, [&](const SetItem& r) { return r.item == name; });
        if (rule == rulesEnd) {
            const auto flag = std::find_if(
                rules, rulesEnd, [&](const SetItem& r) { return !r.flagItem.empty() && r.flagItem == name; });
            if (flag != rulesEnd && value == "on") {
                flagsOn.push_back(flag->flagItem);
            } else {
                notes.push_back(tame(name) + (flag != rulesEnd ? " (expected on)" : " (unknown item)"));
            }
            continue;
        }
        if (!rule->flagItem.empty()) {
            valuesSeen.push_back(rule->item);
        }
        std::string why;
        if (value.find('=') != std::string::npos) {
            why = "an '=' cannot be sent back in the settings reply";
        } else if (!rule->flagItem.empty() && !value.empty() && value.front() == ';') {
            why = "a leading ';' would read back as switched off";
        } else {
            for (const char* keyword : kReplyKeywords) {
                if (contains(value, keyword)) {
                    why = "holds a phrase the client reads as a reply keyword";
                }
            }
        }
        std::optional<std::string> stored;
        if (why.empty()) {
            stored = checkValue(rule->check, value, next, accounts_[account].maxBitrate, why);
        }
        if (!stored) {
            notes.push_back(tame(name) + " (" + why + ")");
        } else if (rule->item == "CustomIntroFile") {
            customIntro = *stored;
        } else if (rule->item == "CustomBackupFile") {
            customBackup = *stored;
        } else {
            next.set(rule->key, *stored);
        }
    }
    // A switched-off setting has no item of its own: its value item alone says "off".
    for (auto rule = rules; rule != rulesEnd; ++rule) {
        if (rule->flagItem.empty()) {
            continue;
        }
        const bool on = std::find(flagsOn.begin(), flagsOn.end(), rule->flagItem) != flagsOn.end();
        const bool seen = std::find(valuesSeen.begin(), valuesSeen.end(), rule->item) != valuesSeen.end();
        if (seen || on) {
            next.set(rule->flagKey, on ? "1" : "0");
        }
    }
    // A custom file name typed by the user wins over the one picked from the list.
    if (!customIntro.empty()) {
        next.set("IntroFile", customIntro);
    }
    if (!customBackup.empty()) {
        next.set("BackupFile", customBackup);
    }
    conf(account, kind) = next;
    if (!saveConf(account, kind)) {
        return std::string(saved.substr(0, saved.find(" configuration"))) +
               ": Error - the settings file could not be written.";
    }
    static const char* const tags[] = {"[server]", "[autodj]", "[autotv]"};
    log(account, kind, std::string(tags[kind]) + " configuration changed");
    std::string reply(saved);
    if (!notes.empty()) {
        reply += " Not taken:";
        for (std::size_t i = 0; i < notes.size(); ++i) {
            reply += (i == 0 ? " " : "; ") + notes[i];
        }
        reply += ".";
    }
    return reply;
}

}  // namespace hostsim
