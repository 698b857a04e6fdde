#include "protocol/requests.h"

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "protocol/commands.h"
#include "session/sending.h"
#include "session/sessiondocument.h"

namespace ostravel {
namespace {

using testing::FakeServiceServer;
using testing::RecordingView;

std::string Text(const std::vector<char>& block) {
    return std::string(block.begin(), std::find(block.begin(), block.end(), '\0'));
}

TEST(RequestBlock, HoldsTextNulAndZeroFill) {
    const auto block = MakeBlock("abc", 256);
    ASSERT_EQ(block.size(), 256u);
    EXPECT_EQ(std::string(block.data(), 3), "abc");
    EXPECT_TRUE(std::all_of(block.begin() + 3, block.end(), [](char c) { return c == '\0'; }));
}

TEST(RequestBlock, CutsAtBlockSize) {
    const std::string of255(255, 'x');
    auto block = MakeBlock(of255, 256);
    EXPECT_EQ(block[254], 'x');
    EXPECT_EQ(block[255], '\0');

    const std::string of300(300, 'y');
    block = MakeBlock(of300, 256);
    ASSERT_EQ(block.size(), 256u);
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](char c) { return c == 'y'; }));
}

TEST(RequestBlock, LogOffNoticeIsFourteenBytes) {
    const auto block = MakeBlock(kLogOffNotice, kLogOffBlockSize);
    EXPECT_EQ(std::string(block.begin(), block.end()), std::string("/disconnected\0", 14));
}

// Every request command of the catalogue, byte for byte.
TEST(CommandRequest, EveryCatalogueRequest) {
    const std::map<int, std::string> expected = {
        {cmd::kAccountSummary, "shoutcast_account_summary,?loginsc=u&passwordsc=p&action=startnow"},
        {cmd::kServerStart, "shoutcast_server_start,?loginsc=u&passwordsc=p&action=startnow"},
        {cmd::kServerStop, "shoutcast_server_stop,?loginsc=u&passwordsc=p&action=stopnow"},
        {cmd::kServerRestart, "shoutcast_server_restart,?loginsc=u&passwordsc=p&action=restartnow"},
        {cmd::kServerStatus, "shoutcast_server_status,?loginsc=u&passwordsc=p"},
        {cmd::kServerConfigure, "shoutcast_server_getconfig,?loginsc=u&passwordsc=p"},
        {cmd::kServerClearLog, "shoutcast_server_clearlogs,?loginsc=u&passwordsc=p&action=flushlogsnow"},
        {cmd::kDjStart, "shoutcast_dj_start,?loginsc=u&passwordsc=p&action=startnow"},
        {cmd::kDjStop, "shoutcast_dj_stop,?loginsc=u&passwordsc=p&action=stopnow"},
        {cmd::kDjRestart, "shoutcast_dj_restart,?loginsc=u&passwordsc=p&action=restartnow"},
        {cmd::kDjConfigure, "shoutcast_dj_getconfig,?loginsc=u&passwordsc=p"},
        {cmd::kDjNext, "shoutcast_dj_next,?loginsc=u&passwordsc=p&action=nextsongnow"},
        {cmd::kDjShuffle, "shoutcast_dj_shuffle,?loginsc=u&passwordsc=p&action=shufflenow"},
        {cmd::kDjReload, "shoutcast_dj_reload,?loginsc=u&passwordsc=p&action=reloadplaylistnow"},
        {cmd::kDjLogs, "shoutcast_dj_getlogs,?loginsc=u&passwordsc=p"},
        {cmd::kDjClearLog, "shoutcast_dj_clearlogs,?loginsc=u&passwordsc=p&action=flushlogsnow"},
        {cmd::kTvStart, "shoutcast_tv_start,?loginsc=u&passwordsc=p&action=startnow"},
        {cmd::kTvStop, "shoutcast_tv_stop,?loginsc=u&passwordsc=p&action=stopnow"},
        {cmd::kTvRestart, "shoutcast_tv_restart,?loginsc=u&passwordsc=p&action=restartnow"},
        {cmd::kTvConfigure, "shoutcast_tv_getconfig,?loginsc=u&passwordsc=p"},
        {cmd::kTvLogs, "shoutcast_tv_getlogs,?loginsc=u&passwordsc=p"},
        {cmd::kTvClearLog, "shoutcast_tv_clearlogs,?loginsc=u&passwordsc=p&action=flushlogsnow"},
    };
    std::size_t requests = 0;
    for (const CommandInfo& command : CommandCatalogue()) {
        if (command.kind != CommandKind::Request) continue;
        ++requests;
        auto it = expected.find(command.id);
        ASSERT_NE(it, expected.end()) << command.id;
        EXPECT_EQ(ComposeCommandRequest(command, "u", "p"), it->second) << command.id;
    }
    EXPECT_EQ(requests, expected.size());
}

