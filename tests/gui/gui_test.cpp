// The desktop program's windows, driven as a user would: menu commands by id, the login dialog by
// wxTEST_DIALOG, the tray icon by its events; the host stand-in answers on an ephemeral port.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/testing.h>
#include <wx/toolbar.h>
#include <wx/weakref.h>

#include "app/connect.h"
#include "app/mainfrm.h"
#include "app/portal.h"
#include "app/shellrules.h"
#include "app/zandreldoc.h"
#include "app/zandrelview.h"
#include "config/autodjconfig.h"
#include "config/autodjconfigdialog.h"
#include "platform/openurl.h"
#include "protocol/clientthread.h"
#include "protocol/commands.h"
#include "protocol/requests.h"

extern char** environ;

namespace ostravel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kOddUser = "we\"ird & ;user's name";
const std::string kOddPassword = "p&ss #word";

// ---------------------------------------------------------------------------------------------------
// The host stand-in on a free port, with one extra account whose name is full of URL specials.

struct HostSim {
    pid_t pid = 0;
    unsigned short port = 0;
    fs::path dir;

    bool Start() {
#ifdef HOSTSIM_PROGRAM
        dir = fs::temp_directory_path() / ("ostravel-gui-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
        {
            std::ofstream accounts(dir / "accounts");
            accounts << "dj\tdjpass\t320\tnormal\t8000\n"
                     << "demo\tdemo\t128\tdemo\t8002\n"
                     << kOddUser << '\t' << kOddPassword << "\t192\tnormal\t8004\n";
        }
        int out[2];
        if (pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {HOSTSIM_PROGRAM,     "--listen",     "127.0.0.1:0", "--no-portal",
                                         "--keepalive",       "0",            "--quiet",     "--data",
                                         (dir / "data").string(), "--accounts", (dir / "accounts").string()};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid, HOSTSIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (rc != 0) return false;
        // "listening service=ADDR:PORT portal=off data=DIR"
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        const auto at = line.find("service=127.0.0.1:");
        if (at == std::string::npos) return false;
        port = static_cast<unsigned short>(std::stoi(line.substr(at + 18)));
        return true;
#else
        return false;
#endif
    }
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (!dir.empty()) fs::remove_all(dir);
    }
};

HostSim g_host;
fs::path g_openerDir;  // holds the stand-in xdg-open and what it recorded

// Runs the event loop until `done` holds or the deadline passes.
template <class Predicate>
bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = 10s) {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        loop.DispatchTimeout(20);
        wxTheApp->ProcessPendingEvents();
        loop.ProcessIdle();  // deletes destroyed windows
    }
    return true;
}

// The login dialog as the user fills it in: texts typed, then OK or Cancel.
class TypeInLogin : public wxExpectModalBase<CConnect> {
public:
    TypeInLogin(wxString user, wxString password, int button = wxID_OK, wxString* shownUser = nullptr)
        : user_(std::move(user)), password_(std::move(password)), button_(button), shownUser_(shownUser) {}

protected:
    int OnInvoked(CConnect* dialog) const override {
        if (shownUser_ != nullptr) *shownUser_ = dialog->UserNameEdit()->GetValue();
        dialog->UserNameEdit()->ChangeValue(user_);
        dialog->PasswordEdit()->ChangeValue(password_);
        if (button_ == wxID_OK) {
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            ok.SetEventObject(dialog->FindWindow(wxID_OK));
            dialog->GetEventHandler()->ProcessEvent(ok);
        }
        return button_;
    }

private:
    wxString user_, password_;
    int button_;
    wxString* shownUser_;
};

// The AutoDJ settings dialog as the user meets it: reads the stream title shown, types a new one
// (if any) and saves, or cancels.
class EditAutoDJTitle : public wxExpectModalBase<CAutoDJConfigDialog> {
public:
    EditAutoDJTitle(wxString* shown, wxString newTitle = {}) : shown_(shown), newTitle_(std::move(newTitle)) {}

protected:
    int OnInvoked(CAutoDJConfigDialog* dialog) const override {
        auto* title = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(autodjdlg::kStreamTitle));
        if (title == nullptr) return wxID_CANCEL;
        *shown_ = title->GetValue();
        if (newTitle_.empty()) return wxID_CANCEL;
        title->ChangeValue(newTitle_);
        dialog->TransferDataFromWindow();  // what the Save button does before it closes the dialog
        return wxID_OK;
    }

