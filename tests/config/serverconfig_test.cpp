#include "config/serverconfig.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/settingsgrammar.h"

namespace ostravel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

ServerSettings Parsed(const std::string& reply) {
    ServerSettings s;
    s.serverConfigReply = reply;
    ParseServerConfig(s);
    return s;
}

// The items after "&config=", without the empty piece after the final "|".
std::vector<std::string> ConfigItems(const std::string& request) {
    const std::string marker = "&config=";
    const std::size_t at = request.find(marker);
    EXPECT_NE(at, std::string::npos);
    std::vector<std::string> items;
    for (std::string_view piece : SplitAll(std::string_view(request).substr(at + marker.size()), '|')) {
        items.emplace_back(piece);
    }
    EXPECT_EQ(items.back(), "") << "the request must end with |";
    items.pop_back();
    return items;
}

struct FlaggedCase {
    const char* item;
    bool enabled;
    const char* value;
};

TEST(ParseServerConfig, FlaggedValuesFollowTheSemicolonRule) {
    const FlaggedCase cases[] = {
        {"relayingServerPort=;8000", false, "8000"},
        {"relayingServerPort=;", false, ""},
        {"relayingServerPort=8000", true, "8000"},
        {"relayingServerPort=", true, ""},
        {"relayingServerPort", true, ""},                  // no "=" at all: empty value
        {"relayingServerPort=;8000;9000", false, "8000"},  // only up to the next ";"
        {"relayingServerPort=80=00", true, "80"},          // only up to the next "="
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const ServerSettings s = Parsed(std::string("Shoutcast server getconfig|") + c.item);
        EXPECT_EQ(s.relayPortEnabled, c.enabled);
        EXPECT_EQ(s.relayingServerPort, c.value);
    }
}

TEST(ParseServerConfig, EveryFlaggedKeyFillsItsOwnPair) {
    const ServerSettings s = Parsed(
        "Shoutcast server getconfig|relayServerIP=;1.2.3.4|playIntroFile=intro.mp3|songBackupFile=;b.mp3"
        "|titleFormat=%s|URLFormat=;u|listenerTimer=30|ripOnly=;No");
    EXPECT_FALSE(s.relayServerEnabled);
    EXPECT_EQ(s.relayServerIP, "1.2.3.4");
    EXPECT_TRUE(s.playIntroFileEnabled);
    EXPECT_EQ(s.playIntroFile, "intro.mp3");
    EXPECT_FALSE(s.playBackupFileEnabled);
    EXPECT_EQ(s.songBackupFile, "b.mp3");
    EXPECT_TRUE(s.titleFormatEnabled);
    EXPECT_EQ(s.titleFormat, "%s");
    EXPECT_FALSE(s.URLFormatEnabled);
    EXPECT_EQ(s.URLFormat, "u");
    EXPECT_TRUE(s.listenerTimerEnabled);
    EXPECT_EQ(s.listenerTimer, "30");
    EXPECT_FALSE(s.ripOnlyEnabled);
    EXPECT_EQ(s.ripOnly, "No");
}

TEST(ParseServerConfig, AutoDisconnectListenerIsNoOnlyForZero) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "No"}, {"1", "Yes"}, {"yes", "Yes"}, {"", "Yes"}, {"00", "Yes"}, {"No", "Yes"},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(Parsed(std::string("x|autoDisconnectListener=") + value).autoDisconnectListener, expected);
    }
}

TEST(ParseServerConfig, NamesAreExactAndTheLastRepeatWins) {
    const ServerSettings s = Parsed(
        "Shoutcast server getconfig|MaxListeners=99|maxListeners=10|maxListeners=20| adminPassword=x"
        "|adminPassword=secret|customIntroFile=c.mp3");
    EXPECT_EQ(s.maxListeners, "20");
    EXPECT_EQ(s.adminPassword, "secret");
    EXPECT_EQ(s.customIntroFile, "") << "custom files never come from the host";
}