TEST(CommandRequest, CredentialsTravelUnescaped) {
    EXPECT_EQ(ComposeCommandRequest("shoutcast_server_start,", "a b&c=d?", "", "startnow"),
              "shoutcast_server_start,?loginsc=a b&c=d?&passwordsc=&action=startnow");
    EXPECT_EQ(ComposeCommandRequest("shoutcast_server_status,", "u", ""),
              "shoutcast_server_status,?loginsc=u&passwordsc=");
}

TEST(LoginBlocks, NormalAndEmptyUserName) {
    EXPECT_EQ(FirstLoginBlockText("abc"), "abc");
    EXPECT_EQ(SecondLoginBlockText("abc", "pw"), "Username,abc,pw");
    const auto empty = MakeBlock(FirstLoginBlockText(""), kCommandBlockSize);
    EXPECT_TRUE(std::all_of(empty.begin(), empty.end(), [](char c) { return c == '\0'; }));
    EXPECT_EQ(Text(MakeBlock(SecondLoginBlockText("", ""), kCommandBlockSize)), "Username,,");
}

TEST(SettingsRequest, EveryBlankBecomesPlusCredentialsIncluded) {
    EXPECT_EQ(ComposeSettingsRequest("shoutcast_dj_setconfig,", "my user", "p w", "Title=Now playing %s|"),
              "shoutcast_dj_setconfig,?loginsc=my+user&passwordsc=p+w&config=Title=Now+playing+%s|");
}

// Sending against a real socket.
class SendingTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.SetView(&view);
        doc.ConnectService(SocketAddress("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.WaitForAccepted(1));
    }
    void TearDown() override { doc.CloseService(); }
    void LogIn() {
        doc.SetCredentials("user", "secret");
        doc.SetLoginId(7);
    }

    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
};

