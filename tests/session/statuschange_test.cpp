// The extensions on the real receiver against the fake server: a notice once per change of state
// (and none while switched off), since when the state holds, and the live status asking every 20
// seconds of a controlled clock (and no request of its own while switched off).
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"
#include "session/statustracker.h"

namespace ostravel {
namespace {

using testing::FakeClock;
using testing::FakeServiceServer;
using testing::RecordingView;

std::string Report(const char* phrase) {
    return std::string("Server Status: ") + phrase +
           "\"Stream IP: 10.1.2.3\"Stream Port: 8010\"Max. Bitrate: 320\"Status End";
}
const std::string kDown = Report("Server is currently offline");
const std::string kNoSource = Report("Server is Online. Connect a DJ");
const std::string kUp = Report("Server is currently up and public");

constexpr char kStatusRequest[] = "shoutcast_server_status,?loginsc=user&passwordsc=pw";

class StatusChangeTest : public ::testing::Test {
protected:
    StatusChangeTest() {
        doc.SetView(&view);
        server.SetResponder([this](const std::string& text) -> std::vector<std::string> {
            if (text.rfind("Username,", 0) == 0) return {"Logged In: Hi=77"};
            if (text.rfind("shoutcast_server_status,", 0) == 0) return {answer_};
            return {};
        });
    }
    void LogIn() {
        session.LoginProcedure("user", "pw");
        session.LoginAccepted();
        ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); }));
        ASSERT_EQ(doc.LoginId(), 77);
    }
    // The host's keep-alive: a report the client did not ask for. Waits until the box shows it.
    void HostReports(const std::string& report) {
        const auto before = view.StatusSets();
        ASSERT_TRUE(server.Send(report));
        // The box is set last, after the tray and any notice.
        ASSERT_TRUE(view.WaitForStatusSets(before + 1)) << "the report was not shown";
    }
    int StatusRequests() const {
        const auto texts = server.Texts();
        return static_cast<int>(std::count(texts.begin(), texts.end(), std::string(kStatusRequest)));
    }
    // Lets the receiver's loop come round once more with the clock as it is now: it reads the clock
    // twice a turn (the idle check, the live status), and wakes at least once a second.
    void LetTheLoopRun() { ASSERT_TRUE(clock.WaitForReads(3)) << "the receiver's loop stopped"; }
    // Logs off and waits for the receiver to end: nothing of the session can follow.
    void LogOutAndWait() {
        ReceiverThread* receiver = session.CurrentReceiver();
        session.Logout();
        if (receiver != nullptr) receiver->Join();
    }

    std::string answer_ = kUp;
    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
    FakeClock clock;
    SessionControl session{doc, SocketAddress("127.0.0.1", server.Port()),
                           [this](SessionDocument& d) { return std::make_unique<Receiver>(d, clock); }};
};

// A scripted sequence of reports: exactly one notice per change, the session lost included.
TEST_F(StatusChangeTest, OneNoticePerChangeThenTheSessionLost) {
    doc.SetNotifyOnChange(true);
    LogIn();  // up and public: the baseline, no notice
    for (const std::string* report : {&kUp, &kUp, &kDown, &kDown, &kDown, &kNoSource, &kUp, &kUp})
        HostReports(*report);
    ASSERT_TRUE(view.WaitForNotices(3));
    server.CloseConnection();
    ASSERT_TRUE(view.WaitForNotices(4));
    session.CurrentReceiver()->Join();
    const auto notices = view.Notices();
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[0].state, 0);
    EXPECT_EQ(notices[0].title, "Server Down");
    EXPECT_EQ(notices[0].icon, kIconServerDown);
    EXPECT_EQ(notices[0].since, clock.Now());
    EXPECT_EQ(notices[1].state, 1);
    EXPECT_EQ(notices[1].icon, kIconServerUpStreamDown);
    EXPECT_EQ(notices[2].state, 2);
    EXPECT_EQ(notices[2].icon, kIconServerUpStreamUp);
    EXPECT_EQ(notices[3].state, kStateSessionLost);
    EXPECT_EQ(notices[3].icon, kIconApplication);
    EXPECT_EQ(notices[3].title, "Logged Off");
    // The protocol's own handling is untouched: the line and the tray as ever.
    EXPECT_EQ(view.Lines().front(), kSessionEndedMessage);
    EXPECT_EQ(view.Tray().back().tip, kLoggedOffTip);
}

TEST_F(StatusChangeTest, NoNoticeWhileSwitchedOff) {
    LogIn();
    for (const std::string* report : {&kDown, &kNoSource, &kUp, &kDown}) HostReports(*report);
    server.Send("/bye");
    session.CurrentReceiver()->Join();
    EXPECT_TRUE(view.Notices().empty());
    // Switched on again for the next session, it announces again.
    doc.SetNotifyOnChange(true);
    view.ForgetHistory();
    LogIn();
    HostReports(kDown);
    EXPECT_TRUE(view.WaitForNotices(1));
}