TEST(ParseServerConfig, PlainKeysAreStoredUnchanged) {
    const ServerSettings s = Parsed(
        "Shoutcast server getconfig|maxListOptions=unlimited|connectPassword=a b|showLastSongs=10"
        "|sourceDisconnectTime=30|publicDirectoryListing=default|allowRelaying=yes|allowPublicRelaying=No|");
    EXPECT_EQ(s.maxListOptions, "unlimited");
    EXPECT_EQ(s.connectPassword, "a b");
    EXPECT_EQ(s.showLastSongs, "10");
    EXPECT_EQ(s.sourceDisconnectTime, "30");
    EXPECT_EQ(s.publicDirectoryListing, "default");
    EXPECT_EQ(s.allowRelaying, "yes");
    EXPECT_EQ(s.allowPublicRelaying, "No");
}

TEST(ParseServerConfig, AMissingKeyKeepsTheEarlierValue) {
    ServerSettings fresh = Parsed("Shoutcast server getconfig|maxListeners=32");
    EXPECT_EQ(fresh.playIntroFile, "");
    EXPECT_FALSE(fresh.playIntroFileEnabled);

    ServerSettings s = Parsed("Shoutcast server getconfig|playIntroFile=intro.mp3|maxListeners=32");
    s.serverConfigReply = "Shoutcast server getconfig|maxListeners=64";
    ParseServerConfig(s);
    EXPECT_EQ(s.maxListeners, "64");
    EXPECT_EQ(s.playIntroFile, "intro.mp3");
    EXPECT_TRUE(s.playIntroFileEnabled);
    EXPECT_EQ(s.serverConfigReply, "Shoutcast server getconfig|maxListeners=64");
}

TEST(ParseServerContent, EntriesRunFromTheSecondUpToEnd) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"Shoutcast server content|a.mp3||b.mp3|^end|c.mp3", {"a.mp3", "", "b.mp3"}},
        {"Shoutcast server content|a.mp3|b.mp3", {"a.mp3", "b.mp3"}},
        {"Shoutcast server content|a.mp3|^END|b.mp3", {"a.mp3", "^END", "b.mp3"}},
        {"Shoutcast server content|^end", {}},
        {"Shoutcast server content", {}},
        {"", {}},
    };
    for (const auto& [reply, files] : cases) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(ParseServerContent(reply), files);
    }
}

ServerSettings AllFlags(bool on) {
    ServerSettings s;
    s.relayPortEnabled = s.relayServerEnabled = s.playIntroFileEnabled = s.playBackupFileEnabled = on;
    s.titleFormatEnabled = s.URLFormatEnabled = s.listenerTimerEnabled = s.ripOnlyEnabled = on;
    return s;
}

TEST(BuildServerSetRequest, FlagsAddOnlyTheirEnabledItems) {
    const std::vector<std::string> off = ConfigItems(BuildServerSetRequest(AllFlags(false), "u", "p"));
    EXPECT_EQ(off.size(), 19u);
    for (const std::string& item : off) {
        EXPECT_EQ(item.find("Enabled=on"), std::string::npos) << item;
    }
    const std::vector<std::string> on = ConfigItems(BuildServerSetRequest(AllFlags(true), "u", "p"));
    EXPECT_EQ(on.size(), 27u);
}

