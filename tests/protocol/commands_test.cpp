#include "protocol/commands.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/preferences.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

namespace ostravel {
namespace {

TEST(CommandCatalogue, IdsAreUniqueAndToolbarMatchesTheButtons) {
    std::set<int> ids;
    std::set<int> flagged;
    for (const CommandInfo& command : CommandCatalogue()) {
        EXPECT_TRUE(ids.insert(command.id).second) << command.id;
        if (command.toolbar) flagged.insert(command.id);
        if (command.kind == CommandKind::Request) {
            EXPECT_NE(command.word, nullptr) << command.id;
        }
    }
    EXPECT_EQ(ids.size(), 37u);
    std::set<int> buttons;
    for (int id : ToolbarButtons()) {
        if (id != 0) buttons.insert(id);
    }
    EXPECT_EQ(buttons, flagged);
}

TEST(CommandCatalogue, MenuPlacesMatchTheMainMenu) {
    // Rebuild each item's path from the menu tree and compare with the catalogue.
    std::string path[3];
    std::set<int> seen;
    for (const MenuEntry& entry : MainMenu()) {
        if (entry.text == nullptr) continue;
        path[entry.depth] = entry.text;
        if (entry.id == 0) continue;
        std::string place = path[0];
        for (int d = 1; d <= entry.depth; ++d) place += "/" + path[d];
        const CommandInfo* command = FindMenuCommand(entry.id);
        ASSERT_NE(command, nullptr) << entry.id;
        ASSERT_NE(command->menuPlace, nullptr) << entry.id;
        EXPECT_EQ(place, command->menuPlace);
        EXPECT_EQ(MenuItemText(*command), entry.text);
        seen.insert(entry.id);
    }
    for (const CommandInfo& command : CommandCatalogue()) {
        EXPECT_EQ(seen.count(command.id) == 1, command.menuPlace != nullptr) << command.id;
    }
    for (const CommandInfo& command : FrameworkCommands()) {
        EXPECT_EQ(seen.count(command.id), 1u) << command.id;
        EXPECT_EQ(FindCommand(command.id), nullptr) << command.id;  // not the view's
    }
    for (const ToggleInfo& toggle : SettingToggles()) {
        EXPECT_EQ(seen.count(toggle.command.id), 1u) << toggle.command.id;
        EXPECT_EQ(FindCommand(toggle.command.id), nullptr) << toggle.command.id;  // not the view's
        EXPECT_EQ(FindMenuCommand(toggle.command.id), &toggle.command);
    }
}

// The extensions' switches: check items of the View menu, kept in the settings, each one able to
// be switched off. Notifications start on, the live status off (the program then sends exactly
// what the protocol has).
TEST(CommandCatalogue, ExtensionTogglesAreCheckItemsWithTheirDefaults) {
    ASSERT_EQ(SettingToggles().size(), 2u);
    const ToggleInfo* notify = FindToggle(cmd::kViewNotifyOnChange);
    const ToggleInfo* refresh = FindToggle(cmd::kViewAutoRefresh);
    ASSERT_NE(notify, nullptr);
    ASSERT_NE(refresh, nullptr);
    EXPECT_TRUE(notify->defaultOn);
    EXPECT_FALSE(refresh->defaultOn);
    EXPECT_STREQ(notify->settingKey, "View/NotifyOnStatusChanges");
    EXPECT_STREQ(refresh->settingKey, "View/RefreshStatusAutomatically");
    EXPECT_EQ(FindToggle(cmd::kServerStatus), nullptr);
    std::set<int> checks;
    for (const MenuEntry& entry : MainMenu()) {
        if (entry.check) checks.insert(entry.id);
    }
    EXPECT_EQ(checks, (std::set<int>{cmd::kViewToolbar, cmd::kViewStatusBar, cmd::kViewNotifyOnChange,
                                     cmd::kViewAutoRefresh}));
    // Nothing a session enables or disables: always there to be switched.
    for (int id : {cmd::kViewNotifyOnChange, cmd::kViewAutoRefresh}) {
        EXPECT_EQ(FindMenuCommand(id)->rule, EnableRule::Always);
        EXPECT_EQ(FindMenuCommand(id)->kind, CommandKind::Nothing);
        EXPECT_NE(WindowIdFromCommand(id), -1);
    }
}

// The menus built from the rows: every text, its order, the separators and the shortcuts.
TEST(CommandCatalogue, MainMenuAndToolbarAreBuiltFromTheRows) {
    struct Item {
        int depth;
        std::string text;  // "-" for a separator
        int id;
        std::string accelerator;
        bool operator==(const Item&) const = default;
    };
    const std::vector<Item> expected = {
        {0, "&File", 0, ""},
        {1, "&Login", cmd::kLogin, "Ctrl+L"},
        {1, "L&ogout", cmd::kLogout, "Ctrl+Shift+L"},
        {1, "-", 0, ""},
        {1, "&Preferences...", cmd::kAppPreferences, "Ctrl+,"},
        {1, "-", 0, ""},
        {1, "E&xit", cmd::kAppExit, "Ctrl+Q"},
        {0, "&View", 0, ""},
        {1, "&Toolbar", cmd::kViewToolbar, ""},
        {1, "&Status Bar", cmd::kViewStatusBar, ""},
        {1, "-", 0, ""},
        {1, "&Notify on Status Changes", cmd::kViewNotifyOnChange, ""},
        {1, "&Refresh Status Automatically", cmd::kViewAutoRefresh, ""},
        {0, "&Account", 0, ""},
        {1, "&Summary", cmd::kAccountSummary, ""},
        {1, "&Billing", cmd::kBilling, ""},
        {1, "&Upgrade", cmd::kUpgrade, ""},
        {1, "&Change Term", cmd::kChangeTerm, ""},
        {1, "-", 0, ""},
        {1, "Station &History...", cmd::kAccountHistory, ""},
        {0, "&Server", 0, ""},
        {1, "&Start", cmd::kServerStart, ""},
        {1, "S&top", cmd::kServerStop, ""},
        {1, "&Restart", cmd::kServerRestart, ""},
        {1, "-", 0, ""},
        {1, "Stat&us", cmd::kServerStatus, "F5"},
        {1, "&Configure", cmd::kServerConfigure, ""},
        {1, "&Logs", 0, ""},
        {2, "&View Logs", cmd::kServerLogs, ""},
        {2, "Clear Lo&g", cmd::kServerClearLog, ""},
        {0, "Auto&DJ", 0, ""},
        {1, "&Start DJ", cmd::kDjStart, ""},
        {1, "S&top DJ", cmd::kDjStop, ""},
        {1, "&Restart DJ", cmd::kDjRestart, ""},
        {1, "-", 0, ""},
        {1, "&Configure DJ", cmd::kDjConfigure, ""},
        {1, "S&ong Options", 0, ""},
        {2, "&Next Song", cmd::kDjNext, ""},
        {2, "S&huffle", cmd::kDjShuffle, ""},
        {2, "Rel&oad List", cmd::kDjReload, ""},
        {1, "&Logs", 0, ""},
        {2, "&View Logs", cmd::kDjLogs, ""},
        {2, "Clear Lo&g", cmd::kDjClearLog, ""},
        {0, "AutoT&V", 0, ""},
        {1, "&Start TV", cmd::kTvStart, ""},
        {1, "S&top TV", cmd::kTvStop, ""},
        {1, "&Restart TV", cmd::kTvRestart, ""},
        {1, "-", 0, ""},
        {1, "&Configure TV", cmd::kTvConfigure, ""},
        {1, "&Logs", 0, ""},
        {2, "TV L&ogs", cmd::kTvLogs, ""},
        {2, "Clear Lo&g", cmd::kTvClearLog, ""},
        {0, "&Tune-In Links", 0, ""},
        {1, "&Winamp", cmd::kTuneInWinamp, ""},
        {1, "&Real Media Player", cmd::kTuneInReal, ""},
        {1, "&Itunes", cmd::kTuneInItunes, ""},
        {1, "Windows &Media Player", cmd::kTuneInMediaPlayer, ""},
        {0, "&Help", 0, ""},
        {1, "&FAQ", cmd::kFaq, ""},
        {1, "&Contacts", cmd::kContacts, ""},
        {1, "&About Ostravel", cmd::kAppAbout, ""},
    };
    std::vector<Item> built;
    for (const MenuEntry& e : MainMenu())
        built.push_back(
            {e.depth, e.text != nullptr ? e.text : "-", e.id, e.accelerator != nullptr ? e.accelerator : ""});
    ASSERT_EQ(built.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(built[i] == expected[i]) << "entry " << i << ": " << built[i].text;

    const std::vector<int> toolbar(ToolbarButtons().begin(), ToolbarButtons().end());
    EXPECT_EQ(toolbar,
              (std::vector<int>{cmd::kLogin, cmd::kLogout, 0, cmd::kServerStart, cmd::kServerStop,
                                cmd::kServerRestart, 0, cmd::kDjStart, cmd::kDjStop, cmd::kDjRestart, 0,
                                cmd::kTvStart, cmd::kTvStop, cmd::kTvRestart, 0, cmd::kTuneInWinamp,
                                cmd::kTuneInReal, cmd::kTuneInItunes, cmd::kTuneInMediaPlayer}));
}

TEST(CommandCatalogue, DoesNothingCommandsAndRowsWithoutPrompt) {
    for (int id : {cmd::kMediaLibrary, cmd::kDjPlaylists, cmd::kTvPlaylists}) {
        ASSERT_NE(FindCommand(id), nullptr);
        EXPECT_EQ(FindCommand(id)->kind, CommandKind::Nothing);
        EXPECT_EQ(FindCommand(id)->menuPlace, nullptr);
    }
    EXPECT_EQ(FindCommand(cmd::kChangeTerm)->prompt, nullptr);
    EXPECT_EQ(FindCommand(cmd::kServerClearLog)->prompt, std::string("Clear Server Log"));
    EXPECT_EQ(FindCommand(cmd::kServerLogs)->prompt, std::string("View Server Logs"));
    EXPECT_EQ(FindCommand(12345), nullptr);
}

struct Session {
    int loginId;
    bool highBitrate;
};

// The preferences: the View menu's switches are the very rows of their page (key and default), the
// numbers' defaults are the session's own and lie in their ranges, and the values read back as the
// rows have them, whatever the file holds.
TEST(Preferences, RowsAgreeWithTheTogglesTheSessionAndTheStore) {
    std::set<std::string> keys;
    for (const Preference& row : PreferenceRows()) {
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        EXPECT_EQ(FindPreference(row.key), &row);
        if (row.kind == PreferenceKind::Int) {
            EXPECT_LE(row.min, row.defaultNumber) << row.key;
            EXPECT_LE(row.defaultNumber, row.max) << row.key;
        }
        if (row.onlyWith != nullptr) {
            EXPECT_EQ(FindPreference(row.onlyWith)->kind, PreferenceKind::Bool);
        }
    }
    EXPECT_EQ(keys.size(), 12u);
    for (const ToggleInfo& toggle : SettingToggles()) {
        const Preference* row = FindPreference(toggle.settingKey);
        ASSERT_NE(row, nullptr) << toggle.settingKey;
        EXPECT_EQ(row->kind, PreferenceKind::Bool);
        EXPECT_EQ(row->page, PreferencePage::Notifications);
        EXPECT_EQ(row->defaultOn, toggle.defaultOn) << toggle.settingKey;
    }
    EXPECT_STREQ(pref::kShowSinceWhen, "View/ShowSinceWhen");
    EXPECT_TRUE(FindPreference(pref::kShowSinceWhen)->defaultOn);
    EXPECT_TRUE(FindPreference(pref::kReconnect)->defaultOn);
    const Preference* interval = FindPreference(pref::kRefreshIntervalSeconds);
    EXPECT_EQ(interval->defaultNumber, kAutoRefreshSeconds);
    EXPECT_EQ(std::pair(interval->min, interval->max), std::pair(10, 300));
    const Preference* connect = FindPreference(pref::kConnectSeconds);
    EXPECT_EQ(connect->defaultNumber, SessionDocument::kConnectSeconds);
    EXPECT_EQ(std::pair(connect->min, connect->max), std::pair(1, 120));
    EXPECT_STREQ(FindPreference(pref::kPortalAddress)->defaultText, OSTRAVEL_PORTAL_HOST);

    struct MapStore : PreferenceStore {
        std::map<std::string, std::string> values;
        int flushes = 0;
        bool Read(const char* key, std::string* value) const {
            const auto it = values.find(key);
            if (it == values.end()) return false;
            *value = it->second;
            return true;
        }
        bool ReadBool(const char* key, bool* value) const override {
            std::string text;
            return Read(key, &text) && ((*value = text == "1"), true);
        }
        bool ReadInt(const char* key, long* value) const override {
            std::string text;
            return Read(key, &text) && ((*value = std::stol(text)), true);
        }
        bool ReadText(const char* key, std::string* value) const override { return Read(key, value); }
        void WriteBool(const char* key, bool value) override { values[key] = value ? "1" : "0"; }
        void WriteInt(const char* key, long value) override { values[key] = std::to_string(value); }
        void WriteText(const char* key, const std::string& value) override { values[key] = value; }
        void Remove(const char* key) override { values.erase(key); }
        void Flush() override { ++flushes; }
    } store;
    Preferences kept(store);
    EXPECT_TRUE(kept.Bool(pref::kReconnect));
    EXPECT_EQ(kept.Text(pref::kPortalAddress), OSTRAVEL_PORTAL_HOST);
    store.values[pref::kRefreshIntervalSeconds] = "5";  // written by hand, out of range
    store.values[pref::kConnectSeconds] = "100000";
    EXPECT_EQ(kept.Int(pref::kRefreshIntervalSeconds), 10);
    EXPECT_EQ(kept.Int(pref::kConnectSeconds), 120);
    EXPECT_EQ(kept.SetInt(pref::kRefreshIntervalSeconds, 301), 300);
    EXPECT_EQ(store.values[pref::kRefreshIntervalSeconds], "300");
    kept.SetText(pref::kServiceHost, "  radio.example.net:28001 ");
    EXPECT_EQ(store.values[pref::kServiceHost], "radio.example.net:28001");
    kept.SetText(pref::kServiceHost, "  ");
    kept.SetText(pref::kPortalAddress, OSTRAVEL_PORTAL_HOST);
    EXPECT_EQ(store.values.count(pref::kServiceHost) + store.values.count(pref::kPortalAddress), 0u)
        << "no value kept for the built-in ones, so that a new build's default reaches them";
    EXPECT_EQ(store.flushes, 4);
    EXPECT_THROW(kept.Bool(pref::kConnectSeconds), std::invalid_argument);
}

TEST(EnablingRules, LoggedOutLoggedInAndVideo) {
    const Session loggedOut{0, false}, loggedIn{1234, false}, video{1234, true}, negativeId{-5, false};
    for (const CommandInfo& command : CommandCatalogue()) {
        auto enabled = [&](Session s) { return IsCommandEnabled(command.id, s.loginId, s.highBitrate); };
        switch (command.rule) {
            case EnableRule::Always:
                EXPECT_TRUE(enabled(loggedOut) && enabled(loggedIn) && enabled(video)) << command.id;
                break;
            case EnableRule::NotLoggedIn:
                EXPECT_TRUE(enabled(loggedOut)) << command.id;
                EXPECT_FALSE(enabled(loggedIn) || enabled(video)) << command.id;
                break;
            case EnableRule::LoggedIn:
                EXPECT_FALSE(enabled(loggedOut)) << command.id;
                EXPECT_TRUE(enabled(loggedIn) && enabled(video) && enabled(negativeId)) << command.id;
                break;
            case EnableRule::LoggedInAndVideo:
                EXPECT_FALSE(enabled(loggedOut) || enabled(loggedIn)) << command.id;
                EXPECT_FALSE(IsCommandEnabled(command.id, 0, true)) << command.id;
                EXPECT_TRUE(enabled(video)) << command.id;
                break;
        }
    }
    // Before any login only Login, Logout, FAQ and Contacts can be used.
    std::set<int> enabled;
    for (const CommandInfo& command : CommandCatalogue()) {
        if (IsCommandEnabled(command.id, 0, false)) enabled.insert(command.id);
    }
    EXPECT_EQ(enabled, (std::set<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));
    // The AutoTV commands are exactly the video ones.
    for (int id : {cmd::kTvStart, cmd::kTvStop, cmd::kTvRestart, cmd::kTvConfigure, cmd::kTvPlaylists,
                   cmd::kTvLogs, cmd::kTvClearLog}) {
        EXPECT_EQ(FindCommand(id)->rule, EnableRule::LoggedInAndVideo) << id;
    }
}

TEST(TrayMenu, EntriesRunTheViewCommandsAndFollowTheirRules) {
    int disabledLoggedOut = 0;
    for (const TrayEntry& entry : TrayMenu()) {
        if (entry.id == 0) continue;
        if (!IsTrayEntryEnabled(entry.id, 0, false)) ++disabledLoggedOut;
    }
    EXPECT_EQ(disabledLoggedOut, 9);
    EXPECT_FALSE(IsTrayEntryEnabled(cmd::kTrayLogin, 1, false));
    EXPECT_FALSE(IsTrayEntryEnabled(cmd::kTrayTvStart, 1, false));
    EXPECT_TRUE(IsTrayEntryEnabled(cmd::kTrayTvRestart, 1, true));
    EXPECT_TRUE(IsTrayEntryEnabled(cmd::kTrayDjStop, 1, false));
    for (int id : {cmd::kTrayLogout, cmd::kTrayOpen, cmd::kTrayExit}) {
        EXPECT_TRUE(IsTrayEntryEnabled(id, 0, false));
        EXPECT_TRUE(IsTrayEntryEnabled(id, 1, true));
    }
}

}  // namespace
}  // namespace ostravel