TEST_F(StatusChangeTest, LoggingOffSaysNothingTheTimeOutDoes) {
    doc.SetNotifyOnChange(true);
    LogIn();
    LogOutAndWait();
    EXPECT_TRUE(view.Notices().empty());

    LogIn();
    HostReports(kDown);
    ASSERT_TRUE(view.WaitForNotices(1));
    // Nothing for 30 seconds of the controlled clock: the time-out ends the session.
    clock.Advance(kIdleSeconds);
    ASSERT_TRUE(view.WaitForNotices(2));
    session.CurrentReceiver()->Join();
    const auto notices = view.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].state, kStateSessionLost);
    EXPECT_EQ(view.Lines()[1], kTimedOutMessage);
}

// Since when: in the tray tip and as the status box's last line, only while switched on.
TEST_F(StatusChangeTest, SinceWhenInTheTrayTipAndTheStatusBox) {
    doc.SetShowSince(true);
    answer_ = kNoSource;
    LogIn();
    const std::string loginTime = TimeOfDay(clock.Now());
    ASSERT_TRUE(
        view.WaitForStatus([](const std::string& s) { return s.find(" since ") != std::string::npos; }));
    EXPECT_TRUE(
        view.Status().ends_with("Connect a DJ\r\n\r\nServer Up, Stream Down since " + loginTime + "\r\n"))
        << view.Status();
    EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Server Up, Stream Down since " + loginTime);
    // The same state later keeps its since-time; a change moves it.
    for (int i = 0; i < 4; ++i) {  // 80 seconds, each report keeping the session alive
        clock.Advance(20);
        HostReports(kNoSource);
        EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Server Up, Stream Down since " + loginTime);
    }
    HostReports(kUp);
    const std::string upTime = TimeOfDay(clock.Now());
    EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Server Up, Stream Up since " + upTime);
    EXPECT_TRUE(view.Status().ends_with("Server Up, Stream Up since " + upTime + "\r\n"));
    // Switched off: the tip and the box exactly as without the extension.
    doc.SetShowSince(false);
    HostReports(kDown);
    EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Server Down");
    EXPECT_EQ(view.Status().find(" since "), std::string::npos);
}

// The live status: every 20 seconds of the clock while logged in, the catalogue's status request,
// so an idle session never meets the 30-second rule.
TEST_F(StatusChangeTest, LiveStatusAsksEveryTwentySeconds) {
    doc.SetAutoRefresh(true);
    LogIn();
    ASSERT_EQ(StatusRequests(), 1);  // the one after the login, as ever
    const std::string catalogueRequest =
        ComposeCommandRequest(*FindCommand(cmd::kServerStatus), "user", "pw");
    EXPECT_EQ(catalogueRequest, kStatusRequest);
    // Ten-second steps for 100 seconds: a request at 20, 40, 60, 80 and 100.
    for (int step = 1; step <= 10; ++step) {
        clock.Advance(10);
        const int expected = 1 + step / 2;
        if (step % 2 == 0) {
            ASSERT_TRUE(server.WaitForBlocks(static_cast<std::size_t>(2 + expected))) << "step " << step;
        } else {
            LetTheLoopRun();
        }
        ASSERT_EQ(StatusRequests(), expected) << "at " << step * 10 << " s";
    }
    EXPECT_EQ(doc.LoginId(), 77) << "the session stayed alive past the 30-second rule";
    for (const std::string& block : server.Blocks()) EXPECT_EQ(block.size(), kCommandBlockSize);
    // Switched off mid-session: nothing more is asked.
    doc.SetAutoRefresh(false);
    clock.Advance(20);
    LetTheLoopRun();
    EXPECT_EQ(StatusRequests(), 6);
    // Logged off: the switch on asks nothing either.
    LogOutAndWait();
    doc.SetAutoRefresh(true);
    clock.Advance(40);
    EXPECT_EQ(StatusRequests(), 6);
}

TEST_F(StatusChangeTest, WithoutLiveStatusNoRequestOfItsOwn) {
    LogIn();
    ASSERT_EQ(StatusRequests(), 1);
    clock.Advance(10);
    LetTheLoopRun();
    clock.Advance(10);
    LetTheLoopRun();
    EXPECT_EQ(StatusRequests(), 1);
    // The idle session meets the 30-second rule as ever.
    clock.Advance(10);
    ASSERT_TRUE(view.WaitForLines([](const auto& lines) {
        return std::find(lines.begin(), lines.end(), std::string(kTimedOutMessage)) != lines.end();
    }));
    ASSERT_TRUE(server.WaitForBlocks(4));
    const auto texts = server.Texts();
    ASSERT_EQ(texts.size(), 4u);  // the two login blocks, the status request, the log-off notice
    EXPECT_EQ(texts[2], kStatusRequest);
    EXPECT_EQ(texts[3], kLogOffNotice);
}

}  // namespace
}  // namespace ostravel
