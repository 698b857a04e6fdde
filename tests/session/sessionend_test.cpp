// Every way a session can end, end to end: the login, the real receiver, a fake server on a real
// socket. Throughout, descriptor 0 is one end of a socket pair that must never see a byte.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

#include "fakes/deaf_listener.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "fakes/session_support.h"
#include "fakes/test_platform.h"
#include "history/historystore.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/receiver.h"
#include "session/sending.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"
#include "session/sessionkeeper.h"

namespace ostravel {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakeServiceServer;
using testing::RecordingView;

using testing::kUpAndPublicReport;
using testing::OpenDescriptors;

#ifdef _WIN32
// Windows hands out no socket that could be standard input: nothing to trap.
class StdinTrap {
public:
    std::string Written() const { return {}; }
};
#else
// Puts a socket pair end where standard input was, for as long as it lives.
class StdinTrap {
public:
    StdinTrap() {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends_), 0);
        saved_ = ::dup(0);
        ::dup2(ends_[0], 0);
        ::close(ends_[0]);
    }
    ~StdinTrap() {
        ::dup2(saved_, 0);
        ::close(saved_);
        ::close(ends_[1]);
    }
    // Whatever was written to descriptor 0 so far.
    std::string Written() const {
        std::string all;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(ends_[1], buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) return all;
            all.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int ends_[2] = {-1, -1};
    int saved_ = -1;
};
#endif

std::vector<std::string> HostAnswers(const std::string& text) {
    if (text.rfind("Username,", 0) == 0) return {"Logged In: Hi=77"};
    if (text.rfind("shoutcast_server_status,", 0) == 0) return {kUpAndPublicReport};
    if (text.rfind("shoutcast_server_start,", 0) == 0) return {"Shoutcast server started"};
    return {};
}

class SessionFixture {
protected:
    SessionFixture() {
        server.SetResponder(HostAnswers);
        doc.SetView(&view);
    }
    void LogIn() {
        session.LoginProcedure("user", "pw");
        session.LoginAccepted();
        ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); }));
        ASSERT_EQ(doc.LoginId(), 77);
    }
    // The receiver ends by itself; its thread's end is the signal.
    void WaitForReceiverEnd() {
        ASSERT_NE(session.CurrentReceiver(), nullptr);
        session.CurrentReceiver()->Join();
        EXPECT_FALSE(session.CurrentReceiver()->IsRunning());
    }

    StdinTrap stdinTrap;
    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
    FakeClock clock;
    SessionControl session{doc, SocketAddress("127.0.0.1", server.Port()),
                           [this](SessionDocument& d) { return std::make_unique<Receiver>(d, clock); }};
};

enum class Ending { HostCloses, HostResets, HostSaysBye, IdleWithADeadConnection };

class SessionEndTest : public SessionFixture, public ::testing::TestWithParam<Ending> {};

TEST_P(SessionEndTest, LeavesTheSessionLoggedOffAndLoginWorksAgain) {
    LogIn();
    switch (GetParam()) {
        case Ending::HostCloses:
            server.CloseConnection();
            break;
        case Ending::HostResets:  // the receive fails
            server.ResetConnection();
            break;
        case Ending::HostSaysBye:
            server.Send("/bye");
            break;
        case Ending::IdleWithADeadConnection:
            // The host hears nothing and the log-off notice cannot go out any more.
            server.SetStalled(true);
            ASSERT_TRUE(server.WaitUntilStalled());
            ASSERT_TRUE(testing::ShutdownSending(doc.ServiceHandle()));
            clock.Advance(kIdleSeconds);
            break;
    }
    WaitForReceiverEnd();
    server.SetStalled(false);

    const SessionState state = doc.Snapshot();
    EXPECT_EQ(state.loginId, 0);
    EXPECT_TRUE(state.disconnected);
    EXPECT_EQ(state.serverState, 3);
    EXPECT_FALSE(state.highBitrate);
    EXPECT_FALSE(doc.HasServiceSocket());
    EXPECT_TRUE(server.WaitForEnded(1));  // the client closed its end
    EXPECT_EQ(view.Status(), "");
    ASSERT_FALSE(view.Tray().empty());
    EXPECT_EQ(view.Tray().back().tip, kLoggedOffTip);
    EXPECT_EQ(view.Tray().back().iconId, kIconApplication);
    const auto lines = view.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], kSessionEndedMessage);
    if (GetParam() == Ending::IdleWithADeadConnection) {
        EXPECT_EQ(lines[1], kTimedOutMessage);
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kSessionEndedMessage), 1);

    // Commands now send nothing, anywhere, and say nothing.
    const std::size_t blocks = server.Blocks().size();
    EXPECT_EQ(SendCommand(doc, cmd::kServerStart), SendResult::NotLoggedIn);
    EXPECT_THROW(doc.SendOnService("x", 1, 1), BlockingSocketException);
    EXPECT_EQ(server.Blocks().size(), blocks);
    EXPECT_EQ(view.Lines().size(), lines.size());

    // A log-off of the ended session has nobody to tell.
    session.Logout();
    EXPECT_EQ(view.Lines().size(), lines.size());

    LogIn();
    EXPECT_EQ(server.Accepted(), 2);
    EXPECT_EQ(SendCommand(doc, cmd::kServerStart), SendResult::Sent);
    EXPECT_TRUE(view.WaitForLines([](const auto& l) { return l.front() == "Shoutcast server started"; }));
    session.Shutdown();
    EXPECT_EQ(stdinTrap.Written(), "");
}