TEST(BuildServerSetRequest, ComposesEveryItemInOrder) {
    ServerSettings s;
    s.adminPassword = "adm";
    s.connectPassword = "con";
    s.maxListeners = "32";
    s.maxListOptions = "unlimited";
    s.showLastSongs = "10";
    s.autoDisconnectListener = "No";
    s.sourceDisconnectTime = "30";
    s.publicDirectoryListing = "never";
    s.allowRelaying = "Yes";
    s.allowPublicRelaying = "No";
    s.relayPortEnabled = true;
    s.relayingServerPort = "8000";
    s.relayServerIP = "1.2.3.4";
    s.playIntroFileEnabled = true;
    s.playIntroFile = "i.mp3";
    s.customIntroFile = "ci.mp3";
    s.songBackupFile = "b.mp3";
    s.customBackupFile = "cb.mp3";
    s.titleFormatEnabled = true;
    s.titleFormat = "Now playing %s";
    s.URLFormat = "url";
    s.listenerTimer = "5";
    s.ripOnlyEnabled = true;
    s.ripOnly = "Yes";
    s.serverConfigReply = "not sent";
    s.serverContentReply = "not sent";
    EXPECT_EQ(BuildServerSetRequest(s, "john doe", "pass word"),
              "shoutcast_server_setconfig,?loginsc=john+doe&passwordsc=pass+word&config="
              "AdminPassword=adm|ConnectPassword=con|MaxUser=32|ShowLastSongs=10|AutoDumpUsers=No|"
              "AutoDumpSourceTime=30|PublicServer=never|AllowRelay=Yes|AllowPublicRelay=No|"
              "RelayPortEnabled=on|RelayPort=8000|RelayServer=1.2.3.4|"
              "PlayIntroFileEnabled=on|IntroSongFile=i.mp3|CustomIntroFile=ci.mp3|"
              "BackupSongFile=b.mp3|CustomBackupFile=cb.mp3|"
              "TitleFormatEnabled=on|TitleFormat=Now+playing+%s|URLFormat=url|ListenerTimer=5|"
              "RIPOnlyEnabled=on|RIPOnly=Yes|");
}

TEST(ReplaceBlanksWithPlus, OnlyBlanksChangeAndTwiceIsOnce) {
    EXPECT_EQ(ReplaceBlanksWithPlus("Now playing %s"), "Now+playing+%s");
    EXPECT_EQ(ReplaceBlanksWithPlus("a\tb&c=d e"), "a\tb&c=d+e");
    EXPECT_EQ(ReplaceBlanksWithPlus(ReplaceBlanksWithPlus("a b")), "a+b");
}

// --- the dialog ---

ServerSettings Record(const std::string& options, const std::string& maxListeners) {
    ServerSettings s;
    s.maxListOptions = options;
    s.maxListeners = maxListeners;
    return s;
}

const std::vector<std::string> kFullListenerList = {"400", "350", "300", "250", "200", "150", "100",
                                                    "75",  "50",  "40",  "30",  "20",  "10"};

TEST(ServerConfigModel, ListenerChoices) {
    struct Case {
        const char* options;
        const char* maxListeners;
        std::vector<std::string> items;
        int selection;
    };
    std::vector<std::string> with500 = kFullListenerList;
    with500.insert(with500.begin(), "500");
    const Case cases[] = {
        {"unlimited", "10", kFullListenerList, 12},
        {"unlimited", "100", kFullListenerList, 6},
        {"plans:unlimited;", "400", kFullListenerList, 0},
        {"", "32", {"32"}, 0},
        {"Unlimited", "32", {"32"}, 0},  // the word is compared case-sensitively
        // 500 is on none of the fixed items; it is kept so Save does not send an empty count.
        {"unlimited", "500", with500, 0},
        {"unlimited", "", kFullListenerList, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " / " + c.maxListeners);
        const DialogModel m = MakeServerConfigModel(Record(c.options, c.maxListeners));
        const ComboModel& combo = m.Combo(serverdlg::kMaxListeners);
        EXPECT_EQ(combo.items, c.items);
        EXPECT_EQ(combo.selection, c.selection);
    }
}

