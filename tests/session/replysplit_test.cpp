// Replies as a real network delivers them: cut into segments, trickled, or far too long. A reply for
// a window or a parser is used whole; list lines go at once; nothing stops the session.
#include <gtest/gtest.h>

#include "fakes/session_support.h"

namespace ostravel {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kSegment = 1448;  // what one Ethernet frame carries
constexpr const char* kStatus = testing::kUpAndPublicReport;

class SplitReplyTest : public testing::ConnectedReceiverTest {
protected:
    // `text` from `from` on, one segment per write.
    void SendInSegments(const std::string& text, std::size_t from = 0, std::size_t segment = kSegment) {
        for (std::size_t at = from; at < text.size(); at += segment)
            ASSERT_TRUE(server.Send(text.substr(at, segment)));
    }
    // The loop still routes: a status report gets through (the first may fall into the tail of a
    // reply that is still being dropped, so it is asked for again until one lands).
    bool StillRouting() {
        for (int attempt = 0; attempt < 50; ++attempt) {
            server.Send(kStatus);
            if (view.WaitForStatus([](const std::string& s) { return !s.empty(); }, 200ms)) return true;
        }
        return false;
    }
};

TEST_F(SplitReplyTest, ALongLogInSegmentsShowsWholeOnce) {
    std::string log = "Shoutcast AutoDJ Logs\n";
    for (int line = 0; log.size() < 60000; ++line) log += "12:00:" + std::to_string(line) + " track played\n";
    SendInSegments(log);
    ASSERT_TRUE(view.WaitForShown(1));
    ASSERT_TRUE(StillRouting());
    const auto shown = view.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second.size(), log.size());
    EXPECT_EQ(shown[0].second, log);
    EXPECT_EQ(doc.TextReply(), log);
    EXPECT_TRUE(view.Lines().empty());
}

TEST_F(SplitReplyTest, ServerSettingsCutAnywhereOpenTheDialogOnceWithEveryValue) {
    const std::string settings =
        "Shoutcast server getconfig|adminPassword=adm|URLFormat=" + std::string(3000, 'u') +
        "|connectPassword=con|titleFormat=the last value";
    const std::string content = "Shoutcast server content|a.mp3|b.mp3|^end";
    ASSERT_TRUE(server.Send(settings.substr(0, 600)));
    SendInSegments(settings, 600);
    ASSERT_TRUE(server.Send(content));  // right behind, as the host sends it
    ASSERT_TRUE(view.WaitForShown(1));
    ASSERT_TRUE(StillRouting());
    ASSERT_EQ(view.Opened().size(), 1u);
    const ServerSettings stored = doc.Settings().server;
    EXPECT_EQ(stored.serverConfigReply, settings);
    EXPECT_EQ(stored.serverContentReply, content);
    EXPECT_EQ(stored.adminPassword, "adm");
    EXPECT_EQ(stored.connectPassword, "con");
    EXPECT_EQ(stored.titleFormat, "the last value");
}

TEST_F(SplitReplyTest, ListLinesGoAtOnceAndAStatusReportCutInTwoFillsTheBox) {
    ASSERT_TRUE(server.Send("Shoutcast server started"));
    ASSERT_TRUE(view.WaitForLineCount(1));
    const std::string status = kStatus;
    ASSERT_TRUE(server.Send(status.substr(0, 40)));
    ASSERT_TRUE(server.Send(status.substr(40)));
    ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); }));
    EXPECT_NE(view.Status().find("Stream Port: 8010"), std::string::npos);
    EXPECT_EQ(view.Lines(), std::vector<std::string>{"Shoutcast server started"});
    EXPECT_EQ(doc.Snapshot().streamPort, "8010");
}

TEST_F(SplitReplyTest, SettingsBeyondTheCapOpenNoDialogAndTheSessionGoesOn) {
    std::string endless = "Shoutcast dj getconfig|playListFile=";
    endless.resize(kReplyCap + 100000, 'a');
    SendInSegments(endless, 0, 64 * 1024);
    ASSERT_TRUE(view.WaitForLines(
        [](const auto& l) { return !l.empty() && l.front() == kIncompleteSettingsMessage; }));
    ASSERT_TRUE(StillRouting());
    EXPECT_TRUE(view.Opened().empty());
    EXPECT_EQ(doc.Settings().autoDJ.djConfigReply, "");
    EXPECT_TRUE(receiver.IsRunning());
}

TEST_F(SplitReplyTest, SettingsCutAtANulOpenNoDialog) {
    using namespace std::string_literals;
    ASSERT_TRUE(server.Send("Shoutcast dj getconfig|playListFile=a.lst|pass\0word=pw|streamTitle=Radio"s));
    ASSERT_TRUE(view.WaitForLines(
        [](const auto& l) { return !l.empty() && l.front() == kIncompleteSettingsMessage; }));
    ASSERT_TRUE(StillRouting());
    EXPECT_TRUE(view.Opened().empty());
    // Whole settings still open their dialog.
    ASSERT_TRUE(server.Send("Shoutcast dj getconfig|playListFile=a.lst|password=pw|streamTitle=Radio"));
    ASSERT_TRUE(view.WaitForShown(1));
}

TEST_F(SplitReplyTest, ATrickleNeitherCrashesNorStopsTheSession) {
    for (const char byte : std::string("Shoutcast dj getconfig|playListFile=a.lst"))
        server.Send(std::string(1, byte));
    for (const char byte : std::string(kStatus)) server.Send(std::string(1, byte));
    ASSERT_TRUE(StillRouting());
    EXPECT_TRUE(receiver.IsRunning());
    EXPECT_FALSE(doc.Disconnected());
}

}  // namespace
}  // namespace ostravel