INSTANTIATE_TEST_SUITE_P(AllEndings, SessionEndTest,
                         ::testing::Values(Ending::HostCloses, Ending::HostResets, Ending::HostSaysBye,
                                           Ending::IdleWithADeadConnection));

class SessionCycles : public SessionFixture, public ::testing::Test {};

TEST_F(SessionCycles, TwoHundredHostClosesLeakNoDescriptor) {
    const int before = OpenDescriptors();
    for (int cycle = 0; cycle < 200; ++cycle) {
        LogIn();
        server.CloseConnection();
        WaitForReceiverEnd();
        ASSERT_EQ(view.Lines().front(), kSessionEndedMessage) << cycle;
    }
    session.Shutdown();
    EXPECT_TRUE(server.WaitForEnded(200));
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(stdinTrap.Written(), "");
}

TEST_F(SessionCycles, ALogOffRacingStatusReportsLeavesNothingOfTheOldSession) {
    for (int cycle = 0; cycle < 20; ++cycle) {
        LogIn();
        // Reports keep coming while the user logs off; none may land after the reset.
        std::thread host([&] {
            for (int report = 0; report < 20; ++report) server.Send(kUpAndPublicReport);
        });
        session.Logout();
        host.join();
        session.Shutdown();  // joins the retired receiver
        ASSERT_EQ(view.Status(), "") << cycle;
        ASSERT_EQ(view.Tray().back().tip, kLoggedOffTip) << cycle;
        ASSERT_FALSE(doc.HighBitrate()) << cycle;
        ASSERT_EQ(doc.Snapshot().serverState, 3) << cycle;
    }
}

TEST_F(SessionCycles, ALoginGivenUpJustAsItConnectedLeavesNothingOpen) {
    session.LoginProcedure("user", "pw");  // connected, but the receiver never started
    ASSERT_TRUE(doc.HasServiceSocket());
    session.Logout();
    EXPECT_FALSE(doc.HasServiceSocket());
    EXPECT_TRUE(server.WaitForEnded(1));
    EXPECT_TRUE(doc.Disconnected());
}

TEST_F(SessionCycles, NoRequestEverFollowsTheLogOffNotice) {
    server.SetCloseOnLogOff(false);  // the host keeps reading, so a late request would be seen
    for (int cycle = 0; cycle < 50; ++cycle) {
        LogIn();
        std::atomic<bool> stop{false};
        std::thread commands([&] {
            while (!stop && SendCommand(doc, cmd::kServerStart) == SendResult::Sent) {
            }
        });
        session.Logout();
        stop = true;
        commands.join();
        // The notice went out behind whatever the command thread queued: the server reads it all
        // before it closes (closing first would drop unread blocks, the notice among them).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto seen = server.Texts();
            if (std::find(seen.begin(), seen.end(), kLogOffNotice) != seen.end()) break;
            server.WaitForBlocks(seen.size() + 1, std::chrono::milliseconds(100));
        }
        server.CloseConnection();
        session.Shutdown();
        ASSERT_TRUE(server.WaitForEnded(cycle + 1));
        const auto texts = server.Texts();
        const auto notice = std::find(texts.begin(), texts.end(), kLogOffNotice);
        ASSERT_NE(notice, texts.end()) << cycle;
        ASSERT_EQ(notice + 1, texts.end()) << cycle << ": " << *(notice + 1);
        server.ForgetBlocks();
    }
}

