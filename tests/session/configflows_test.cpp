#include "session/configflows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_service_server.h"
#include "fakes/recording_view.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "protocol/settingsguard.h"
#include "session/receiver.h"
#include "session/sending.h"
#include "session/sessiondocument.h"

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
constexpr char kTvSettings[] =
    "Shoutcast tv getconfig|playListFile=v.nsv|password=tv|streamTitle=My TV|genre==Pop";

// The whole road: replies into the receiver, the dialog, and what reaches the wire.
class ConfigFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.SetView(&view);
        doc.SetCredentials("my user", "pw");
        doc.SetLoginId(11);
        doc.ConnectService(SocketAddress("127.0.0.1", server.Port()));
        ASSERT_TRUE(server.WaitForAccepted(1));
    }
    void TearDown() override { doc.CloseService(); }

    // The settings request sent after Save, if any: the receiver is not running, so every block
    // on the wire came from the flow under test.
    std::vector<std::string> Sent() { return server.Texts(); }

    FakeServiceServer server;
    RecordingView view;
    SessionDocument doc;
    FakeClock clock;
    Receiver receiver{doc, clock};
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

// A Save whose value would break the set request (or the routing of the host's next reply) sends
// nothing, says which field and what, and reopens the dialog with what the user typed; the corrected
// Save then goes out once.
struct RefusedCase {
    std::vector<const char*> replies;
    int controlId;
    const char* typed;
    const char* line;
    const char* corrected;
    const char* sentItem;
};

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << '"' << c.typed << '"'; }

class RefusedValueTest : public ConfigFlowTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedValueTest, ReopensWithWhatWasTypedAndSendsTheCorrectionOnce) {
    const RefusedCase& c = GetParam();
    int saves = 0;
    int other = 0;  // a second edit the user changed on the way
    view.SetEditor([&](const std::string&, DialogModel& model) {
        if (++saves == 1) {
            other = model.edits.front().id == c.controlId ? model.edits.back().id : model.edits.front().id;
            model.Edit(c.controlId).text = c.typed;
            model.Edit(other).text = "typed too";
        } else {
            model.Edit(c.controlId).text = c.corrected;
        }
        return true;
    });
    for (const char* reply : c.replies) receiver.Dispatch(reply);

    ASSERT_EQ(view.Opened().size(), 2u);
    EXPECT_EQ(view.Opened()[1].Edit(c.controlId).text, c.typed);
    EXPECT_EQ(view.Opened()[1].Edit(other).text, "typed too");
    EXPECT_EQ(view.Lines(), std::vector<std::string>{c.line});
    // The set request, then a marker: nothing else went out before or between them.
    SendCommand(doc, cmd::kServerStatus);
    ASSERT_TRUE(server.WaitForBlocks(2));
    const std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_THAT(sent[0], ::testing::HasSubstr("setconfig,?loginsc=my+user&passwordsc=pw&config="));
    EXPECT_THAT(sent[0], ::testing::HasSubstr(c.sentItem));
    EXPECT_THAT(sent[0], ::testing::HasSubstr("typed+too|"));
    EXPECT_EQ(sent[1].rfind("shoutcast_server_status,", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    AllDialogs, RefusedValueTest,
    ::testing::Values(
        RefusedCase{{kDjSettings},
                    autodjdlg::kStreamTitle,
                    "C++ Radio",
                    R"(Settings not sent: "Stream Title" may not contain "+".)",
                    "C Plus Radio",
                    "StreamTitle=C+Plus+Radio|"},
        RefusedCase{{kServerSettings, kServerContent},
                    serverdlg::kTitleFormat,
                    "Now | %s",
                    R"(Settings not sent: "Title Format" may not contain "|".)",
                    "Now: %s",
                    "TitleFormat=Now:+%s|"},
        RefusedCase{{kTvSettings},
                    autotvdlg::kGenre,
                    "Rock=Pop",
                    R"(Settings not sent: "Genre" may not contain "=".)",
                    "Rock/Pop",
                    "Genre=Rock/Pop|"},
        RefusedCase{{kServerSettings, kServerContent},
                    serverdlg::kCustomIntro,
                    "Cannot retreive.mp3",
                    "Settings not sent: \"Play Intro File (Custom)\" may not contain \"Cannot retreive\".",
                    "intro.mp3",
                    "CustomIntroFile=intro.mp3|"},
        // Of phrases starting at the same place the shortest is named: removing it clears the longer.
        RefusedCase{{kTvSettings},
                    autotvdlg::kStreamTitle,
                    "My Shoutcast server getconfig",
                    R"(Settings not sent: "Stream Title" may not contain "Shoutcast server".)",
                    "My TV 2",
                    "StreamTitle=My+TV+2|"},
        RefusedCase{{kDjSettings},
                    autodjdlg::kIrc,
                    "#chan Error - x",
                    R"(Settings not sent: "IRC" may not contain "Error -".)",
                    "#chan",
                    "IRC=#chan|"}));

TEST_F(ConfigFlowTest, CancelOrStopAfterARefusalSendsNothing) {
    view.SetEditor([](const std::string&, DialogModel& model) {
        if (model.Edit(autodjdlg::kGenre).text == "a|b") return false;  // the user gives up
        model.Edit(autodjdlg::kGenre).text = "a|b";
        return true;
    });
    receiver.Dispatch(kDjSettings);
    EXPECT_EQ(view.Opened().size(), 2u);
    EXPECT_EQ(doc.Settings().autoDJ.genre, "Rock");

    // The session stops while the refused dialog would reopen: it does not.
    std::stop_source stopping;
    view.SetEditor([&](const std::string&, DialogModel& model) {
        model.Edit(autotvdlg::kIrc).text = "+";
        stopping.request_stop();
        return true;
    });
    EditAutoTVConfig(doc, kTvSettings, stopping.get_token());
    EXPECT_EQ(view.Opened().size(), 3u);
    EXPECT_EQ(view.Lines().size(), 2u);
    EXPECT_EQ(doc.Settings().autoTV.irc, "");

    SendCommand(doc, cmd::kServerStatus);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].rfind("shoutcast_server_status,", 0), 0u);
}

// Drop-down choices cannot be typed: the host's own value goes back as it came, but a different
// choice that would not survive the trip is refused like a typed one.
TEST_F(ConfigFlowTest, UntouchedHostChoicesAreNotRefused) {
    constexpr char kPlusPlaylists[] =
        "Shoutcast dj getconfig|playListFile=rock+pop.lst|playListList=rock+pop.lst;jazz+blues.lst"
        "|password=pw";
    // The first Save picks the other list, the second goes back to the host's own.
    view.SetEditor([&](const std::string&, DialogModel& model) {
        ComboModel& playlist = model.Combo(autodjdlg::kPlayList);
        playlist.selection = 1 - playlist.selection;
        return true;
    });
    receiver.Dispatch(kPlusPlaylists);
    EXPECT_EQ(view.Lines(),
              std::vector<std::string>{R"(Settings not sent: "Playlist File" may not contain "+".)"});
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_THAT(Sent()[0], ::testing::HasSubstr("|PlaylistFile=rock+pop.lst|"));
}

TEST_F(ConfigFlowTest, ConfigureServerSendsOnlyTheSettingsRequest) {
    ASSERT_EQ(SendCommand(doc, cmd::kServerConfigure), SendResult::Sent);
    ASSERT_TRUE(server.WaitForBlocks(1));
    EXPECT_EQ(Sent(), std::vector<std::string>{"shoutcast_server_getconfig,?loginsc=my user&passwordsc=pw"});
}

}  // namespace
}  // namespace ostravel
