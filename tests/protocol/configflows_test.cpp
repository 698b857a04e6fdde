#include "protocol/configflows.h"

#include <gtest/gtest.h>

#include "app/zandreldoc.h"
#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "protocol/clientthread.h"
#include "protocol/commands.h"
#include "protocol/requests.h"

namespace ostravel {
namespace {

using testing::FakeClock;
using testing::FakeServiceServer;
using testing::RecordingView;

constexpr char kServerSettings[] =
    "Shoutcast server getconfig|adminPassword=adm|connectPassword=con|MaxUser=50|titleFormat=Now playing %s";
constexpr char kServerContent[] = "Shoutcast server content|a.mp3|b.mp3|^end";
constexpr char kDjSettings[] =
    "Shoutcast dj getconfig|playListFile=b.lst|password=pw|streamTitle=My Radio|genre=Rock|sampleRate=44100"
    "|playListList=a.lst;b.lst|maxBitrate=128";
constexpr char kTvSettings[] = "Shoutcast tv getconfig|playListFile=v.nsv|password=tv|streamTitle=My TV|genre==Pop";

// The whole road: replies into the receiver, the dialog, and what reaches the wire.
class ConfigFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.SetView(&view);
        doc.SetCredentials("my user", "pw");
        doc.SetLoginId(11);
        doc.ConnectService(CSocketAddress("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.WaitForAccepted(1));
    }
    void TearDown() override { doc.CloseService(); }

    // The settings request sent after Save, if any: the receiver is not running, so every block
    // on the wire came from the flow under test.
    std::vector<std::string> Sent() { return server.Texts(); }

    FakeServiceServer server;
    RecordingView view;
    CzandrelDoc doc;
    FakeClock clock;
    ClientThread receiver{doc, clock};
};

TEST_F(ConfigFlowTest, ServerDialogOpensOnceOnTheContentReplyAndSaveSendsTheRequest) {
    view.SetEditor([](const std::string&, DialogModel& model) {
        model.Edit(serverdlg::kAdminPassword).text = "new admin";
        return true;
    });
    receiver.Dispatch(kServerSettings);
    EXPECT_TRUE(view.Opened().empty());  // the settings alone open nothing
    receiver.Dispatch(kServerContent);
    ASSERT_EQ(view.Opened().size(), 1u);
    EXPECT_EQ(view.Opened()[0].Edit(serverdlg::kAdminPassword).text, "adm");
    ASSERT_TRUE(server.WaitForBlocks(1));
    const std::string sent = Sent()[0];
    EXPECT_EQ(server.Blocks()[0].size(), 1000u);
    EXPECT_EQ(sent.rfind("shoutcast_server_setconfig,?loginsc=my+user&passwordsc=pw&config=", 0), 0u) << sent;
    EXPECT_NE(sent.find("new+admin"), std::string::npos);
    EXPECT_NE(sent.find("Now+playing+%s"), std::string::npos);
    EXPECT_EQ(sent.find(' '), std::string::npos);
    EXPECT_EQ(doc.Settings().server.adminPassword, "new admin");
}

TEST_F(ConfigFlowTest, CancelStoresAndSendsNothing) {
    receiver.Dispatch(kDjSettings);  // no editor: every dialog is cancelled
    ASSERT_EQ(view.Opened().size(), 1u);
    EXPECT_EQ(view.Opened()[0].Edit(autodjdlg::kPassword).text, "pw");
    const AutoDJSettings before = doc.Settings().autoDJ;
    // Prove nothing went out: the next block the server sees is this marker.
    SendCommand(doc, cmd::kServerStatus);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent(), std::vector<std::string>{"shoutcast_server_status,?loginsc=my user&passwordsc=pw"});
    EXPECT_EQ(doc.Settings().autoDJ, before);
}

TEST_F(ConfigFlowTest, SaveAfterLogoutStoresButSendsNothing) {
    view.SetEditor([this](const std::string&, DialogModel& model) {
        doc.ResetSession();  // the session ended while the dialog was open
        model.Edit(autotvdlg::kPassword).text = "changed";
        return true;
    });
    receiver.Dispatch(kTvSettings);
    ASSERT_EQ(view.Opened().size(), 1u);
    EXPECT_EQ(view.Opened()[0].Edit(autotvdlg::kGenre).text, "Pop");
    EXPECT_EQ(doc.Settings().autoTV.password, "changed");
    doc.SetLoginId(11);
    doc.SetCredentials("my user", "pw");
    SendCommand(doc, cmd::kServerStatus);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].rfind("shoutcast_server_status,", 0), 0u);
}

TEST_F(ConfigFlowTest, AutoTVRequestCarriesTheAutoDJSampleRate) {
    view.SetEditor([](const std::string& kind, DialogModel&) { return kind == "autotv"; });
    receiver.Dispatch(kDjSettings);
    receiver.Dispatch(kTvSettings);
    ASSERT_TRUE(server.WaitForBlocks(1));
    const std::string sent = Sent()[0];
    EXPECT_EQ(sent.rfind("shoutcast_tv_setconfig,?loginsc=my+user&passwordsc=pw&config=", 0), 0u) << sent;
    EXPECT_NE(sent.find("SampleRate=44100"), std::string::npos) << sent;
}

TEST_F(ConfigFlowTest, OversizeRequestIsRefusedWithALine) {
    view.SetEditor([](const std::string&, DialogModel& model) {
        model.Edit(autodjdlg::kPassword).text = std::string(990, 'x');
        return true;
    });
    receiver.Dispatch(kDjSettings);
    ASSERT_EQ(view.Lines().size(), 1u);
    EXPECT_NE(view.Lines()[0].find("not sent"), std::string::npos);
    EXPECT_EQ(doc.LoginId(), 11);
    SendCommand(doc, cmd::kServerStatus);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].rfind("shoutcast_server_status,", 0), 0u);
}

TEST_F(ConfigFlowTest, ConfigureServerSendsOnlyTheSettingsRequest) {
    ASSERT_EQ(SendCommand(doc, cmd::kServerConfigure), SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent(), std::vector<std::string>{"shoutcast_server_getconfig,?loginsc=my user&passwordsc=pw"});
}

}  // namespace
}  // namespace ostravel
