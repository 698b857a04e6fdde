#include "session/receiver.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "fakes/session_support.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/sending.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

namespace ostravel {
namespace {

using testing::FakeClock;
using testing::FakeServiceServer;
using testing::RecordingView;
using Lines = std::vector<std::string>;

constexpr const char* kUpAndPublic = testing::kUpAndPublicReport;

// Routing, straight through Dispatch: no thread, no socket.
class DispatchTest : public ::testing::Test {
protected:
    DispatchTest() { doc.SetView(&view); }
    RecordingView view;
    SessionDocument doc;
    FakeClock clock;
    Receiver receiver{doc, clock};
};

TEST_F(DispatchTest, RowsInOrderWithTheirErrorKeywords) {
    struct Case {
        std::string reply;
        bool toList;        // the whole reply lands in the message list
        const char* shown;  // or the viewer it opens
    };
    const Case cases[] = {
        {"Shoutcast server started.", true, nullptr},
        {"Shoutcast AutoDJ stopped", true, nullptr},
        {"Shoutcast AutoTV restarted", true, nullptr},
        {"Failed login.", true, nullptr},
        {"Shoutcast AutoDJ Logs\nline 1", false, "dj"},
        {"Shoutcast AutoTV Logs\nline 1", false, "tv"},
        {"Shoutcast Account Summary\nplan", false, "summary"},
        {"Shoutcast AutoDJ Logs Disabled for demo user", true, nullptr},
        {"Shoutcast AutoTV Logs Disabled for demo user", true, nullptr},
        {"Shoutcast Account Summary Disabled for demo user", false, "summary"},
        {"Shoutcast AutoDJ Logs: Cannot retreive", true, nullptr},
        {"Shoutcast Account Summary Error - no account", true, nullptr},
        {"Shoutcast server getconfig Invalid Shoutcast server", true, nullptr},
        {"Shoutcast dj getconfig Error - x", true, nullptr},
        {"Shoutcast tv getconfig Invalid Shoutcast tv", true, nullptr},
        {"Server Status: Account currently suspended", true, nullptr},
        {"Server Status: Error -nothing", true, nullptr},
        {"Server Status: Invalid login", true, nullptr},
        {"Server Status: Can not retreive status", true, nullptr},
    };
    for (const Case& c : cases) {
        const std::size_t linesBefore = view.Lines().size();
        const std::size_t shownBefore = view.Shown().size();
        EXPECT_TRUE(receiver.Dispatch(c.reply)) << c.reply;
        if (c.toList) {
            ASSERT_EQ(view.Lines().size(), linesBefore + 1) << c.reply;
            EXPECT_EQ(view.Lines().front(), c.reply);
            EXPECT_EQ(view.Shown().size(), shownBefore) << c.reply;
        } else {
            EXPECT_EQ(view.Lines().size(), linesBefore) << c.reply;
            ASSERT_EQ(view.Shown().size(), shownBefore + 1) << c.reply;
            EXPECT_EQ(view.Shown().back(), std::make_pair(std::string(c.shown), c.reply));
            EXPECT_EQ(doc.TextReply(), c.reply);
        }
    }
    EXPECT_FALSE(receiver.Dispatch("nothing anyone knows"));
    EXPECT_EQ(view.Lines().size(), std::size(cases) - 4);
}

TEST_F(DispatchTest, LongerKeywordsWinAndAnErrorKeepsTheOldStatus) {
    receiver.Dispatch("Shoutcast server getconfig|MaxUser=5| Shoutcast dj getconfig");
    const SettingsRecords settings = doc.Settings();
    EXPECT_EQ(settings.server.serverConfigReply,
              "Shoutcast server getconfig|MaxUser=5| Shoutcast dj getconfig");
    EXPECT_EQ(settings.autoDJ.djConfigReply, "");
    EXPECT_TRUE(view.Lines().empty());

    receiver.Dispatch(kUpAndPublic);
    const std::string report = view.Status();
    receiver.Dispatch(std::string(kUpAndPublic) + " Account currently suspended");
    EXPECT_EQ(view.Status(), report);
    EXPECT_EQ(doc.Snapshot().streamIp, "10.1.2.3");
}

TEST_F(DispatchTest, TextReplyHoldsOneReplyAtATime) {
    receiver.Dispatch("Shoutcast AutoDJ Logs\nold");
    receiver.Dispatch("Shoutcast Account Summary\nnew");
    EXPECT_EQ(doc.TextReply(), "Shoutcast Account Summary\nnew");
    doc.SetView(nullptr);  // no main view: the reply is kept, nothing opens
    receiver.Dispatch("Shoutcast AutoTV Logs\nkept");
    EXPECT_EQ(doc.TextReply(), "Shoutcast AutoTV Logs\nkept");
    EXPECT_EQ(view.Shown().size(), 2u);
}

struct StatusCase {
    const char* name;
    std::string reply;
    int state;        // expected serverState
    const char* tip;  // expected tip, nullptr for no tray change
    std::string box;
    std::string ip, port;
    bool highBitrate;
};

TEST_F(DispatchTest, StatusReports) {
    const std::string offline =
        "Server Status: \"Server Status: Server is currently offline\"Stream IP: 1.2.3.4\"Stream Port: 80\""
        "Max. Bitrate: 250\"Status End";
    const std::string online =
        "Server Status: \"Server Status: Server is Online. Connect a DJ\"Stream IP: 1.2.3.4\"Stream Port: "
        "80\""
        "Max. Bitrate: 249\"Status End";
    const StatusCase cases[] = {
        {"up and public", kUpAndPublic, 2, "Quenlor Ostravel - Server Up, Stream Up",
         "Server Status: \r\nServer Status: Server is currently up and public\r\nStream IP: 10.1.2.3\r\n"
         "Stream Port: 8010\r\nMax. Bitrate: 320\r\n\r\n",
         "10.1.2.3", "8010", true},
        {"offline hides the stream", offline, 0, "Quenlor Ostravel - Server Down",
         "Server Status: \r\nServer Status: Server is currently offline\r\n\r\n", "1.2.3.4", "80", true},
        {"online without a source", online, 1, "Quenlor Ostravel - Server Up, Stream Down",
         "Server Status: \r\nServer Status: Server is Online. Connect a DJ\r\n\r\n", "1.2.3.4", "80", false},
        {"no Status End", "Server Status: \"Server Status: Server is currently offline\"", 3, nullptr, "\r\n",
         "", "", false},
        {"blank before Stream IP", "Server Status:\" Stream IP: 9.9.9.9\"Status End", 3, nullptr,
         "Server Status:\r\n Stream IP: 9.9.9.9\r\n\r\n", "IP:", "", false},
        {"no phrase", "Server Status: \"Server Status: maintenance\"Max. Bitrate: x\"Status End", 3, nullptr,
         "Server Status: \r\nServer Status: maintenance\r\nMax. Bitrate: x\r\n\r\n", "", "", false},
    };
    for (const StatusCase& c : cases) {
        SessionDocument fresh;
        RecordingView freshView;
        fresh.SetView(&freshView);
        Receiver parser(fresh, clock);
        EXPECT_TRUE(parser.Dispatch(c.reply)) << c.name;
        const SessionState state = fresh.Snapshot();
        EXPECT_EQ(state.serverState, c.state) << c.name;
        EXPECT_EQ(freshView.Status(), c.box) << c.name;
        EXPECT_EQ(state.streamIp, c.ip) << c.name;
        EXPECT_EQ(state.streamPort, c.port) << c.name;
        EXPECT_EQ(state.highBitrate, c.highBitrate) << c.name;
        const auto tray = freshView.Tray();
        if (c.tip == nullptr) {
            EXPECT_TRUE(tray.empty()) << c.name;
        } else {
            ASSERT_EQ(tray.size(), 1u) << c.name;
            EXPECT_EQ(tray[0].tip, c.tip);
            EXPECT_EQ(tray[0].iconId, c.state == 0   ? kIconServerDown
                                      : c.state == 1 ? kIconServerUpStreamDown
                                                     : kIconServerUpStreamUp);
        }
    }
}

TEST_F(DispatchTest, WithoutAMainWindowTheStateAndIconStay) {
    view.SetHasMainWindow(false);
    receiver.Dispatch(kUpAndPublic);
    EXPECT_EQ(doc.Snapshot().serverState, 3);
    EXPECT_TRUE(view.Tray().empty());
    EXPECT_NE(view.Status().find("Stream IP: 10.1.2.3"), std::string::npos);
}

TEST(ReplyParsing, TokensNumbersAndWords) {
    EXPECT_EQ(FirstToken(": ,\t\n"), "");
    EXPECT_EQ(FirstToken("  /bye\n"), "/bye");
    EXPECT_EQ(FirstToken("/byex"), "/byex");
    EXPECT_EQ(FirstToken(std::string_view("\0/bye", 5)), "");
    EXPECT_EQ(ParseLeadingInt(" -12ab"), -12);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(NthWord("Stream IP: 1.2.3.4 x", 2), "1.2.3.4");
    EXPECT_EQ(NthWord("Stream  IP: 1.2.3.4", 2), "IP:");
    EXPECT_EQ(NthWord("Stream IP:", 2), "");
}

// The loop, against a fake server on a real socket.
class ReceiverTest : public testing::ConnectedReceiverTest {
protected:
    // The loop ends by itself within one receive wait; the thread's end is the signal.
    bool WaitForEnd() {
        receiver.Join();
        return !receiver.IsRunning();
    }
    bool HasLine(const std::string& line) {
        return view.WaitForLines(
            [&](const Lines& lines) { return std::find(lines.begin(), lines.end(), line) != lines.end(); });
    }
};

TEST_F(ReceiverTest, LoginConfirmationSetsTheIdAndAsksForTheStatus) {
    server.Send("Logged In: Welcome back=1234%ignored=5");
    ASSERT_TRUE(HasLine("Logged In: Welcome back"));
    EXPECT_EQ(doc.LoginId(), 1234);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(server.Texts(), Lines{"shoutcast_server_status,?loginsc=user&passwordsc=pw"});
}

TEST_F(ReceiverTest, NonNumericIdStaysLoggedOutAndAsksNothing) {
    server.Send("Logged In: Hello=abc");
    ASSERT_TRUE(HasLine("Logged In: Hello"));
    EXPECT_EQ(doc.LoginId(), 0);
    // A later good confirmation sends the first and only request.
    server.Send("Logged In: Hello=7");
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(server.Texts().size(), 1u);
    EXPECT_EQ(doc.LoginId(), 7);
}

TEST_F(ReceiverTest, SilentServerTimesOutAndLogsOff) {
    doc.SetLoginId(42);
    clock.Advance(kIdleSeconds);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(view.Lines(), (Lines{"Logging off... Have a great day!", "Connection timed out."}));
    EXPECT_EQ(view.Status(), "");
    ASSERT_FALSE(view.Tray().empty());
    EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Logged Off");
    EXPECT_EQ(view.Tray().back().iconId, kIconApplication);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(server.Blocks()[0], std::string("/disconnected\0", 14));
    EXPECT_EQ(doc.LoginId(), 0);
    EXPECT_TRUE(doc.Disconnected());
}

TEST_F(ReceiverTest, FailedLoginThenTimeoutWithoutFarewell) {
    server.Send("Failed login.");
    ASSERT_TRUE(HasLine("Failed login."));
    EXPECT_TRUE(receiver.IsRunning());
    clock.Advance(kIdleSeconds + 1);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(view.Lines(), (Lines{"Connection timed out.", "Failed login."}));
}

TEST_F(ReceiverTest, ByeIsOnlyTheWholeFirstWord) {
    // First token "/byex": routed like any reply, and the loop goes on.
    server.Send("/byex Shoutcast server started");
    ASSERT_TRUE(HasLine("/byex Shoutcast server started"));
    EXPECT_TRUE(receiver.IsRunning());
    server.Send("/bye\n");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(view.Lines().front(), kSessionEndedMessage);
}

TEST_F(ReceiverTest, TwoRepliesInOneChunkAreOneReply) {
    server.Send("Shoutcast server started.Shoutcast AutoDJ started.");
    ASSERT_TRUE(view.WaitForLineCount(1));
    server.Send("/bye");
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(view.Lines(),
              (Lines{kSessionEndedMessage, "Shoutcast server started.Shoutcast AutoDJ started."}));
}

TEST_F(ReceiverTest, WindowOpenLongerThanTheIdleLimitDoesNotTimeOut) {
    view.HoldWindows(true);
    server.Send("Shoutcast dj getconfig|PlaylistFile=/a.lst");
    ASSERT_TRUE(view.WaitForShown(1));
    clock.Advance(40);
    view.Release();
    ASSERT_TRUE(view.WaitForOpenWindows(0));
    server.Send("Shoutcast server after");
    ASSERT_TRUE(HasLine("Shoutcast server after"));
    EXPECT_EQ(view.Lines(), Lines{"Shoutcast server after"});
    EXPECT_TRUE(receiver.IsRunning());
}

TEST_F(ReceiverTest, LogOffFromTheUiEndsTheLoopSoon) {
    doc.SetLoginId(3);
    view.HoldWindows(true);
    const auto start = std::chrono::steady_clock::now();
    receiver.LogOff();
    receiver.Join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(5));  // one receive wait, with room for sanitizers
    EXPECT_EQ(view.Lines(), Lines{"Logging off... Have a great day!"});
    EXPECT_TRUE(doc.Disconnected());
    // The abandoned connection is closed once its receiver has ended.
    EXPECT_FALSE(doc.HasServiceSocket());
    EXPECT_TRUE(server.WaitForEnded(1));
}

TEST_F(ReceiverTest, ALogOffInTheMiddleOfAStatusReportWins) {
    doc.SetLoginId(5);
    view.OnNextHasMainWindow([&] { receiver.LogOff(); });  // the report is parsed, not yet shown
    server.Send(kUpAndPublic);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(view.Status(), "");
    EXPECT_EQ(view.Tray().size(), 1u);
    EXPECT_EQ(view.Tray().back().tip, "Quenlor Ostravel - Logged Off");
    const SessionState state = doc.Snapshot();
    EXPECT_FALSE(state.highBitrate);
    EXPECT_EQ(state.serverState, 3);
    EXPECT_EQ(state.streamIp, "");
}

TEST_F(ReceiverTest, StopReleasesAReceiverWaitingInAWindow) {
    view.HoldWindows(true);
    server.Send("Shoutcast tv getconfig|x=1");
    ASSERT_TRUE(view.WaitForShown(1));
    receiver.Stop();
    receiver.Join();
    EXPECT_EQ(view.OpenWindows(), 0);
}

// Many whole sessions, with commands sent from a second thread while the receiver reads.
TEST(ReceiverCycles, LoginCommandStatusLogoutTwoHundredTimes) {
    FakeServiceServer server;
    server.SetResponder([](const std::string& text) -> std::vector<std::string> {
        if (text.rfind("Username,", 0) == 0) return {"Logged In: Hi=77"};
        if (text.rfind("shoutcast_server_status,", 0) == 0) return {kUpAndPublic};
        if (text.rfind("shoutcast_server_start,", 0) == 0) return {"Shoutcast server started"};
        return {};
    });
    RecordingView view;
    SessionDocument doc;
    doc.SetView(&view);
    SessionControl session(doc, SocketAddress("127.0.0.1", server.Port()),
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    const int before = testing::OpenDescriptors();
    for (int cycle = 0; cycle < 200; ++cycle) {
        session.LoginProcedure("user", "pw");
        session.LoginAccepted();
        ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); })) << cycle;
        ASSERT_EQ(doc.LoginId(), 77);
        std::thread commands([&] { SendCommand(doc, cmd::kServerStart); });
        commands.join();
        ASSERT_TRUE(view.WaitForLines([](const Lines& l) { return l.front() == "Shoutcast server started"; }))
            << cycle;
        session.Logout();
        ASSERT_EQ(view.Lines().front(), "Logging off... Have a great day!");
        ASSERT_EQ(view.Status(), "");
    }
    session.Shutdown();
    EXPECT_TRUE(server.WaitForEnded(200));
    EXPECT_EQ(testing::OpenDescriptors(), before);
}

}  // namespace
}  // namespace ostravel