TEST(ServerConfigModel, FixedCombosSelectTheWholeTextIgnoringCase) {
    ServerSettings s;
    s.showLastSongs = "20";
    s.autoDisconnectListener = "No";
    s.publicDirectoryListing = "DEFAULT";
    s.allowRelaying = "yes";
    s.allowPublicRelaying = "maybe";
    s.ripOnly = "";
    const DialogModel m = MakeServerConfigModel(s);

    const ComboModel& songs = m.Combo(serverdlg::kShowLastSongs);
    ASSERT_EQ(songs.items.size(), 20u);
    EXPECT_EQ(songs.items.front(), "1");
    EXPECT_EQ(songs.Text(), "20");
    EXPECT_EQ(m.Combo(serverdlg::kAutoDisconnect).Text(), "No");
    EXPECT_THAT(m.Combo(serverdlg::kPublicDirectory).items, ElementsAre("always", "never", "default"));
    EXPECT_EQ(m.Combo(serverdlg::kPublicDirectory).Text(), "default");
    EXPECT_EQ(m.Combo(serverdlg::kAllowRelaying).Text(), "Yes");
    // An unknown value is kept on top, selected.
    EXPECT_THAT(m.Combo(serverdlg::kAllowPublicRelaying).items, ElementsAre("maybe", "Yes", "No"));
    EXPECT_EQ(m.Combo(serverdlg::kAllowPublicRelaying).Text(), "maybe");
    // Nothing to keep: no selection.
    EXPECT_THAT(m.Combo(serverdlg::kRipOnly).items, ElementsAre("Yes", "No"));
    EXPECT_EQ(m.Combo(serverdlg::kRipOnly).selection, -1);
}

TEST(ServerConfigModel, FileListsShowTheContentReversed) {
    struct Case {
        const char* content;
        const char* current;
        std::vector<std::string> items;
        int selection;
    };
    const Case cases[] = {
        {"Shoutcast server content|a.mp3|b.mp3|c.mp3|^end", "b.mp3", {"c.mp3", "b.mp3", "a.mp3"}, 1},
        {"Shoutcast server content|a.mp3|b.mp3|c.mp3|^end", "B.MP3", {"c.mp3", "b.mp3", "a.mp3"}, 1},
        {"Shoutcast server content|a.mp3|b.mp3|c.mp3|^end", "x.mp3", {"x.mp3", "c.mp3", "b.mp3", "a.mp3"}, 0},
        {"Shoutcast server content|^end", "intro.mp3", {"intro.mp3"}, 0},
        {"Shoutcast server content|^end", "", {""}, 0},
        {"", "", {""}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.content) + " / " + c.current);
        ServerSettings s;
        s.serverContentReply = c.content;
        s.playIntroFile = c.current;
        s.songBackupFile = "c.mp3";
        const DialogModel m = MakeServerConfigModel(s);
        EXPECT_EQ(m.List(serverdlg::kIntroFiles).items, c.items);
        EXPECT_EQ(m.List(serverdlg::kIntroFiles).selection, c.selection);
        EXPECT_EQ(m.List(serverdlg::kBackupFiles).Text(), "c.mp3");
    }
}

ServerSettings FullRecord() {
    ServerSettings s;
    s.serverConfigReply =
        "Shoutcast server getconfig|adminPassword=adm|connectPassword=con|maxListeners=20"
        "|maxListOptions=unlimited|showLastSongs=5|autoDisconnectListener=1|sourceDisconnectTime=30"
        "|publicDirectoryListing=always|allowRelaying=Yes|allowPublicRelaying=No|relayingServerPort=;8000"
        "|relayServerIP=1.2.3.4|playIntroFile=b.mp3|songBackupFile=;a.mp3|titleFormat=Now playing %s"
        "|URLFormat=;u|listenerTimer=9|ripOnly=No";
    s.serverContentReply = "Shoutcast server content|a.mp3|b.mp3|^end";
    ParseServerConfig(s);
    return s;
}

