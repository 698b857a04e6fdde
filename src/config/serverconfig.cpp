#include "config/serverconfig.h"

#include <algorithm>

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

struct PlainKey {
    std::string_view name;
    std::string ServerSettings::*field;
};

// Optional settings: a value starting with ";" is a switched-off setting.
struct FlaggedKey {
    std::string_view name;
    bool ServerSettings::*enabled;
    std::string ServerSettings::*field;
};

constexpr PlainKey kPlainKeys[] = {
    {"maxListeners", &ServerSettings::maxListeners},
    {"maxListOptions", &ServerSettings::maxListOptions},
    {"connectPassword", &ServerSettings::connectPassword},
    {"adminPassword", &ServerSettings::adminPassword},
    {"showLastSongs", &ServerSettings::showLastSongs},
    {"sourceDisconnectTime", &ServerSettings::sourceDisconnectTime},
    {"publicDirectoryListing", &ServerSettings::publicDirectoryListing},
    {"allowRelaying", &ServerSettings::allowRelaying},
    {"allowPublicRelaying", &ServerSettings::allowPublicRelaying},
};

constexpr FlaggedKey kFlaggedKeys[] = {
    {"relayingServerPort", &ServerSettings::relayPortEnabled, &ServerSettings::relayingServerPort},
    {"relayServerIP", &ServerSettings::relayServerEnabled, &ServerSettings::relayServerIP},
    {"playIntroFile", &ServerSettings::playIntroFileEnabled, &ServerSettings::playIntroFile},
    {"songBackupFile", &ServerSettings::playBackupFileEnabled, &ServerSettings::songBackupFile},
    {"titleFormat", &ServerSettings::titleFormatEnabled, &ServerSettings::titleFormat},
    {"URLFormat", &ServerSettings::URLFormatEnabled, &ServerSettings::URLFormat},
    {"listenerTimer", &ServerSettings::listenerTimerEnabled, &ServerSettings::listenerTimer},
    {"ripOnly", &ServerSettings::ripOnlyEnabled, &ServerSettings::ripOnly},
};

const std::vector<std::string> kYesNo = {"Yes", "No"};

void AppendItem(std::string& out, std::string_view name, std::string_view value) {
    out.append(name).append(value).append("|");
}

void AppendFlag(std::string& out, bool enabled, std::string_view item) {
    if (enabled) {
        out.append(item);
    }
}

ListModel MakeFileList(int id, const std::vector<std::string>& files, const std::string& current) {
    ListModel list{id, {}, -1};
    // Each file goes on top, so the list shows the reply's order reversed.
    list.items.assign(files.rbegin(), files.rend());
    if (list.items.empty()) {
        list.items.push_back(current);
    }
    list.selection = FindWholeTextIgnoringCase(list.items, current);
    if (list.selection < 0) {
        list.items.insert(list.items.begin(), current);
        list.selection = 0;
    }
    return list;
}

ComboModel MakeCombo(int id, std::vector<std::string> items, const std::string& current) {
    ComboModel combo{id, std::move(items), -1};
    SelectOrKeep(combo, current);
    return combo;
}

}  // namespace

void ParseServerConfig(ServerSettings& settings) {
    // Parse from a copy: the reply is itself a field of the record.
    const std::string reply = settings.serverConfigReply;
    for (std::string_view item : SplitAll(reply, '|')) {
        const SettingItem parsed = SplitSettingItem(item);
        for (const PlainKey& key : kPlainKeys) {
            if (parsed.name == key.name) {
                settings.*key.field = std::string(parsed.value);
            }
        }
        if (parsed.name == "autoDisconnectListener") {
            settings.autoDisconnectListener = parsed.value == "0" ? "No" : "Yes";
        }
        for (const FlaggedKey& key : kFlaggedKeys) {
            if (parsed.name != key.name) {
                continue;
            }
            if (!parsed.value.empty() && parsed.value.front() == ';') {
                std::string_view rest = parsed.value.substr(1);
                settings.*key.enabled = false;
                settings.*key.field = std::string(rest.substr(0, rest.find(';')));
            } else {
                settings.*key.enabled = true;
                settings.*key.field = std::string(parsed.value);
            }
        }
    }
}