// The keeper on the test thread as on the UI thread: the receiver's events and the login thread's
// results queue up here and run when the test pumps them; its delays are waited out by calling Due.
class KeptSession : public SessionFixture, public ::testing::Test, public ReconnectTimer {
protected:
    KeptSession() {
        doc.SetReconnect(true);
        doc.SetNotifyOnChange(true);
        view.SetEventSink([this](SessionEvent event) { Post([this, event] { keeper.OnEvent(event); }); });
        doc.SetHistory(history.get());
    }
    ~KeptSession() override {
        doc.SetHistory(nullptr);
        history.reset();  // Windows removes no file that is still open
        std::error_code ignored;
        std::filesystem::remove_all(historyDir, ignored);
    }
    void Start(std::chrono::milliseconds delay) override { delays.push_back(delay); }
    void Stop() override { delays.push_back(0ms); }
    void Post(std::function<void()> task) {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        posted.notify_all();
    }
    // Runs what the other threads hand over until `done` holds; false after ten seconds.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            std::unique_lock lock(mutex);
            if (!posted.wait_until(lock, deadline, [&] { return !tasks.empty(); })) return false;
            auto task = std::move(tasks.front());
            tasks.erase(tasks.begin());
            lock.unlock();
            task();
        }
        return true;
    }
    bool LoginsSeen(std::size_t count) {
        const auto texts = server.Texts();
        return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), "Username,user,pw")) >= count;
    }

    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> tasks;
    std::vector<std::chrono::milliseconds> delays;
    const std::filesystem::path historyDir = testing::MakeTempDir("ostravel-kept");
    std::unique_ptr<HistoryRecorder> history = std::make_unique<HistoryRecorder>(
        historyDir / "history.sqlite", HistoryRecorder::Notice{}, [this] { return clock.Now(); });
    SessionKeeper keeper{doc,   session,
                         *this, [this](std::function<void()> task) { Post(std::move(task)); },
                         clock, [] { return 0.0; }};
};

TEST_F(KeptSession, ALostSessionComesBackWithOneNoticeEachWayAndARefusalStopsIt) {
    LogIn();
    ASSERT_TRUE(PumpUntil([&] { return tasks.empty(); }));
    ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); }));
    const std::int64_t start = clock.Now();
    clock.Advance(1);
    server.CloseConnection();
    ASSERT_TRUE(PumpUntil([&] { return keeper.Reconnecting(); }));
    EXPECT_EQ(delays, std::vector<std::chrono::milliseconds>{2s});
    EXPECT_EQ(view.Lines().front(), "Connection lost. Reconnecting in 2 s.");
    EXPECT_EQ(view.Tray().back().tip, kReconnectingTip);

    clock.Advance(1);
    keeper.Due();  // logs in again with the same credentials, no dialog
    ASSERT_TRUE(PumpUntil([&] { return !keeper.Reconnecting(); }));
    EXPECT_EQ(doc.LoginId(), 77);
    EXPECT_TRUE(LoginsSeen(2));
    const auto notices = view.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].state, kStateSessionLost);
    EXPECT_EQ(notices[1].title, "Back Online");

    // A check after a sleep that the host leaves unanswered ends the session as lost.
    ASSERT_TRUE(view.WaitForStatus([](const std::string& s) { return !s.empty(); }));
    server.SetStalled(true);
    ASSERT_TRUE(server.WaitUntilStalled());
    keeper.CheckNow();
    clock.Advance(kCheckAnswerTime.count());
    ASSERT_TRUE(PumpUntil([&] { return keeper.Reconnecting(); }));
    const auto lines = view.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.begin() + 3, kTimedOutMessage), lines.begin() + 3);
    server.SetStalled(false);

    // The password changed meanwhile: one attempt, then it stops and says why.
    server.SetResponder([](const std::string& text) {
        return text.rfind("Username,", 0) == 0 ? std::vector<std::string>{"Failed login."}
                                               : HostAnswers(text);
    });
    keeper.Due();
    ASSERT_TRUE(PumpUntil([&] { return keeper.State().CurrentState() == Reconnection::State::Stopped; }));
    EXPECT_FALSE(keeper.Reconnecting());
    EXPECT_EQ(view.Lines().front(), kReconnectRefusedMessage);
    EXPECT_EQ(view.Notices().size(), 3u);  // the loss after the check; never one per attempt
    EXPECT_EQ(delays.back(), 0ms);
    session.Shutdown();
    EXPECT_EQ(server.Accepted(), 3);

    // The history holds each change once: the state, the loss, the state again, the loss after the
    // check; then nobody watches.
    ASSERT_TRUE(history->Flush());
    const auto spans =
        HistoryStore::Open(historyDir / "history.sqlite", nullptr)
            ->Spans(HistoryStore::AccountKey(FormatHostAddress(session.Host()), "user"), 0, start + 100);
    const int state = spans.empty() ? -1 : spans[0].state;
    const std::int64_t check = start + 2 + kCheckAnswerTime.count();
    EXPECT_EQ(spans, (std::vector<HistorySpan>{{start, start + 1, state},
                                               {start + 1, start + 2, kHistoryLost},
                                               {start + 2, check, state},
                                               {check, check, kHistoryLost}}));
}