TEST(ServerConfigModel, OpeningShowsTheRecord) {
    const DialogModel m = MakeServerConfigModel(FullRecord());
    EXPECT_EQ(m.edits.size(), 10u);
    EXPECT_EQ(m.Edit(serverdlg::kAdminPassword).text, "adm");
    EXPECT_EQ(m.Edit(serverdlg::kTitleFormat).text, "Now playing %s");
    EXPECT_EQ(m.Edit(serverdlg::kRelayPort).text, "8000");
    EXPECT_EQ(m.radios.size(), 8u);
    EXPECT_FALSE(m.Radio(serverdlg::kRelayPortEnabled).enabled);
    EXPECT_FALSE(m.Radio(serverdlg::kRelayPortDisabled).enabled) << "either id finds the pair";
    EXPECT_TRUE(m.Radio(serverdlg::kRelayServerEnabled).enabled);
    EXPECT_EQ(m.Combo(serverdlg::kAutoDisconnect).Text(), "Yes");
    EXPECT_EQ(m.combos.size(), 7u);
    EXPECT_EQ(m.lists.size(), 2u);
    EXPECT_THROW(m.Edit(9999), std::out_of_range);
}

TEST(ServerConfigModel, SavingUntouchedKeepsTheRecord) {
    const ServerSettings before = FullRecord();
    ServerSettings after = before;
    SaveServerConfigModel(MakeServerConfigModel(before), after);
    EXPECT_EQ(after, before);
}

TEST(ServerConfigModel, SaveStoresWhatTheUserLeft) {
    ServerSettings s = FullRecord();
    DialogModel m = MakeServerConfigModel(s);
    m.Combo(serverdlg::kAutoDisconnect).selection = 1;  // "No"
    m.Radio(serverdlg::kRelayServerDisabled).enabled = false;
    m.Edit(serverdlg::kRelayServerIP).text = "5.6.7.8";
    m.Edit(serverdlg::kCustomIntro).text = "my intro.mp3";
    m.List(serverdlg::kBackupFiles).selection = -1;  // falls back to the top entry
    m.Combo(serverdlg::kShowLastSongs).selection = -1;
    SaveServerConfigModel(m, s);

    EXPECT_EQ(s.autoDisconnectListener, "No");
    EXPECT_FALSE(s.relayServerEnabled);
    EXPECT_EQ(s.relayServerIP, "5.6.7.8");
    EXPECT_EQ(s.songBackupFile, "b.mp3");
    EXPECT_EQ(s.showLastSongs, "");
    EXPECT_EQ(s.maxListOptions, "unlimited");

    const std::vector<std::string> items = ConfigItems(BuildServerSetRequest(s, "u", "p"));
    EXPECT_THAT(items, ::testing::Contains("AutoDumpUsers=No"));
    EXPECT_THAT(items, ::testing::Contains("RelayServer=5.6.7.8"));
    EXPECT_THAT(items, ::testing::Contains("CustomIntroFile=my+intro.mp3"));
    EXPECT_THAT(items, ::testing::Not(::testing::Contains("RelayServerEnabled=on")));
}

TEST(ServerConfigLayout, EveryLabelCarriesItsTooltip) {
    const DialogLayout& layout = ServerConfigLayout();
    EXPECT_STREQ(layout.caption, "Shoutcast Server Configuration");
    ASSERT_EQ(layout.rows.size(), 18u);
    const DialogModel m = MakeServerConfigModel(ServerSettings{});
    for (const SettingRow& row : layout.rows) {
        SCOPED_TRACE(row.labelId);
        EXPECT_NE(row.tooltip, nullptr);
        if (row.fixedText == nullptr) {
            const bool known = [&] {
                for (const auto& e : m.edits) {
                    if (e.id == row.controlId) return true;
                }
                for (const auto& c : m.combos) {
                    if (c.id == row.controlId) return true;
                }
                for (const auto& l : m.lists) {
                    if (l.id == row.controlId) return true;
                }
                return false;
            }();
            EXPECT_TRUE(known) << "control " << row.controlId << " has no model";
        }
        if (row.enabledRadioId != 0) {
            EXPECT_EQ(m.Radio(row.enabledRadioId).disabledId, row.disabledRadioId);
        }
    }
    EXPECT_EQ(std::string(layout.rows[1].tooltip).substr(0, 58),
              "This is the password for the shared administration area.\n ");
}

}  // namespace
}  // namespace ostravel
