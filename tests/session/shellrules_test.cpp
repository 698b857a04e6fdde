#include "session/shellrules.h"

#include <set>

#include <gtest/gtest.h>

#include "protocol/commands.h"

namespace ostravel {
namespace {

TEST(TrayTip, CutAt127Characters) {
    EXPECT_EQ(TrayTip("Quenlor Ostravel"), "Quenlor Ostravel");
    EXPECT_EQ(TrayTip(std::string(127, 'x')), std::string(127, 'x'));
    EXPECT_EQ(TrayTip(std::string(300, 'x')), std::string(127, 'x'));
    // A two-byte character straddling the limit is dropped whole.
    const std::string straddling = std::string(126, 'x') + "\xC3\xA9" + "tail";
    EXPECT_EQ(TrayTip(straddling), std::string(126, 'x'));
}

// Every id a window can carry: the catalogue, the menus, the toolbar and the tray menu.
std::set<int> AllIds() {
    std::set<int> ids;
    for (const auto& c : CommandCatalogue()) ids.insert(c.id);
    for (const auto& m : MainMenu())
        if (m.id != 0) ids.insert(m.id);
    for (const int id : ToolbarButtons())
        if (id != 0) ids.insert(id);
    for (const auto& t : TrayMenu())
        if (t.id != 0) ids.insert(t.id);
    return ids;
}

TEST(WindowIds, EveryCommandMapsIntoTheToolkitRangeAndBack) {
    std::set<int> windowIds;
    for (const int id : AllIds()) {
        const int windowId = WindowIdFromCommand(id);
        EXPECT_GE(windowId, kFirstWindowId) << id;
        EXPECT_LE(windowId, kLastWindowId) << id;
        EXPECT_LE(windowId, 0x7FFF) << id;
        EXPECT_EQ(CommandFromWindowId(windowId), id);
        windowIds.insert(windowId);
    }
    EXPECT_EQ(windowIds.size(), AllIds().size());  // no two commands share a window id
    EXPECT_EQ(WindowIdFromCommand(0), -1);
    EXPECT_EQ(WindowIdFromCommand(1000), -1);
    EXPECT_EQ(CommandFromWindowId(5), -1);
    EXPECT_EQ(CommandFromWindowId(kLastWindowId + 1), -1);
}

TEST(TrayMenu, EnablingFollowsTheSession) {
    struct Case {
        int loginId;
        bool high;
        bool service, tv, login;
    } cases[] = {
        {0, false, false, false, true}, {0, true, false, false, true}, {5, false, true, false, false},
        {5, true, true, true, false},   {-3, true, true, true, false},  // any non-zero id counts as logged in
    };
    for (const auto& c : cases) {
        for (const auto& entry : TrayMenu()) {
            if (entry.id == 0) continue;
            bool expected = true;
            switch (entry.id) {
                case cmd::kTrayTvStart:
                case cmd::kTrayTvStop:
                case cmd::kTrayTvRestart:
                    expected = c.tv;
                    break;
                case cmd::kTrayLogin:
                    expected = c.login;
                    break;
                case cmd::kTrayLogout:
                case cmd::kTrayHistory:
                case cmd::kTrayOpen:
                case cmd::kTrayExit:
                    expected = true;
                    break;
                default:
                    expected = c.service;
            }
            EXPECT_EQ(IsTrayEntryEnabled(entry.id, c.loginId, c.high), expected)
                << entry.id << " login " << c.loginId << " high " << c.high;
        }
    }
}

}  // namespace
}  // namespace ostravel