private:
    wxString* shown_;
    wxString newTitle_;
};

class DesktopTest : public ::testing::Test {
protected:
    void Open(unsigned short port) {
        frame_ = new CMainFrame(doc_, CSocketAddress("127.0.0.1", port),
                                [](CzandrelDoc& d) { return std::make_unique<ClientThread>(d); });
        frame_->Show();
        view_ = frame_->GetActiveView();
        alive_ = frame_;
    }
    void TearDown() override {
        if (alive_) frame_->ExitProgram();
        PumpUntil([&] { return !alive_; });
    }
    void RequireHost() {
        if (g_host.port == 0) GTEST_SKIP() << "the host stand-in is not built";
    }
    void LogIn(const std::string& user, const std::string& password) {
        wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin(user, password));
        ASSERT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0 && !view_->StatusBox()->IsEmpty(); }));
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const wxString& line : view_->MessageList()->GetStrings()) lines.push_back(line.ToStdString());
        return lines;
    }
    // Enabled state of every catalogue command that has a menu item, as the menus show it.
    std::vector<int> EnabledMenuCommands() {
        frame_->GetMenuBar()->UpdateMenus();
        std::vector<int> enabled;
        for (const CommandInfo& c : CommandCatalogue()) {
            if (c.menuPlace == nullptr) continue;
            if (frame_->GetMenuBar()->IsEnabled(WindowIdFromCommand(c.id))) enabled.push_back(c.id);
        }
        return enabled;
    }
    std::vector<int> EnabledTrayEntries() {
        std::unique_ptr<wxMenu> menu = frame_->BuildTrayMenu();
        std::vector<int> enabled;
        for (const TrayEntry& t : TrayMenu()) {
            if (t.id == 0) continue;
            wxMenuItem* item = menu->FindItem(WindowIdFromCommand(t.id));
            if (item != nullptr && item->IsEnabled()) enabled.push_back(t.id);
        }
        return enabled;
    }

    CzandrelDoc doc_;
    CMainFrame* frame_ = nullptr;
    CzandrelView* view_ = nullptr;
    wxWeakRef<CMainFrame> alive_;
};

TEST_F(DesktopTest, SessionThroughTheWindows) {
    RequireHost();
    Open(g_host.port);

    // Logged out: only Login, Logout, FAQ and Contacts.
    EXPECT_EQ(EnabledMenuCommands(), (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));
    EXPECT_EQ(EnabledTrayEntries(),
              (std::vector<int>{cmd::kTrayLogin, cmd::kTrayLogout, cmd::kTrayOpen, cmd::kTrayExit}));
    frame_->GetToolBar()->UpdateWindowUI();
    EXPECT_FALSE(frame_->GetToolBar()->GetToolEnabled(WindowIdFromCommand(cmd::kServerStart)));

    LogIn("dj", "djpass");  // 320 kbps: video-capable
    ASSERT_TRUE(PumpUntil([&] { return doc_.HighBitrate(); }));
    std::vector<int> all;
    for (const CommandInfo& c : CommandCatalogue())
        if (c.menuPlace != nullptr && c.id != cmd::kLogin) all.push_back(c.id);
    EXPECT_EQ(EnabledMenuCommands(), all);
    std::vector<int> trayAllButLogin;
    for (const TrayEntry& t : TrayMenu())
        if (t.id != 0 && t.id != cmd::kTrayLogin) trayAllButLogin.push_back(t.id);
    EXPECT_EQ(EnabledTrayEntries(), trayAllButLogin);
    EXPECT_TRUE(frame_->TrayIconShown());
    EXPECT_TRUE(frame_->TrayIconId() == kIconServerDown || frame_->TrayIconId() == kIconServerUpStreamDown ||
                frame_->TrayIconId() == kIconServerUpStreamUp);
    EXPECT_EQ(frame_->TrayTipText().rfind("Quenlor Ostravel - Server ", 0), 0u) << frame_->TrayTipText();

    // A reply goes on top of the list.
    const std::size_t before = Lines().size();
    view_->RunCommand(cmd::kServerStart);
    ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
    EXPECT_NE(Lines().front().find("Shoutcast server"), std::string::npos) << Lines().front();

    // A tray entry reaches the same handler.
    frame_->RunTrayEntry(cmd::kTrayLogout);
    ASSERT_TRUE(PumpUntil([&] { return !Lines().empty() && Lines().front() == kFarewellMessage; }));
    ASSERT_TRUE(PumpUntil([&] { return frame_->TrayTipText() == kLoggedOffTip; }));
    EXPECT_EQ(frame_->TrayIconId(), kIconApplication);
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());
    EXPECT_EQ(EnabledMenuCommands(), (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));
}

