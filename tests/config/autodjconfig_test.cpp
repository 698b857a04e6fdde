#include "config/autodjconfig.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ostravel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

AutoDJSettings Parsed(const std::string& reply) {
    AutoDJSettings s;
    s.djConfigReply = reply;
    ParseAutoDJConfig(s);
    return s;
}

TEST(ParseAutoDJConfig, StoresEveryKeyUnchanged) {
    const AutoDJSettings s = Parsed(
        "Shoutcast dj getconfig|playListFile=b.lst|password=pw|streamTitle=My Radio|streamURL=http://x"
        "|genre=Pop|shuffle=1|bitrate=128000|sampleRate=44100|channels=2|quality=5|crossfadeMode=2"
        "|crossfadeLength=8000|public=0|aim=a|icq=i|irc=#r|maxBitrate=128|playListList=a.lst;b.lst");
    EXPECT_EQ(s.playListFile, "b.lst");
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.streamTitle, "My Radio");
    EXPECT_EQ(s.streamURL, "http://x");
    EXPECT_EQ(s.genre, "Pop");
    EXPECT_EQ(s.shuffle, "1");
    EXPECT_EQ(s.bitrate, "128000");
    EXPECT_EQ(s.sampleRate, "44100");
    EXPECT_EQ(s.channels, "2");
    EXPECT_EQ(s.quality, "5");
    EXPECT_EQ(s.crossfadeMode, "2");
    EXPECT_EQ(s.crossfadeLength, "8000");
    EXPECT_EQ(s.public_, "0");
    EXPECT_EQ(s.aim, "a");
    EXPECT_EQ(s.icq, "i");
    EXPECT_EQ(s.irc, "#r");
    EXPECT_EQ(s.maxBitrate, "128");
    EXPECT_EQ(s.playListList, "a.lst;b.lst");
}

TEST(ParseAutoDJConfig, ExactNamesAndMissingKeysKeepValues) {
    AutoDJSettings s = Parsed("Shoutcast dj getconfig|genre=Rock|Genre=Pop|password=a=b");
    EXPECT_EQ(s.genre, "Rock");
    EXPECT_EQ(s.password, "a");
    s.djConfigReply = "Shoutcast dj getconfig|password=new";
    ParseAutoDJConfig(s);
    EXPECT_EQ(s.genre, "Rock");
    EXPECT_EQ(s.password, "new");
}

TEST(BitrateChoices, BoundedByMaxBitrate) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"128", {"24000", "32000", "48000", "64000", "96000", "128000"}},
        {"100", {"24000", "32000", "48000", "64000", "96000"}},
        {"320", {"24000", "32000", "48000", "64000", "96000", "128000", "192000", "320000"}},
        {"1000", {"24000", "32000", "48000", "64000", "96000", "128000", "192000", "320000"}},
        {"24", {"24000"}},
        {"128kbps", {"24000", "32000", "48000", "64000", "96000", "128000"}},
        {"23", {}},
        {"", {}},
        {"abc", {}},
        {"-320", {}},
        {"99999999999999999999999",
         {"24000", "32000", "48000", "64000", "96000", "128000", "192000", "320000"}},
    };
    for (const auto& [maxBitrate, choices] : cases) {
        SCOPED_TRACE(maxBitrate);
        EXPECT_EQ(BitrateChoices(maxBitrate), choices);
    }
}

TEST(AutoDJConfigModel, BitrateComboKeepsARateAboveTheLimit) {
    AutoDJSettings s;
    s.maxBitrate = "100";
    s.bitrate = "128000";
    ComboModel combo = MakeAutoDJConfigModel(s).Combo(autodjdlg::kBitrate);
    EXPECT_THAT(combo.items, ElementsAre("128000", "24000", "32000", "48000", "64000", "96000"));
    EXPECT_EQ(combo.Text(), "128000");

    s.bitrate = "64000";
    combo = MakeAutoDJConfigModel(s).Combo(autodjdlg::kBitrate);
    EXPECT_EQ(combo.items.size(), 5u);
    EXPECT_EQ(combo.selection, 3);
}