std::vector<std::string> ParseServerContent(std::string_view contentReply) {
    std::vector<std::string> files;
    const std::vector<std::string_view> entries = SplitAll(contentReply, '|');
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i] == "^end") {
            break;
        }
        files.emplace_back(entries[i]);
    }
    return files;
}

std::string BuildServerSetRequest(const ServerSettings& s, std::string_view userName,
                                  std::string_view password) {
    std::string text = SetRequestHead("shoutcast_server_setconfig,", userName, password);
    AppendItem(text, "AdminPassword=", s.adminPassword);
    AppendItem(text, "ConnectPassword=", s.connectPassword);
    AppendItem(text, "MaxUser=", s.maxListeners);
    AppendItem(text, "ShowLastSongs=", s.showLastSongs);
    AppendItem(text, "AutoDumpUsers=", s.autoDisconnectListener);
    AppendItem(text, "AutoDumpSourceTime=", s.sourceDisconnectTime);
    AppendItem(text, "PublicServer=", s.publicDirectoryListing);
    AppendItem(text, "AllowRelay=", s.allowRelaying);
    AppendItem(text, "AllowPublicRelay=", s.allowPublicRelaying);
    // A switched-off setting has no "off" item; its value travels either way.
    AppendFlag(text, s.relayPortEnabled, "RelayPortEnabled=on|");
    AppendItem(text, "RelayPort=", s.relayingServerPort);
    AppendFlag(text, s.relayServerEnabled, "RelayServerEnabled=on|");
    AppendItem(text, "RelayServer=", s.relayServerIP);
    AppendFlag(text, s.playIntroFileEnabled, "PlayIntroFileEnabled=on|");
    AppendItem(text, "IntroSongFile=", s.playIntroFile);
    AppendItem(text, "CustomIntroFile=", s.customIntroFile);
    AppendFlag(text, s.playBackupFileEnabled, "PlayBackupFileEnabled=on|");
    AppendItem(text, "BackupSongFile=", s.songBackupFile);
    AppendItem(text, "CustomBackupFile=", s.customBackupFile);
    AppendFlag(text, s.titleFormatEnabled, "TitleFormatEnabled=on|");
    AppendItem(text, "TitleFormat=", s.titleFormat);
    AppendFlag(text, s.URLFormatEnabled, "URLFormatEnabled=on|");
    AppendItem(text, "URLFormat=", s.URLFormat);
    AppendFlag(text, s.listenerTimerEnabled, "ListenerTimerEnabled=on|");
    AppendItem(text, "ListenerTimer=", s.listenerTimer);
    AppendFlag(text, s.ripOnlyEnabled, "RIPOnlyEnabled=on|");
    AppendItem(text, "RIPOnly=", s.ripOnly);
    return ReplaceBlanksWithPlus(std::move(text));
}

