#include "protocol/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
        const CommandInfo* command = FindCommand(entry.id);
        if (command == nullptr) continue;  // the framework's own commands
        ASSERT_NE(command->menuPlace, nullptr) << entry.id;
        EXPECT_EQ(place, command->menuPlace);
        seen.insert(entry.id);
    }
    for (const CommandInfo& command : CommandCatalogue()) {
        EXPECT_EQ(seen.count(command.id) == 1, command.menuPlace != nullptr) << command.id;
    }
}

TEST(CommandCatalogue, DoesNothingCommandsAndRowsWithoutPrompt) {
    for (int id : {cmd::kMediaLibrary, cmd::kDjPlaylists, cmd::kTvPlaylists}) {
        ASSERT_NE(FindCommand(id), nullptr);
        EXPECT_EQ(FindCommand(id)->kind, CommandKind::Nothing);
        EXPECT_EQ(FindCommand(id)->menuPlace, nullptr);
    }
    EXPECT_EQ(FindCommand(cmd::kChangeTerm)->prompt, nullptr);
    EXPECT_EQ(FindCommand(cmd::kServerClearLog)->menuPlace, nullptr);
    EXPECT_EQ(FindCommand(12345), nullptr);
}

struct Session {
    int loginId;
    bool highBitrate;
};

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