TEST(AutoDJConfigModel, QualityIsPickedByPosition) {
    struct Case {
        const char* quality;
        const char* text;
        std::size_t itemCount;
    };
    const Case cases[] = {
        {"5", "5", 10},
        {"1", "1", 10},
        {"10", "10", 10},
        {"05", "5", 10},
        // Off the list: kept on top so Save sends it back.
        {"0", "0", 11},
        {"11", "11", 11},
        {"", "", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quality);
        AutoDJSettings s;
        s.quality = c.quality;
        const DialogModel m = MakeAutoDJConfigModel(s);
        const ComboModel& combo = m.Combo(autodjdlg::kQuality);
        EXPECT_EQ(combo.Text(), c.text);
        EXPECT_EQ(combo.items.size(), c.itemCount);
    }
    EXPECT_EQ(QualityPosition("5"), 4);
    EXPECT_EQ(QualityPosition("0"), -1);
    EXPECT_EQ(QualityPosition("11"), -1);
    EXPECT_EQ(QualityPosition("-99999999999999999999"), -1);
}

TEST(AutoDJConfigModel, CodesBecomeWords) {
    struct Case {
        std::string AutoDJSettings::*field;
        int comboId;
        const char* value;
        const char* shown;
    };
    const Case cases[] = {
        {&AutoDJSettings::shuffle, autodjdlg::kShuffle, "1", "Yes"},
        {&AutoDJSettings::shuffle, autodjdlg::kShuffle, "0", "No"},
        {&AutoDJSettings::shuffle, autodjdlg::kShuffle, "No", "No"},  // a word from an earlier Save
        {&AutoDJSettings::shuffle, autodjdlg::kShuffle, "2", "2"},    // unknown code, kept
        {&AutoDJSettings::public_, autodjdlg::kPublic, "1", "Yes"},
        {&AutoDJSettings::public_, autodjdlg::kPublic, "0", "No"},
        {&AutoDJSettings::channels, autodjdlg::kChannels, "1", "Mono"},
        {&AutoDJSettings::channels, autodjdlg::kChannels, "2", "Stereo"},
        {&AutoDJSettings::channels, autodjdlg::kChannels, "stereo", "Stereo"},
        {&AutoDJSettings::crossfadeMode, autodjdlg::kCrossfadeMode, "0", "None"},
        {&AutoDJSettings::crossfadeMode, autodjdlg::kCrossfadeMode, "1", "Fade In"},
        {&AutoDJSettings::crossfadeMode, autodjdlg::kCrossfadeMode, "2", "Fade Out"},
        {&AutoDJSettings::crossfadeMode, autodjdlg::kCrossfadeMode, "", ""},
        {&AutoDJSettings::sampleRate, autodjdlg::kSampleRate, "44100", "44100"},
        {&AutoDJSettings::sampleRate, autodjdlg::kSampleRate, "22050", "22050"},
        {&AutoDJSettings::sampleRate, autodjdlg::kSampleRate, "48000", "48000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.comboId) + " " + c.value);
        AutoDJSettings s;
        s.*c.field = c.value;
        const DialogModel m = MakeAutoDJConfigModel(s);
        EXPECT_EQ(m.Combo(c.comboId).Text(), c.shown);
        AutoDJSettings saved = s;
        SaveAutoDJConfigModel(m, saved);
        EXPECT_EQ(saved.*c.field, c.shown);
    }
}

TEST(AutoDJConfigModel, FixedItemsInDisplayOrder) {
    const DialogModel m = MakeAutoDJConfigModel(AutoDJSettings{});
    EXPECT_THAT(m.Combo(autodjdlg::kSampleRate).items, ElementsAre("22050", "44100"));
    EXPECT_THAT(m.Combo(autodjdlg::kShuffle).items, ElementsAre("Yes", "No"));
    EXPECT_THAT(m.Combo(autodjdlg::kChannels).items, ElementsAre("Stereo", "Mono"));
    EXPECT_THAT(m.Combo(autodjdlg::kCrossfadeMode).items, ElementsAre("Fade Out", "Fade In", "None"));
    EXPECT_THAT(m.Combo(autodjdlg::kPublic).items, ElementsAre("Yes", "No"));
    EXPECT_THAT(m.Combo(autodjdlg::kQuality).items,
                ElementsAre("1", "2", "3", "4", "5", "6", "7", "8", "9", "10"));
    EXPECT_TRUE(m.Combo(autodjdlg::kBitrate).items.empty());
    EXPECT_TRUE(m.Combo(autodjdlg::kPlayList).items.empty());
    EXPECT_EQ(m.edits.size(), 8u);
    EXPECT_EQ(m.combos.size(), 8u);
}

TEST(AutoDJSetRequest, SixteenItemsInOrderWithWords) {
    AutoDJSettings s = Parsed(
        "Shoutcast dj getconfig|playListFile=b.lst|password=pw|streamTitle=My Radio|streamURL=http://x"
        "|genre=Pop|shuffle=1|bitrate=128000|sampleRate=44100|channels=2|quality=5|crossfadeMode=2"
        "|crossfadeLength=8000|public=0|aim=a|icq=i|irc=#r|maxBitrate=128|playListList=a.lst;b.lst;c.lst");
    SaveAutoDJConfigModel(MakeAutoDJConfigModel(s), s);
    EXPECT_EQ(BuildAutoDJSetRequest(s, "dj user", "p w"),
              "shoutcast_dj_setconfig,?loginsc=dj+user&passwordsc=p+w&config="
              "Password=pw|PlaylistFile=b.lst|StreamTitle=My+Radio|StreamURL=http://x|Genre=Pop|Shuffle=Yes|"
              "Bitrate=128000|SampleRate=44100|Channels=Stereo|Quality=5|CrossfadeMode=Fade+Out|"
              "CrossfadeLength=8000|Public=No|AIM=a|ICQ=i|IRC=#r|");
    EXPECT_EQ(s.maxBitrate, "128");
    EXPECT_EQ(s.playListList, "a.lst;b.lst;c.lst");

    const std::string empty = BuildAutoDJSetRequest(AutoDJSettings{}, "u", "p");
    EXPECT_THAT(empty, HasSubstr("&config=Password=|PlaylistFile=|"));
    EXPECT_EQ(std::count(empty.begin(), empty.end(), '|'), 16);
}

TEST(AutoDJConfigModel, SaveReadsEditsIntoTheirFields) {
    AutoDJSettings s;
    DialogModel m = MakeAutoDJConfigModel(s);
    m.Edit(autodjdlg::kPassword).text = "pw";
    m.Edit(autodjdlg::kStreamTitle).text = "t";
    m.Edit(autodjdlg::kStreamURL).text = "u";
    m.Edit(autodjdlg::kGenre).text = "g";
    m.Edit(autodjdlg::kCrossfadeLength).text = "100";
    m.Edit(autodjdlg::kAim).text = "a";
    m.Edit(autodjdlg::kIcq).text = "i";
    m.Edit(autodjdlg::kIrc).text = "r";
    m.Combo(autodjdlg::kQuality).selection = 2;
    SaveAutoDJConfigModel(m, s);
    EXPECT_EQ(s.password, "pw");
    EXPECT_EQ(s.streamTitle, "t");
    EXPECT_EQ(s.streamURL, "u");
    EXPECT_EQ(s.genre, "g");
    EXPECT_EQ(s.crossfadeLength, "100");
    EXPECT_EQ(s.aim, "a");
    EXPECT_EQ(s.icq, "i");
    EXPECT_EQ(s.irc, "r");
    EXPECT_EQ(s.quality, "3");
    EXPECT_EQ(s.shuffle, "");
}

TEST(AutoDJConfigLayout, LabelsAndTooltips) {
    const DialogLayout& layout = AutoDJConfigLayout();
    EXPECT_STREQ(layout.caption, "Configure AutoDJ");
    ASSERT_EQ(layout.rows.size(), 16u);
    const DialogModel m = MakeAutoDJConfigModel(AutoDJSettings{});
    std::size_t found = 0;
    for (const SettingRow& row : layout.rows) {
        for (const auto& e : m.edits) found += e.id == row.controlId;
        for (const auto& c : m.combos) found += c.id == row.controlId;
    }
    EXPECT_EQ(found, 16u) << "every label names a control of the model";
    EXPECT_STREQ(layout.rows[5].tooltip,
                 "Yes will shiffle the play order of the playlist.\n No is required for Play Now instant "
                 "request song functions.\n You can also toggle shuffle off before using Play Now");
}

}  // namespace
}  // namespace ostravel