DialogModel MakeServerConfigModel(const ServerSettings& s) {
    using namespace serverdlg;
    DialogModel model;
    model.edits = {
        {kAdminPassword, s.adminPassword},
        {kConnectPassword, s.connectPassword},
        {kSourceDisconnectTime, s.sourceDisconnectTime},
        {kRelayPort, s.relayingServerPort},
        {kRelayServerIP, s.relayServerIP},
        {kCustomIntro, s.customIntroFile},
        {kCustomBackup, s.customBackupFile},
        {kTitleFormat, s.titleFormat},
        {kURLFormat, s.URLFormat},
        {kListenerTimer, s.listenerTimer},
    };
    model.radios = {
        {kRelayPortEnabled, kRelayPortDisabled, s.relayPortEnabled},
        {kRelayServerEnabled, kRelayServerDisabled, s.relayServerEnabled},
        {kIntroEnabled, kIntroDisabled, s.playIntroFileEnabled},
        {kBackupEnabled, kBackupDisabled, s.playBackupFileEnabled},
        {kTitleFormatEnabled, kTitleFormatDisabled, s.titleFormatEnabled},
        {kURLFormatEnabled, kURLFormatDisabled, s.URLFormatEnabled},
        {kListenerTimerEnabled, kListenerTimerDisabled, s.listenerTimerEnabled},
        {kRipOnlyEnabled, kRipOnlyDisabled, s.ripOnlyEnabled},
    };

    // Accounts with "unlimited" options may pick any count of the fixed list; others keep theirs.
    std::vector<std::string> listeners;
    if (s.maxListOptions.find("unlimited") != std::string::npos) {
        listeners = {"400", "350", "300", "250", "200", "150", "100", "75", "50", "40", "30", "20", "10"};
    } else {
        listeners = {s.maxListeners};
    }
    std::vector<std::string> lastSongs;
    for (int n = 1; n <= 20; ++n) {
        lastSongs.push_back(std::to_string(n));
    }
    model.combos = {
        MakeCombo(kMaxListeners, std::move(listeners), s.maxListeners),
        MakeCombo(kShowLastSongs, std::move(lastSongs), s.showLastSongs),
        MakeCombo(kAutoDisconnect, kYesNo, s.autoDisconnectListener),
        MakeCombo(kPublicDirectory, {"always", "never", "default"}, s.publicDirectoryListing),
        MakeCombo(kAllowRelaying, kYesNo, s.allowRelaying),
        MakeCombo(kAllowPublicRelaying, kYesNo, s.allowPublicRelaying),
        MakeCombo(kRipOnly, kYesNo, s.ripOnly),
    };

    const std::vector<std::string> files = ParseServerContent(s.serverContentReply);
    model.lists = {
        MakeFileList(kIntroFiles, files, s.playIntroFile),
        MakeFileList(kBackupFiles, files, s.songBackupFile),
    };
    return model;
}

void SaveServerConfigModel(const DialogModel& m, ServerSettings& s) {
    using namespace serverdlg;
    s.adminPassword = m.Edit(kAdminPassword).text;
    s.connectPassword = m.Edit(kConnectPassword).text;
    s.maxListeners = m.Combo(kMaxListeners).Text();
    s.showLastSongs = m.Combo(kShowLastSongs).Text();
    s.autoDisconnectListener = m.Combo(kAutoDisconnect).Text();
    s.sourceDisconnectTime = m.Edit(kSourceDisconnectTime).text;
    s.publicDirectoryListing = m.Combo(kPublicDirectory).Text();
    s.allowRelaying = m.Combo(kAllowRelaying).Text();
    s.allowPublicRelaying = m.Combo(kAllowPublicRelaying).Text();
    s.relayPortEnabled = m.Radio(kRelayPortEnabled).enabled;
    s.relayingServerPort = m.Edit(kRelayPort).text;
    s.relayServerEnabled = m.Radio(kRelayServerEnabled).enabled;
    s.relayServerIP = m.Edit(kRelayServerIP).text;
    s.playIntroFileEnabled = m.Radio(kIntroEnabled).enabled;
    s.playIntroFile = m.List(kIntroFiles).Text();
    s.customIntroFile = m.Edit(kCustomIntro).text;
    s.playBackupFileEnabled = m.Radio(kBackupEnabled).enabled;
    s.songBackupFile = m.List(kBackupFiles).Text();
    s.customBackupFile = m.Edit(kCustomBackup).text;
    s.titleFormatEnabled = m.Radio(kTitleFormatEnabled).enabled;
    s.titleFormat = m.Edit(kTitleFormat).text;
    s.URLFormatEnabled = m.Radio(kURLFormatEnabled).enabled;
    s.URLFormat = m.Edit(kURLFormat).text;
    s.listenerTimerEnabled = m.Radio(kListenerTimerEnabled).enabled;
    s.listenerTimer = m.Edit(kListenerTimer).text;
    s.ripOnlyEnabled = m.Radio(kRipOnlyEnabled).enabled;
    s.ripOnly = m.Combo(kRipOnly).Text();
}

}  // namespace ostravel
