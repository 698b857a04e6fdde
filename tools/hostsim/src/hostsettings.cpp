// The settings of an account's three services: their files with defaults, the settings replies, and
// settings requests checked item by item.
#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <span>

#include "host.h"
#include "hosttext.h"

namespace hostsim {

namespace fs = std::filesystem;

namespace {

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

// A word the client may send (in any case) and what the settings file stores for it.
struct Word {
    std::string_view typed;
    std::string_view stored;
};

std::optional<std::string> oneOf(const std::string& value, std::initializer_list<Word> words,
                                 const char* expected, std::string& why) {
    const auto typed = lower(value);
    for (const Word& word : words) {
        if (typed == word.typed) {
            return std::string(word.stored);
        }
    }
    why = expected;
    return std::nullopt;
}

std::optional<std::string> inRange(const std::string& value, long low, long high, const char* what,
                                   std::string& why) {
    const auto n = number(value);
    if (!n || *n < low || *n > high) {
        why = what;
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> checkMaxUser(const std::string& value, const ConfFile& current, std::string& why) {
    if (!contains(current.get("MaxUserOptions"), "unlimited") && value != current.get("MaxUser")) {
        why = "the plan has a fixed listener count";
        return std::nullopt;
    }
    return inRange(value, 1, 100000, "expected a listener count", why);
}

std::optional<std::string> checkPlaylist(const std::string& value, const ConfFile& current,
                                         std::string& why) {
    const std::string list = current.get("PlayListList");
    for (const auto entry : split(list, ';')) {
        if (!entry.empty() && entry == value) {
            return value;
        }
    }
    why = "not one of the account's playlists";
    return std::nullopt;
}

// Turns the client's word into what the settings file stores; nullopt with `why` when refused.
std::optional<std::string> checkValue(Check check, const std::string& value, const ConfFile& current,
                                      int maxBitrate, std::string& why) {
    // An optional setting may be left empty; otherwise it is checked as the plain one.
    const bool optional =
        check == Check::OptNumber || check == Check::OptYesNo || check == Check::OptSampleRate;
    if (optional && value.empty()) {
        return value;
    }
    switch (check) {
        case Check::Any:
            return value;
        case Check::Number:
        case Check::OptNumber:
            return inRange(value, 0, 1000000000, "expected a whole number", why);
        case Check::YesNo:
        case Check::OptYesNo:
            return oneOf(value, {{"yes", "Yes"}, {"no", "No"}}, "expected Yes or No", why);
        case Check::YesNoCode:
            return oneOf(value, {{"yes", "1"}, {"no", "0"}}, "expected Yes or No", why);
        case Check::Public:
            return oneOf(value, {{"always", "always"}, {"never", "never"}, {"default", "default"}},
                         "expected always, never or default", why);
        case Check::ShowLast:
            return inRange(value, 1, 20, "expected 1 to 20", why);
        case Check::MaxUser:
            return checkMaxUser(value, current, why);
        case Check::Playlist:
            return checkPlaylist(value, current, why);
        case Check::DjBitrate:
            return inRange(value, 8000, static_cast<long>(maxBitrate) * 1000, "above the plan's bitrate",
                           why);
        case Check::TvBitrate:
            return inRange(value, 1, maxBitrate, "above the plan's bitrate", why);
        case Check::SampleRate:
        case Check::OptSampleRate:
            return oneOf(value, {{"22050", "22050"}, {"44100", "44100"}}, "expected 22050 or 44100", why);
        case Check::Channels:
            return oneOf(value, {{"mono", "1"}, {"stereo", "2"}}, "expected Mono or Stereo", why);
        case Check::Quality:
            return inRange(value, 1, 10, "expected 1 to 10", why);
        case Check::Crossfade:
            return oneOf(value, {{"none", "0"}, {"fade in", "1"}, {"fade out", "2"}},
                         "expected None, Fade In or Fade Out", why);
    }
    return std::nullopt;
}

// Why a value cannot travel back in the settings reply whatever its setting; empty when it can.
std::string replyRefusal(const SetItem& rule, const std::string& value) {
    if (value.find('=') != std::string::npos) {
        return "an '=' cannot be sent back in the settings reply";
    }
    if (!rule.flagItem.empty() && !value.empty() && value.front() == ';') {
        return "a leading ';' would read back as switched off";
    }
    for (const char* keyword : kReplyKeywords) {
        if (contains(value, keyword)) {
            return "holds a phrase the client reads as a reply keyword";
        }
    }
    return {};
}

// A settings request taken apart: the file as the request leaves it, and what was not taken.
struct SettingsEdit {
    ConfFile next;
    std::vector<std::string> notes;
    std::vector<std::string_view> valuesSeen;  // value items of optional settings
    std::vector<std::string_view> flagsOn;     // "...Enabled" items sent as "on"
    std::string customIntro;
    std::string customBackup;
};

// One "name=value" item of a settings request.
void takeItem(std::string_view raw, std::span<const SetItem> rules, int maxBitrate, SettingsEdit& edit) {
    const auto eq = raw.find('=');
    const std::string name(raw.substr(0, eq));
    // The client sends every blank as "+".
    std::string value = eq == std::string_view::npos ? std::string() : std::string(raw.substr(eq + 1));
    std::replace(value.begin(), value.end(), '+', ' ');
    const auto rule =
        std::find_if(rules.begin(), rules.end(), [&](const SetItem& r) { return r.item == name; });
    if (rule == rules.end()) {
        const auto flag = std::find_if(rules.begin(), rules.end(), [&](const SetItem& r) {
            return !r.flagItem.empty() && r.flagItem == name;
        });
        if (flag != rules.end() && value == "on") {
            edit.flagsOn.push_back(flag->flagItem);
        } else {
            edit.notes.push_back(tame(name) + (flag != rules.end() ? " (expected on)" : " (unknown item)"));
        }
        return;
    }
    if (!rule->flagItem.empty()) {
        edit.valuesSeen.push_back(rule->item);
    }
    std::string why = replyRefusal(*rule, value);
    std::optional<std::string> stored;
    if (why.empty()) {
        stored = checkValue(rule->check, value, edit.next, maxBitrate, why);
    }
    if (!stored) {
        edit.notes.push_back(tame(name) + " (" + why + ")");
    } else if (rule->item == "CustomIntroFile") {
        edit.customIntro = *stored;
    } else if (rule->item == "CustomBackupFile") {
        edit.customBackup = *stored;
    } else {
        edit.next.set(rule->key, *stored);
    }
}

// A switched-off setting has no item of its own: its value item alone says "off".
void switchOptionalSettings(std::span<const SetItem> rules, SettingsEdit& edit) {
    for (const SetItem& rule : rules) {
        if (rule.flagItem.empty()) {
            continue;
        }
        const bool on =
            std::find(edit.flagsOn.begin(), edit.flagsOn.end(), rule.flagItem) != edit.flagsOn.end();
        const bool seen =
            std::find(edit.valuesSeen.begin(), edit.valuesSeen.end(), rule.item) != edit.valuesSeen.end();
        if (seen || on) {
            edit.next.set(rule.flagKey, on ? "1" : "0");
        }
    }
}

void takeCustomFiles(SettingsEdit& edit) {
    // A custom file name typed by the user wins over the one picked from the list.
    if (!edit.customIntro.empty()) {
        edit.next.set("IntroFile", edit.customIntro);
    }
    if (!edit.customBackup.empty()) {
        edit.next.set("BackupFile", edit.customBackup);
    }
}

std::string savedReply(std::string_view saved, const std::vector<std::string>& notes) {
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

ConfFile serverDefaults(const Account& acct) {
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
        {"RelayPort", std::to_string(acct.streamPort)},
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
}

ConfFile djDefaults(const Account& acct) {
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
}

ConfFile tvDefaults(const Account& acct) {
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

}  // namespace

fs::path Host::confPath(int account, Kind kind) const {
    static const char* const names[] = {"sc_serv.conf", "sc_trans.conf", "sc_nsv.conf"};
    return accountDir(account) / names[kind];
}

ConfFile Host::defaults(int account, Kind kind) const {
    const Account& acct = accounts_[account];
    switch (kind) {
        case kServ:
            return serverDefaults(acct);
        case kTrans:
            return djDefaults(acct);
        case kNsv:
            return tvDefaults(acct);
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

bool Host::saveConf(int account, Kind kind) { return conf(account, kind).save(confPath(account, kind)); }

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

std::string Host::applySettings(int account, Kind kind, std::string_view config, std::string_view saved) {
    const std::span<const SetItem> rules = kind == kServ    ? std::span<const SetItem>(kServerItems)
                                           : kind == kTrans ? std::span<const SetItem>(kDjItems)
                                                            : std::span<const SetItem>(kTvItems);
    SettingsEdit edit;
    edit.next = conf(account, kind);
    for (const auto raw : split(config, '|')) {
        if (!raw.empty()) {
            takeItem(raw, rules, accounts_[account].maxBitrate, edit);
        }
    }
    switchOptionalSettings(rules, edit);
    takeCustomFiles(edit);
    conf(account, kind) = edit.next;
    if (!saveConf(account, kind)) {
        return std::string(saved.substr(0, saved.find(" configuration"))) +
               ": Error - the settings file could not be written.";
    }
    static const char* const tags[] = {"[server]", "[autodj]", "[autotv]"};
    log(account, kind, std::string(tags[kind]) + " configuration changed");
    return savedReply(saved, edit.notes);
}

}  // namespace hostsim