TEST_F(KeptSession, LogoutEndsTheWaitAndAHostStillAwayGetsTheNextDelay) {
    LogIn();
    server.CloseConnection();
    ASSERT_TRUE(PumpUntil([&] { return keeper.Reconnecting(); }));
    BlockingSocket unused;  // a port where nobody listens any more
    unused.Create();
    unused.Bind(SocketAddress("127.0.0.1", 0));
    SocketAddress away;
    unused.GetSockName(&away);
    unused.Close();
    session.SetHost(HostOf(away));
    keeper.Due();  // refused at the door: the next, longer delay, and no notice
    ASSERT_TRUE(PumpUntil([&] { return delays.size() == 2; }));
    EXPECT_EQ(delays.back(), 4s);
    EXPECT_EQ(view.Lines().front(), "Connection lost. Reconnecting in 4 s.");
    keeper.UserActed();
    EXPECT_FALSE(keeper.Reconnecting());
    EXPECT_EQ(delays.back(), 0ms);
    EXPECT_EQ(view.Notices().size(), 1u);

    // The user's own login with a wrong password: its connection's end is no session to bring back.
    session.SetHost(HostOf(SocketAddress("127.0.0.1", server.Port())));
    server.SetResponder([](const std::string& text) {
        return text.rfind("Username,", 0) == 0 ? std::vector<std::string>{"Failed login."}
                                               : HostAnswers(text);
    });
    session.LoginProcedure("user", "wrong");
    session.LoginAccepted();
    ASSERT_TRUE(view.WaitForLines([](const auto& l) { return l.front().find("Failed login.") == 0; }))
        << view.Lines().front();
    clock.Advance(kIdleSeconds);
    WaitForReceiverEnd();
    ASSERT_TRUE(PumpUntil([&] { return tasks.empty(); }));
    EXPECT_FALSE(keeper.Reconnecting());
    EXPECT_EQ(delays.size(), 3u);
}

TEST(LoginConnect, AHostThatNeverAnswersFailsWithinTheTimeLimitOrAtOnceWhenCancelled) {
    testing::DeafListener host;
    RecordingView view;
    SessionDocument doc;
    doc.SetView(&view);
    SessionControl session(doc, host.Address(),
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    session.SetConnectSeconds(1);
    const auto start = std::chrono::steady_clock::now();
    session.LoginProcedure("user", "pw");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 4s);
    session.LoginAccepted();
    EXPECT_EQ(view.Lines(), std::vector<std::string>{kConnectFailedMessage});
    EXPECT_FALSE(doc.HasServiceSocket());
    EXPECT_EQ(session.CurrentReceiver(), nullptr);

    // The user gives up: the connect ends now, not at its limit, and tells its caller.
    session.SetConnectSeconds(60);
    std::promise<void> finished;
    session.BeginLogin("user", "pw", [&] { finished.set_value(); });
    const auto cancelAt = std::chrono::steady_clock::now();
    session.CancelLogin();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelAt, 2s);
    EXPECT_EQ(finished.get_future().wait_for(0s), std::future_status::ready);
    EXPECT_TRUE(doc.Disconnected());
    EXPECT_FALSE(doc.HasServiceSocket());
}

}  // namespace
}  // namespace ostravel