TEST_F(SendingTest, NothingWhileLoggedOut) {
    for (const CommandInfo& command : CommandCatalogue()) {
        EXPECT_EQ(SendCommand(doc, command), SendResult::NotLoggedIn);
    }
    EXPECT_EQ(SendSettingsRequest(doc, "shoutcast_dj_setconfig,x"), SendResult::NotLoggedIn);
    // The status request is the next thing the server sees: nothing was sent before it.
    LogIn();
    ASSERT_EQ(SendCommand(doc, cmd::kServerStatus), SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(server.Texts().front(), "shoutcast_server_status,?loginsc=user&passwordsc=secret");
    EXPECT_TRUE(view.Lines().empty());
}

TEST_F(SendingTest, BlocksOnTheWireHaveTheirSizes) {
    LogIn();
    ASSERT_EQ(SendCommand(doc, cmd::kDjNext), SendResult::Sent);
    ASSERT_EQ(
        SendSettingsRequest(doc, ComposeSettingsRequest("shoutcast_tv_setconfig,", "user", "secret", "a=b|")),
        SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(2));
    const auto blocks = server.Blocks();
    EXPECT_EQ(blocks[0].size(), 256u);
    EXPECT_EQ(blocks[1].size(), 1000u);
    EXPECT_EQ(server.Texts()[1], "shoutcast_tv_setconfig,?loginsc=user&passwordsc=secret&config=a=b|");
}

TEST_F(SendingTest, OversizeSettingsAreRefusedNotCut) {
    LogIn();
    const std::string text = "shoutcast_server_setconfig,?" + std::string(990, 'x');
    EXPECT_EQ(SendSettingsRequest(doc, text), SendResult::TooLong);
    ASSERT_EQ(view.Lines().size(), 1u);
    EXPECT_EQ(view.Lines()[0], SettingsTooLongMessage(text.size()));
    EXPECT_NE(view.Lines()[0].find("not sent"), std::string::npos);
    EXPECT_EQ(doc.LoginId(), 7);  // the session goes on
    // 999 characters fit with their NUL.
    EXPECT_EQ(SendSettingsRequest(doc, text.substr(0, 999)), SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(server.Texts()[0].size(), 999u);
}

// User name and password may be 99 characters each: a command that no longer fits its block is
// refused whole, never cut; one that just fits still goes.
TEST_F(SendingTest, CommandThatDoesNotFitIsRefusedNotCut) {
    const std::string user(99, 'u');
    doc.SetLoginId(7);
    for (std::size_t passwordLength : {99u, 89u}) {
        doc.SetCredentials(user, std::string(passwordLength, 'p'));
        EXPECT_EQ(SendCommand(doc, cmd::kServerClearLog), SendResult::TooLong);
    }
    ASSERT_EQ(view.Lines().size(), 2u);
    EXPECT_EQ(view.Lines()[0], CommandTooLongMessage(256));
    EXPECT_EQ(view.Lines()[0],
              "Command not sent: the request is 256 characters long, at most 255 fit in one request.");
    EXPECT_EQ(doc.LoginId(), 7);  // the session goes on

    doc.SetCredentials(user, std::string(88, 'p'));
    ASSERT_EQ(SendCommand(doc, cmd::kServerClearLog), SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(1));
    ASSERT_EQ(server.Blocks().size(), 1u);  // the first block on the wire: nothing went before it
    const std::string block = server.Blocks()[0];
    ASSERT_EQ(block.size(), 256u);
    EXPECT_EQ(block[255], '\0');
    EXPECT_EQ(block.substr(0, 255),
              ComposeCommandRequest(*FindCommand(cmd::kServerClearLog), user, std::string(88, 'p')));
    EXPECT_TRUE(FitsBlock(block.substr(0, 255), kCommandBlockSize));
    EXPECT_FALSE(FitsBlock(block, kCommandBlockSize));
    EXPECT_EQ(view.Lines().size(), 2u);
}

TEST_F(SendingTest, FailedSendResetsTheSessionAndShowsLoggedOff) {
    LogIn();
    doc.SetStatusReport(2, "1.2.3.4", "8000", true);
    server.ResetConnection();
    // A send on a reset connection fails at once or after the peer's reset arrives; repeat until
    // the failure path has run.
    SendResult result = SendResult::Sent;
    for (int i = 0; i < 100 && result == SendResult::Sent; ++i) result = SendCommand(doc, cmd::kServerStart);
    ASSERT_EQ(result, SendResult::Failed);
    ASSERT_EQ(view.Lines().size(), 1u);
    EXPECT_EQ(view.Lines()[0], "Error sending command to server. Please reconnect.");
    const SessionState state = doc.Snapshot();
    EXPECT_EQ(state.loginId, 0);
    EXPECT_FALSE(state.highBitrate);
    EXPECT_EQ(state.serverState, 3);
    EXPECT_EQ(state.userName, " ");
    EXPECT_EQ(state.streamIp, "");
    ASSERT_EQ(view.Tray().size(), 1u);
    EXPECT_EQ(view.Tray()[0].tip, "Quenlor Ostravel - Logged Off");
    EXPECT_EQ(view.Tray()[0].iconId, kIconApplication);
    EXPECT_EQ(view.Tray()[0].operation, TrayOperation::Modify);
    // The next command does nothing.
    EXPECT_EQ(SendCommand(doc, cmd::kServerStart), SendResult::NotLoggedIn);
    EXPECT_EQ(view.Lines().size(), 1u);
}

TEST_F(SendingTest, SendThatCannotStartTimesOutAndFails) {
    LogIn();
    server.SetStalled(true);
    // Fill the path until a send waits its 3 seconds and gives up.
    SendResult result = SendResult::Sent;
    for (int i = 0; i < 100000 && result == SendResult::Sent; ++i)
        result = SendCommand(doc, cmd::kServerStatus);
    EXPECT_EQ(result, SendResult::Failed);
    EXPECT_EQ(view.Lines().front(), kSendFailedMessage);
    EXPECT_EQ(doc.LoginId(), 0);
    server.SetStalled(false);
}

}  // namespace
}  // namespace ostravel
