#include "session/sessioncontrol.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "protocol/requests.h"
#include "session/sessiondocument.h"

namespace ostravel {
namespace {

using testing::FakeServiceServer;
using testing::RecordingView;

// Stands in for the receiver thread: records what the session asks of it.
class FakeReceiver : public ReceiverThread {
public:
    FakeReceiver(SessionDocument& doc, std::vector<std::string>& log, const FakeServiceServer& server)
        : doc_(doc), log_(log), server_(server) {}
    void Start() override {
        startHandle_ = doc_.ServiceHandle();
        running_ = true;
        log_.push_back("start");
    }
    bool IsRunning() const override { return running_; }
    void LogOff() override {
        log_.push_back("logoff");
        if (failLogOff) throw BlockingSocketException("Send", 32);
        const auto notice = MakeBlock(kLogOffNotice, kLogOffBlockSize);
        doc_.SendAllOnService(notice.data(), static_cast<int>(notice.size()), kLogOffSendSeconds);
        doc_.ResetSession();
        running_ = false;
    }
    void Stop() override { log_.push_back("stop"); }
    void Join() override {
        // What the thread does on its way out: the connection is no longer usable.
        running_ = false;
        doc_.SetDisconnected(true);
        // Still the old connection in the document: nothing new was connected before the join.
        log_.push_back(doc_.ServiceHandle() == startHandle_ ? "join" : "join after reconnect");
    }