// Configure AutoDJ against the host: the dialog shows the host's values, Save sends them, and the
// next Configure shows what the host stored.
TEST_F(DesktopTest, AutoDJSettingsRoundTripThroughTheHost) {
    RequireHost();
    Open(g_host.port);
    LogIn("dj", "djpass");
    wxString first, second;
    const std::size_t before = Lines().size();
    auto configure = [&](wxString& shown) {
        view_->RunCommand(cmd::kDjConfigure);
        return PumpUntil([&] { return !shown.empty(); });
    };
    wxTEST_DIALOG(ASSERT_TRUE(configure(first)), EditAutoDJTitle(&first, "Round Trip Radio"));
    EXPECT_NE(first, "Round Trip Radio");
    // The host confirms the stored settings in the message list.
    ASSERT_TRUE(PumpUntil([&] { return Lines().size() > before; }));
    wxTEST_DIALOG(ASSERT_TRUE(configure(second)), EditAutoDJTitle(&second));
    EXPECT_EQ(second, "Round Trip Radio");
}

// The embedded browser is a module of its own: View Server Logs loads it and opens dialog 162.
class ExpectBrowser : public wxExpectModalBase<wxDialog> {
public:
    explicit ExpectBrowser(int* shownId) : shownId_(shownId) {}

protected:
    int OnInvoked(wxDialog* dialog) const override {
        *shownId_ = dialog->GetId();
        return wxID_CANCEL;
    }

private:
    int* shownId_;
};

TEST_F(DesktopTest, ServerLogsOpenTheBrowserModuleOnFirstUse) {
    RequireHost();
    Open(g_host.port);
    LogIn("dj", "djpass");
    int shownId = 0;
    wxTEST_DIALOG(view_->RunCommand(cmd::kServerLogs), ExpectBrowser(&shownId));
    EXPECT_EQ(shownId, 162);
}

TEST_F(DesktopTest, LowBitrateAccountKeepsAutoTVOff) {
    RequireHost();
    Open(g_host.port);
    LogIn("demo", "demo");
    for (const int id : {cmd::kTvStart, cmd::kTvConfigure, cmd::kTvLogs})
        EXPECT_FALSE(view_->IsCommandEnabledNow(id)) << id;
    EXPECT_TRUE(view_->IsCommandEnabledNow(cmd::kDjStart));
    const auto tray = EnabledTrayEntries();
    EXPECT_EQ(std::count(tray.begin(), tray.end(), cmd::kTrayTvStart), 0);
    EXPECT_EQ(std::count(tray.begin(), tray.end(), cmd::kTrayDjStart), 1);
}

