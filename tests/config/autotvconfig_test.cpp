#include "config/autotvconfig.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ostravel {
namespace {

using ::testing::ElementsAre;

TEST(ParseAutoTVConfig, ValueAfterTheEqualsSigns) {
    const std::pair<const char*, const char*> cases[] = {
        {"genre=Pop", "Pop"},      {"genre==Pop", "Pop"},   {"genre=", ""},
        {"genre=Pop=Rock", "Pop"}, {"genre===Pop=", "Pop"},
    };
    for (const auto& [item, genre] : cases) {
        SCOPED_TRACE(item);
        AutoTVSettings s;
        s.genre = "before";
        EXPECT_TRUE(ParseAutoTVConfig(s, std::string("Shoutcast tv getconfig|") + item));
        EXPECT_EQ(s.genre, genre);
    }
}

TEST(ParseAutoTVConfig, EmptyItemsAreDroppedAndUnknownKeysIgnored) {
    AutoTVSettings s;
    s.irc = "#keep";
    EXPECT_TRUE(ParseAutoTVConfig(
        s,
        "|Shoutcast tv getconfig||playListFile=b.nsv|password=pw|streamTitle=T "
        "V|streamURL=u|autoReconnect=yes"
        "|bitrate=300|public=No|aim=a|icq=i|screenLog=1|realTime=0|Genre=x|playListList=a.nsv;b.nsv|"));
    EXPECT_EQ(s.playListFile, "b.nsv");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.streamTitle, "T V");
    EXPECT_EQ(s.streamURL, "u");
    EXPECT_EQ(s.autoReconnect, "yes");
    EXPECT_EQ(s.bitrate, "300");
    EXPECT_EQ(s.public_, "No");
    EXPECT_EQ(s.aim, "a");
    EXPECT_EQ(s.icq, "i");
    EXPECT_EQ(s.irc, "#keep");
    EXPECT_EQ(s.genre, "");
    EXPECT_EQ(s.playListList, "a.nsv;b.nsv");
}

TEST(ParseAutoTVConfig, NoItemAtAllOpensNothing) {
    for (const char* reply : {"", "|", "|||"}) {
        SCOPED_TRACE(reply);
        AutoTVSettings s;
        s.genre = "Pop";
        const AutoTVSettings before = s;
        EXPECT_FALSE(ParseAutoTVConfig(s, reply));
        EXPECT_EQ(s, before);
    }
}

TEST(AutoTVConfigModel, CombosHoldTheWordsThemselves) {
    const std::pair<const char*, const char*> cases[] = {
        {"yes", "Yes"},
        {"No", "No"},
        {"1", "1"} /* kept, not converted */,
        {"", ""},
    };
    for (const auto& [value, shown] : cases) {
        SCOPED_TRACE(value);
        AutoTVSettings s;
        s.autoReconnect = value;
        s.public_ = value;
        const DialogModel m = MakeAutoTVConfigModel(s);
        EXPECT_EQ(m.Combo(autotvdlg::kAutoReconnect).Text(), shown);
        EXPECT_EQ(m.Combo(autotvdlg::kPublic).Text(), shown);
    }
}

TEST(AutoTVSetRequest, TwelveItemsWithTheAutoDJSampleRate) {
    AutoTVSettings s;
    ASSERT_TRUE(ParseAutoTVConfig(
        s,
        "Shoutcast tv getconfig|playListFile=b.nsv|password=pw|streamTitle=My TV|streamURL=u|genre==Pop"
        "|autoReconnect=yes|bitrate=300|public=1|aim=a|icq=i|irc=r|playListList=a.nsv;b.nsv"));
    SaveAutoTVConfigModel(MakeAutoTVConfigModel(s), s);
    AutoDJSettings dj;
    dj.sampleRate = "44100";
    EXPECT_EQ(BuildAutoTVSetRequest(s, dj, "tv user", "p"),
              "shoutcast_tv_setconfig,?loginsc=tv+user&passwordsc=p&config="
              "Password=pw|PlaylistFile=b.nsv|AutoReconnect=Yes|StreamTitle=My+TV|StreamURL=u|Genre=Pop|"
              "Bitrate=300|SampleRate=44100|Public=1|AIM=a|ICQ=i|IRC=r|");
    EXPECT_EQ(BuildAutoTVSetRequest(AutoTVSettings{}, AutoDJSettings{}, "u", "p"),
              "shoutcast_tv_setconfig,?loginsc=u&passwordsc=p&config="
              "Password=|PlaylistFile=|AutoReconnect=|StreamTitle=|StreamURL=|Genre=|"
              "Bitrate=|SampleRate=|Public=|AIM=|ICQ=|IRC=|");
}

TEST(AutoTVConfigModel, SaveReadsEveryControl) {
    AutoTVSettings s;
    s.playListList = "a.nsv;b.nsv";
    s.playListFile = "a.nsv";
    DialogModel m = MakeAutoTVConfigModel(s);
    EXPECT_THAT(m.Combo(autotvdlg::kPlayList).items, ElementsAre("b.nsv", "a.nsv"));
    EXPECT_EQ(m.Combo(autotvdlg::kPlayList).selection, 1);
    m.Combo(autotvdlg::kPlayList).selection = 0;
    m.Combo(autotvdlg::kAutoReconnect).selection = 1;
    m.Combo(autotvdlg::kPublic).selection = 0;
    m.Edit(autotvdlg::kPassword).text = "pw";
    m.Edit(autotvdlg::kStreamTitle).text = "t";
    m.Edit(autotvdlg::kStreamURL).text = "u";
    m.Edit(autotvdlg::kGenre).text = "g";
    m.Edit(autotvdlg::kBitrate).text = "300";
    m.Edit(autotvdlg::kAim).text = "a";
    m.Edit(autotvdlg::kIcq).text = "i";
    m.Edit(autotvdlg::kIrc).text = "r";
    SaveAutoTVConfigModel(m, s);
    EXPECT_EQ(s.playListFile, "b.nsv");
    EXPECT_EQ(s.autoReconnect, "No");
    EXPECT_EQ(s.public_, "Yes");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.streamTitle, "t");
    EXPECT_EQ(s.streamURL, "u");
    EXPECT_EQ(s.genre, "g");
    EXPECT_EQ(s.bitrate, "300");
    EXPECT_EQ(s.aim, "a");
    EXPECT_EQ(s.icq, "i");
    EXPECT_EQ(s.irc, "r");
    EXPECT_EQ(s.playListList, "a.nsv;b.nsv");
}

TEST(AutoTVConfigLayout, LabelsAndTooltips) {
    const DialogLayout& layout = AutoTVConfigLayout();
    EXPECT_STREQ(layout.caption, "Configure AutoTV");
    ASSERT_EQ(layout.rows.size(), 11u);
    const DialogModel m = MakeAutoTVConfigModel(AutoTVSettings{});
    std::size_t found = 0;
    for (const SettingRow& row : layout.rows) {
        for (const auto& e : m.edits) found += e.id == row.controlId;
        for (const auto& c : m.combos) found += c.id == row.controlId;
    }
    EXPECT_EQ(found, 11u);
    EXPECT_STREQ(layout.rows[7].label, "Public: ");
}

}  // namespace
}  // namespace ostravel