    bool failLogOff = false;

private:
    SessionDocument& doc_;
    std::vector<std::string>& log_;
    const FakeServiceServer& server_;
    bool running_ = false;
    SOCKET startHandle_ = BlockingSocket::kNoSocket;
};

class LoginTest : public ::testing::Test {
protected:
    LoginTest()
        : session(doc, SocketAddress("127.0.0.1", server.Port()), [this](SessionDocument& d) {
              auto receiver = std::make_unique<FakeReceiver>(d, log, server);
              last = receiver.get();
              return receiver;
          }) {
        doc.SetView(&view);
    }

    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
    std::vector<std::string> log;
    FakeReceiver* last = nullptr;
    SessionControl session;
};

TEST_F(LoginTest, SendsBothLoginBlocksAndStartsTheReceiver) {
    session.LoginProcedure("abc", "pw");
    EXPECT_FALSE(doc.Disconnected());
    EXPECT_EQ(doc.LoginId(), 0);  // logged in only once the server says so
    session.LoginAccepted();
    EXPECT_EQ(log, (std::vector<std::string>{"start"}));
    ASSERT_TRUE(server.WaitForBlocks(2));
    const auto blocks = server.Blocks();
    EXPECT_EQ(blocks[0], std::string("abc") + std::string(253, '\0'));
    EXPECT_EQ(blocks[1], std::string("Username,abc,pw") + std::string(241, '\0'));
    EXPECT_TRUE(view.Lines().empty());
}

TEST_F(LoginTest, EmptyCredentialsAreSentAsTyped) {
    session.LoginProcedure("", "");
    ASSERT_TRUE(server.WaitForBlocks(2));
    EXPECT_EQ(server.Blocks()[0], std::string(256, '\0'));
    EXPECT_EQ(server.Texts()[1], "Username,,");
}

TEST_F(LoginTest, LongCredentialsAreCutAt99Characters) {
    const std::string longName(500, 'n');
    const std::string longPassword(500, 'p');
    session.LoginProcedure(longName, longPassword);
    ASSERT_TRUE(server.WaitForBlocks(2));
    EXPECT_EQ(server.Texts()[0], std::string(99, 'n'));
    EXPECT_EQ(server.Texts()[1], "Username," + std::string(99, 'n') + "," + std::string(99, 'p'));
    EXPECT_EQ(doc.Snapshot().password.size(), 99u);
}

TEST(LoginUnreachable, ReportsTheFailureWithTheListCleared) {
    // Find a port nobody listens on: open a server and close it again.
    unsigned short port;
    {
        FakeServiceServer closed;
        port = closed.Port();
    }
    RecordingView view;
    SessionDocument doc;
    doc.SetView(&view);
    view.InsertMessage("an old line");
    view.SetStatusText("old status");
    bool made = false;
    SessionControl session(doc, SocketAddress("127.0.0.1", port), [&](SessionDocument&) {
        made = true;
        return std::unique_ptr<ReceiverThread>();
    });
    session.LoginProcedure("user", "pw");
    EXPECT_TRUE(doc.Disconnected());
    EXPECT_FALSE(doc.HasServiceSocket());  // nothing left open
    session.LoginAccepted();
    EXPECT_FALSE(made);
    EXPECT_EQ(view.Lines(), (std::vector<std::string>{"Failed to connect to login server."}));
    EXPECT_EQ(view.Status(), "");
}

TEST_F(LoginTest, LogoutWhenNotLoggedInSendsNothing) {
    session.Logout();
    EXPECT_TRUE(doc.Disconnected());
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(view.Lines().empty());
    EXPECT_EQ(server.Accepted(), 0);
}

TEST_F(LoginTest, LogoutLogsTheRunningReceiverOffOnce) {
    session.LoginProcedure("abc", "pw");
    session.LoginAccepted();
    session.Logout();
    EXPECT_TRUE(doc.Disconnected());
    EXPECT_EQ(session.CurrentReceiver(), nullptr);
    ASSERT_TRUE(server.WaitForBlocks(3));
    EXPECT_EQ(server.Blocks()[2], std::string("/disconnected\0", 14));
    session.Logout();  // no receiver any more: nothing more is sent
    EXPECT_EQ(std::count(log.begin(), log.end(), "logoff"), 1);
}

TEST_F(LoginTest, FailedLogOffNoticeReachesTheCallerAndKeepsTheReceiver) {
    session.LoginProcedure("abc", "pw");
    session.LoginAccepted();
    last->failLogOff = true;
    EXPECT_THROW(session.Logout(), BlockingSocketException);
    EXPECT_EQ(session.CurrentReceiver(), last);
    EXPECT_FALSE(doc.Disconnected());
}

TEST_F(LoginTest, SecondLoginWaitsForTheFirstReceiverBeforeReconnecting) {
    server.SetCloseOnLogOff(false);  // so only our own close can end the first connection
    session.LoginProcedure("abc", "pw");
    session.LoginAccepted();
    session.LoginProcedure("def", "pw2");
    // The old session was logged off and its receiver had ended before the new connection was made.
    EXPECT_EQ(log, (std::vector<std::string>{"start", "logoff", "stop", "join"}));
    ASSERT_TRUE(server.WaitForAccepted(2));
    EXPECT_FALSE(doc.Disconnected());
    session.LoginAccepted();
    EXPECT_EQ(std::count(log.begin(), log.end(), "start"), 2);
    ASSERT_TRUE(server.WaitForBlocks(5));
    // Two connections are read by two threads of the server: compare within each connection.
    const auto texts = server.Texts();
    auto at = [&](const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) - texts.begin();
    };
    EXPECT_LT(at("abc"), at("/disconnected"));
    EXPECT_LT(at("def"), at("Username,def,pw2"));
    EXPECT_LT(at("Username,def,pw2"), static_cast<long>(texts.size()));
    // The abandoned connection was closed by us, not left open.
    EXPECT_TRUE(server.WaitForEnded(1));
}

TEST_F(LoginTest, NeverASecondReceiverWhileOneRuns) {
    session.LoginProcedure("abc", "pw");
    session.LoginAccepted();
    FakeReceiver* first = last;
    session.LoginAccepted();  // connected and running already
    EXPECT_EQ(last, first);
    EXPECT_EQ(std::count(log.begin(), log.end(), "start"), 1);
}

TEST_F(LoginTest, NewLoginAfterFailedNoticeStillEndsTheOldReceiver) {
    session.LoginProcedure("abc", "pw");
    session.LoginAccepted();
    last->failLogOff = true;
    EXPECT_THROW(session.Logout(), BlockingSocketException);
    session.LoginProcedure("abc", "pw");
    EXPECT_EQ(log, (std::vector<std::string>{"start", "logoff", "logoff", "stop", "join"}));
    session.LoginAccepted();
    EXPECT_EQ(std::count(log.begin(), log.end(), "start"), 2);
}

TEST(SessionDocument, ResetLeavesConnectionFlagRepliesAndSocketAlone) {
    SessionDocument doc;
    SessionState fresh = doc.Snapshot();
    EXPECT_EQ(fresh.loginId, 0);
    EXPECT_EQ(fresh.userName, " ");
    EXPECT_EQ(fresh.password, " ");
    EXPECT_EQ(fresh.serverState, 3);
    EXPECT_TRUE(fresh.disconnected);
    doc.SetCredentials("u", "p");
    doc.SetLoginId(5);
    doc.SetStatusReport(2, "10.0.0.1", "8000", true);
    doc.SetDisconnected(false);
    doc.SetTextReply("log");
    doc.ResetSession();
    SessionState state = doc.Snapshot();
    EXPECT_EQ(state.loginId, 0);
    EXPECT_FALSE(state.highBitrate);
    EXPECT_EQ(state.serverState, 3);
    EXPECT_EQ(state.userName, " ");
    EXPECT_EQ(state.password, " ");
    EXPECT_EQ(state.streamIp, "");
    EXPECT_EQ(state.streamPort, "");
    EXPECT_FALSE(state.disconnected);
    EXPECT_EQ(doc.TextReply(), "log");
}

TEST(SessionDocument, WithoutAViewMessagesGoNowhere) {
    SessionDocument doc;
    doc.InsertMessage("nobody sees this");
    doc.SetStatusBox("nor this");
    EXPECT_FALSE(doc.HasMainWindow());
}

}  // namespace
}  // namespace ostravel