TEST_F(DesktopTest, LoginDialogKeepsTheTextsOfTheLastOK) {
    // A port nobody listens on: the login fails but the dialog still remembers.
    Open(1);
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("first", "secret"));
    ASSERT_TRUE(PumpUntil([&] { return !Lines().empty(); }));
    EXPECT_EQ(Lines(), std::vector<std::string>{kConnectFailedMessage});
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());

    wxString shown;
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin),
                  TypeInLogin("typed then cancelled", "x", wxID_CANCEL, &shown));
    EXPECT_EQ(shown, "first");
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), TypeInLogin("second", "x", wxID_CANCEL, &shown));
    EXPECT_EQ(shown, "first");
    EXPECT_EQ(view_->LoginDialog().m_password, "secret");
}

TEST_F(DesktopTest, WebAddressesReachTheOpenerAsOneEncodedArgument) {
    RequireHost();
    SystemUrlOpener waiting(/*waitForExit=*/true);
    SetUrlOpener(&waiting);
    Open(g_host.port);
    LogIn(kOddUser, kOddPassword);
    const fs::path record = g_openerDir / "record";
    auto opened = [&](int commandId) {
        fs::remove(record);
        view_->RunCommand(commandId);
        std::ifstream in(record);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };
    const std::string user = PercentEncode(kOddUser), password = PercentEncode(kOddPassword);
    EXPECT_EQ(opened(cmd::kBilling), "1\n" + PortalLoginAddress(kOddUser, kOddPassword, "scbilling.php") + "\n");
    EXPECT_NE(PortalLoginAddress(kOddUser, kOddPassword).find("loginform=" + user + "&passwordform=" + password),
              std::string::npos);
    const SessionState s = doc_.Snapshot();
    EXPECT_EQ(opened(cmd::kTuneInWinamp), "1\n" + TuneInAddress("pls", s.streamIp, s.streamPort) + "\n");
    EXPECT_EQ(opened(cmd::kFaq), "1\n" + PortalAddress("/shoutcast/faq.php") + "\n");
    SetUrlOpener(nullptr);
}

TEST_F(DesktopTest, CloseHidesDoubleClickRestoresExitEnds) {
    Open(1);
    // The window must be on the screen before its close box can be clicked: wait for its first paint.
    bool painted = false;
    view_->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        painted = true;
        event.Skip();
    });
    ASSERT_TRUE(PumpUntil([&] { return painted; }));
    frame_->Close();  // the close box
    PumpUntil([] { return false; }, 100ms);
    ASSERT_TRUE(alive_);
    if (frame_->TrayAvailable())
        EXPECT_FALSE(frame_->IsShown());
    else
        EXPECT_TRUE(frame_->IsIconized() || frame_->IsShown());  // minimized where no tray exists

    wxTaskBarIconEvent dclick(wxEVT_TASKBAR_LEFT_DCLICK, frame_->TrayIcon());
    frame_->TrayIcon()->ProcessEvent(dclick);
    EXPECT_TRUE(frame_->IsShown());
    EXPECT_FALSE(frame_->IsIconized());

    frame_->RunTrayEntry(cmd::kTrayExit);
    EXPECT_FALSE(frame_->TrayIconShown());
    EXPECT_TRUE(PumpUntil([&] { return !alive_; }, 1s));
}

}  // namespace
}  // namespace ostravel

namespace {
class GuiTestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A failed wx check is a failed test, not a dialog nobody will answer.
void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    ADD_FAILURE() << file << ":" << line << " " << func << ": " << cond << " " << msg;
}
}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace ostravel;
    // A stand-in xdg-open on PATH writes its argument count and arguments, one a line.
    g_openerDir = fs::temp_directory_path() / ("ostravel-open-" + std::to_string(::getpid()));
    fs::create_directories(g_openerDir);
    {
        std::ofstream script(g_openerDir / "xdg-open");
        script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$(dirname \"$0\")/record\"\n";
    }
    fs::permissions(g_openerDir / "xdg-open", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    ::setenv("PATH", (g_openerDir.string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);

    if (!g_host.Start()) g_host.port = 0;
    wxApp::SetInstance(new GuiTestApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "gui_tests: no display\n");
        g_host.Stop();
        return 1;
    }
    wxSetAssertHandler(FailOnAssert);
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    g_host.Stop();
    fs::remove_all(g_openerDir);
    return result;
}
