// The extensions against real desktop services, in a session of the test's own
// (tests/gui/with-session-services): a private D-Bus session bus, a recording notification
// listener of ours in place of the desktop's notification service, and a real gnome-keyring-daemon
// unlocked with a test password, in a fresh HOME. The host stand-in plays the reports.
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <poll.h>
#include <wx/checkbox.h>
#include <wx/config.h>
#include <wx/menu.h>
#include <wx/spinctrl.h>
#include <wx/tooltip.h>

#include "config/preferences.h"
#include "desktop/preferenceswindow.h"
#include "desktop_fixture.h"
#include "net/hostconnect.h"
#include "platform/linux/secretstore.h"
#include "platform/linux/sessionbus.h"
#include "platform/programinfo.h"
#include "platform/settingsfile.h"
#include "session/statustracker.h"
#include "toolkit_scope.h"

namespace ostravel {

HostSim g_host;
fs::path g_openerDir;

namespace {

const std::string kCanary = "canary-7Qx!pw-91";  // the remembered password: never in any file
const char kKeeper[] = "keeper";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The settings as the program keeps them, made anew as at a new start.
void NewSettings() {
    delete wxConfigBase::Set(nullptr);
    wxConfigBase::Set(new wxConfig(kAppName, kRegistryKey));
}

// One Notify call as the listener recorded it: the line of JSON and its summary.
struct Recorded {
    std::string line;
    std::string summary;
    std::string body;
    std::string app;
    std::string desktopEntry;
    std::string id, replaces;
    bool image = false;
};

// A number's digits.
std::string JsonNumber(const std::string& line, const std::string& key) {
    const std::string mark = "\"" + key + "\": ";
    const std::size_t at = line.find(mark);
    if (at == std::string::npos) return {};
    const std::size_t from = at + mark.size();
    return line.substr(from, line.find_first_not_of("0123456789", from) - from);
}

std::string JsonString(const std::string& line, const std::string& key) {
    const std::string mark = "\"" + key + "\": \"";
    const std::size_t at = line.find(mark);
    if (at == std::string::npos) return {};
    std::string value;
    for (std::size_t i = at + mark.size(); i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        value += line[i];
    }
    return value;
}

std::vector<Recorded> Notifications() {
    std::vector<Recorded> all;
    std::ifstream in(Env("OSTRAVEL_TEST_NOTIFY_RECORD"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        all.push_back({line, JsonString(line, "summary"), JsonString(line, "body"), JsonString(line, "app"),
                       JsonString(line, "desktop-entry"), JsonNumber(line, "id"),
                       JsonNumber(line, "replaces"), line.find("\"image\": [48, 48]") != std::string::npos});
    }
    return all;
}

// What `command` prints, and whether it succeeded.
bool Shell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    std::string out;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output != nullptr) *output = out;
    return status == 0;
}

class ServicesTest : public DesktopTest {
protected:
    void SetUp() override {
        if (Env("OSTRAVEL_TEST_HOME").empty() || Env("DBUS_SESSION_BUS_ADDRESS").empty())
            GTEST_SKIP() << "needs the session of tests/gui/with-session-services";
        NewSettings();
    }
    // Runs a catalogue command and waits for its reply line.
    void Command(int id) {
        const unsigned before = view_->MessageList()->GetCount();
        view_->RunCommand(id);
        ASSERT_TRUE(PumpUntil([&] { return view_->MessageList()->GetCount() > before; })) << id;
    }
    // The Update command, waiting for the report in the status box.
    void Status() {
        view_->StatusBox()->ChangeValue("");
        view_->RunCommand(cmd::kServerStatus);
        ASSERT_TRUE(PumpUntil([&] { return !view_->StatusBox()->IsEmpty(); }));
        // A notice from the report is queued behind the box's text.
        PumpUntil([] { return false; }, 300ms);
    }
    void ChooseMenu(int id) {
        wxCommandEvent choose(wxEVT_MENU, WindowIdFromCommand(id));
        frame_->ProcessWindowEvent(choose);
    }
    bool MenuChecked(int id) {
        frame_->GetMenuBar()->UpdateMenus();
        return frame_->GetMenuBar()->IsChecked(WindowIdFromCommand(id));
    }
    // The control of a setting on the open Preferences window.
    template <class Control>
    Control* Preference(const char* key) {
        return dynamic_cast<Control*>(wxWindow::FindWindowByName(key, frame_->PreferencesEditor()->Dialog()));
    }
    // A change on the window as the user makes it: the control's value, then its event.
    void Check(const char* key, bool on) {
        wxCheckBox* box = Preference<wxCheckBox>(key);
        box->SetValue(on);
        wxCommandEvent clicked(wxEVT_CHECKBOX, box->GetId());
        clicked.SetEventObject(box);
        clicked.SetInt(on);
        box->ProcessWindowEvent(clicked);
    }
};

// A scripted sequence of reports from the stand-in: exactly one Notify call per change, with the
// state's text and icon, under the program's name and desktop entry, each in place of the one
// before; none while the toggle is off; one for the session lost.
TEST_F(ServicesTest, OneNotificationPerChangeAndNoneWhileSwitchedOff) {
    HostSim host;  // of its own: its end is the session lost
    ASSERT_TRUE(host.Start("notify"));
    const std::size_t before = Notifications().size();
    Open(host.ServicePort());
    ASSERT_TRUE(doc_.NotifyOnChange()) << "on by default";
    ASSERT_TRUE(MenuChecked(cmd::kViewNotifyOnChange));
    LogIn("dj", "djpass");  // its services stopped: down, the baseline
    Status();
    EXPECT_EQ(Notifications().size(), before) << "the first report only sets the state";

    Command(cmd::kServerStart);
    Status();  // up without a source
    ASSERT_EQ(Notifications().size(), before + 1);
    Status();  // the same again: nothing
    Status();
    EXPECT_EQ(Notifications().size(), before + 1);
    // Since when, in the tray tip and the status box.
    EXPECT_NE(frame_->TrayTipText().find("Server Up, Stream Down since "), std::string::npos)
        << frame_->TrayTipText();
    EXPECT_NE(view_->StatusBox()->GetValue().find("\nServer Up, Stream Down since "), wxString::npos);

    Command(cmd::kDjStart);
    Status();  // up and public
    Command(cmd::kServerStop);
    Status();  // down
    ASSERT_EQ(Notifications().size(), before + 3);

    // Switched off from the View menu: the state goes on changing, nobody is told.
    ChooseMenu(cmd::kViewNotifyOnChange);
    EXPECT_FALSE(doc_.NotifyOnChange());
    EXPECT_FALSE(MenuChecked(cmd::kViewNotifyOnChange));
    Command(cmd::kServerStart);
    Status();
    Command(cmd::kServerStop);
    Status();
    EXPECT_EQ(Notifications().size(), before + 3);
    EXPECT_NE(frame_->TrayTipText().find("Server Down since "), std::string::npos);

    ChooseMenu(cmd::kViewNotifyOnChange);
    ASSERT_TRUE(doc_.NotifyOnChange());
    Command(cmd::kServerStart);
    Status();  // up without a source
    // The host goes away ("/bye"): the session lost.
    host.Stop();
    ASSERT_TRUE(PumpUntil([&] { return Notifications().size() == before + 5; }));
    PumpUntil([] { return false; }, 500ms);

    const auto all = Notifications();
    ASSERT_EQ(all.size(), before + 5);
    const std::vector<std::string> expected = {"Server Up, Stream Down", "Server Up, Stream Up",
                                               "Server Down", "Server Up, Stream Down", "Logged Off"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Recorded& n = all[before + i];
        EXPECT_EQ(n.summary, expected[i]) << n.line;
        EXPECT_TRUE(n.image) << "the state's icon goes with it: " << n.line;
        EXPECT_EQ(n.app, "Ostravel") << n.line;
        EXPECT_EQ(n.desktopEntry, kAppId) << "the desktop finds the program's settings by it: " << n.line;
        if (i > 0) {
            EXPECT_EQ(n.replaces, all[before + i - 1].id) << n.line;
        }
        EXPECT_NE(n.body.find(i + 1 == expected.size() ? " At " : " Since "), std::string::npos) << n.line;
    }
    EXPECT_NE(all[before + 4].body.find("Connection to the server ended."), std::string::npos);
    EXPECT_EQ(frame_->NotificationsShown(), 5);
}

// Both toggles are check items of the View menu, kept in the settings across starts.
TEST_F(ServicesTest, TogglesAreRememberedAcrossStarts) {
    RequireHost();
    Open(g_host.ServicePort());
    EXPECT_TRUE(MenuChecked(cmd::kViewNotifyOnChange));
    EXPECT_FALSE(MenuChecked(cmd::kViewAutoRefresh));
    EXPECT_FALSE(doc_.AutoRefresh()) << "off by default: the program sends no request of its own";
    EXPECT_TRUE(doc_.ShowSince());
    ChooseMenu(cmd::kViewAutoRefresh);
    ChooseMenu(cmd::kViewNotifyOnChange);
    EXPECT_TRUE(doc_.AutoRefresh());
    EXPECT_FALSE(doc_.NotifyOnChange());
    frame_->ExitProgram();
    ASSERT_TRUE(PumpUntil([&] { return !alive_; }));

    NewSettings();  // the next start
    doc_.SetAutoRefresh(false);
    doc_.SetNotifyOnChange(true);
    Open(g_host.ServicePort());
    EXPECT_TRUE(doc_.AutoRefresh());
    EXPECT_FALSE(doc_.NotifyOnChange());
    EXPECT_TRUE(MenuChecked(cmd::kViewAutoRefresh));
    EXPECT_FALSE(MenuChecked(cmd::kViewNotifyOnChange));

    // The same settings on the Preferences window, in step with the menu both ways, and kept.
    ChooseMenu(cmd::kAppPreferences);
    ASSERT_NE(Preference<wxCheckBox>(pref::kRefreshStatusAutomatically), nullptr);
    EXPECT_TRUE(Preference<wxCheckBox>(pref::kRefreshStatusAutomatically)->GetValue());
    EXPECT_FALSE(Preference<wxCheckBox>(pref::kNotifyOnStatusChanges)->GetValue());
    frame_->PreferencesEditor()->Dialog()->Close();  // hidden, and shown again by the next opening
    ChooseMenu(cmd::kViewNotifyOnChange);
    ChooseMenu(cmd::kAppPreferences);
    EXPECT_TRUE(frame_->PreferencesEditor()->Dialog()->IsShown());
    EXPECT_TRUE(Preference<wxCheckBox>(pref::kNotifyOnStatusChanges)->GetValue());
    auto* every = Preference<wxSpinCtrl>(pref::kRefreshIntervalSeconds);
    every->SetValue(45);
    wxSpinEvent spun(wxEVT_SPINCTRL, every->GetId());
    spun.SetEventObject(every);
    every->ProcessWindowEvent(spun);
    EXPECT_EQ(doc_.RefreshSeconds(), 45);
    Check(pref::kRefreshStatusAutomatically, false);
    EXPECT_FALSE(MenuChecked(cmd::kViewAutoRefresh));
    EXPECT_FALSE(Preference<wxSpinCtrl>(pref::kRefreshIntervalSeconds)->IsEnabled());
    Check(pref::kShowSinceWhen, false);
    EXPECT_FALSE(doc_.ShowSince());
    auto* host = Preference<wxTextCtrl>(pref::kServiceHost);
    host->SetValue("exa mple");  // refused: not kept
    frame_->ExitProgram();
    ASSERT_TRUE(PumpUntil([&] { return !alive_; }));

    NewSettings();  // the next start
    doc_.SetRefreshSeconds(20);
    Open(g_host.ServicePort());
    EXPECT_EQ(doc_.RefreshSeconds(), 45);
    EXPECT_FALSE(MenuChecked(cmd::kViewAutoRefresh));
    EXPECT_TRUE(MenuChecked(cmd::kViewNotifyOnChange));
    EXPECT_FALSE(doc_.ShowSince());
    EXPECT_FALSE(wxConfigBase::Get()->HasEntry(pref::kServiceHost));
    // Back to the defaults for whoever comes next.
    wxConfigBase::Get()->DeleteEntry(pref::kShowSinceWhen);
    wxConfigBase::Get()->DeleteEntry(pref::kRefreshIntervalSeconds);
    wxConfigBase::Get()->Flush();
}

// The login dialog as the user fills it in, with the "Remember password" box; what it showed.
class LoginWithBox : public wxExpectModalBase<LoginDialog> {
public:
    struct Shown {
        wxString user, password;
        bool checked = false, enabled = false;
    };
    LoginWithBox(wxString user, wxString password, bool remember, Shown* shown)
        : user_(std::move(user)), password_(std::move(password)), remember_(remember), shown_(shown) {}

protected:
    int OnInvoked(LoginDialog* dialog) const override {
        shown_->user = dialog->UserNameEdit()->GetValue();
        shown_->password = dialog->PasswordEdit()->GetValue();
        shown_->checked = dialog->RememberPasswordCheck()->GetValue();
        shown_->enabled = dialog->RememberPasswordCheck()->IsEnabled();
        if (!user_.empty()) dialog->UserNameEdit()->ChangeValue(user_);
        if (!password_.empty()) dialog->PasswordEdit()->ChangeValue(password_);
        dialog->RememberPasswordCheck()->SetValue(remember_);
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(dialog->FindWindow(wxID_OK));
        dialog->GetEventHandler()->ProcessEvent(ok);
        return wxID_OK;
    }

private:
    wxString user_, password_;
    bool remember_;
    Shown* shown_;
};

// Every regular file under the test's HOME (which holds its XDG folders) that contains `text`.
std::vector<std::string> FilesContaining(const std::string& text) {
    std::vector<std::string> found;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(Env("OSTRAVEL_TEST_HOME"), error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error || !it->is_regular_file()) continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        if (all.str().find(text) != std::string::npos) found.push_back(it->path().string());
    }
    return found;
}

// The password in the keyring: stored at OK with the box checked, read back at the next start, removed
// when the box is cleared; never in a file. The user name is kept in the settings.
TEST_F(ServicesTest, RememberedPasswordLivesInTheKeyringOnly) {
    HostSim host;
    host.extraAccounts = std::string(kKeeper) + "\t" + kCanary + "\t128\tnormal\t8006\n";
    ASSERT_TRUE(host.Start("keyring"));
    ASSERT_EQ(DesktopPasswordStore().Unavailable(), "") << "the test's keyring runs";
    DesktopPasswordStore().Remove(kKeeper);
    wxConfigBase::Get()->DeleteEntry(kUserNameKey);  // a first start: no user name kept yet
    wxConfigBase::Get()->Flush();
    Open(host.ServicePort());

    LoginWithBox::Shown first;
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), LoginWithBox(kKeeper, kCanary, true, &first));
    ASSERT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0; }));
    EXPECT_TRUE(first.enabled);
    EXPECT_FALSE(first.checked) << "off by default";
    EXPECT_EQ(first.user, "");
    EXPECT_EQ(DesktopPasswordStore().Lookup(kKeeper), kCanary);
    // The desktop's own tool finds it in the keyring too.
    std::string looked;
    EXPECT_TRUE(Shell(std::string("secret-tool lookup user ") + kKeeper, &looked));
    EXPECT_EQ(looked, kCanary);
    frame_->ExitProgram();
    ASSERT_TRUE(PumpUntil([&] { return !alive_; }));

    // Kept by an earlier version under its own schema: found, and moved to the app id's.
    const std::string former = std::string("xdg:schema org.quenlor.Ostravel.Password user ") + kKeeper;
    ASSERT_TRUE(DesktopPasswordStore().Remove(kKeeper));
    ASSERT_TRUE(Shell("printf %s '" + kCanary + "' | secret-tool store --label=former " + former));
    EXPECT_EQ(DesktopPasswordStore().Lookup(kKeeper), kCanary);
    EXPECT_FALSE(Shell("secret-tool lookup " + former + " 2>/dev/null"));
    EXPECT_TRUE(
        Shell(std::string("secret-tool lookup xdg:schema ") + kAppId + ".Password user " + kKeeper, &looked));
    EXPECT_EQ(looked, kCanary);

    // The next start: the user name from the settings, the password from the keyring.
    NewSettings();
    doc_.ResetSession();
    Open(host.ServicePort());
    LoginWithBox::Shown second;
    wxTEST_DIALOG(view_->RunCommand(cmd::kLogin), LoginWithBox("", "", false, &second));
    ASSERT_TRUE(PumpUntil([&] { return doc_.LoginId() != 0; })) << "logged in with what was recalled";
    EXPECT_EQ(second.user, kKeeper);
    EXPECT_EQ(second.password, kCanary);
    EXPECT_TRUE(second.checked);
    // The box was cleared at that OK: the keyring holds it no more.
    EXPECT_EQ(DesktopPasswordStore().Lookup(kKeeper), std::nullopt);
    EXPECT_FALSE(Shell(std::string("secret-tool lookup user ") + kKeeper + " 2>/dev/null", &looked));
    frame_->ExitProgram();
    ASSERT_TRUE(PumpUntil([&] { return !alive_; }));
    wxConfigBase::Get()->Flush();

    // Nothing the program wrote holds the password; the settings hold the user name.
    EXPECT_EQ(FilesContaining(kCanary), std::vector<std::string>{});
    EXPECT_FALSE(FilesContaining(std::string("UserName=") + kKeeper).empty())
        << "the settings were searched where they are";
    NewSettings();
    host.Stop();
}

// Without a session bus, or with one but no keyring on it: the box is disabled and says why.
TEST_F(ServicesTest, RememberPasswordDisabledWithoutAKeyring) {
    RequireHost();
    Open(g_host.ServicePort());
    const std::string address = Env("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_FALSE(SessionBusAvailable());
    {
        auto* dialog = new LoginDialog(frame_, view_->Session(), &DesktopPasswordStore());
        EXPECT_FALSE(dialog->RememberPasswordCheck()->IsEnabled());
        EXPECT_EQ(dialog->RememberPasswordCheck()->GetToolTipText(), kNoSessionBusReason);
        dialog->Destroy();
    }
    // Nor is a notification sent anywhere.
    EXPECT_FALSE(frame_->ShowStateNotification(MakeStateNotice(0, 1'700'000'000)));

    // A bus of its own with nothing on it (no service files, so nothing to start either).
    const fs::path dir = fs::path(Env("OSTRAVEL_TEST_HOME")).parent_path() / "bare-bus";
    fs::create_directories(dir);
    {
        std::ofstream config(dir / "bus.conf");
        config << "<busconfig><type>session</type><listen>unix:dir=" << dir.string()
               << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    }
    std::string started;
    ASSERT_TRUE(Shell("dbus-daemon --config-file=" + (dir / "bus.conf").string() +
                          " --fork --print-address=1 --print-pid=1",
                      &started));
    std::istringstream lines(started);
    std::string bareAddress, pid;
    std::getline(lines, bareAddress);
    std::getline(lines, pid);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bareAddress.c_str(), 1);
    {
        auto* dialog = new LoginDialog(frame_, view_->Session(), &DesktopPasswordStore());
        EXPECT_FALSE(dialog->RememberPasswordCheck()->IsEnabled());
        EXPECT_EQ(dialog->RememberPasswordCheck()->GetToolTipText(), kNoKeyringReason);
        dialog->Destroy();
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    Shell("kill " + pid);
    {
        auto* dialog = new LoginDialog(frame_, view_->Session(), &DesktopPasswordStore());
        EXPECT_TRUE(dialog->RememberPasswordCheck()->IsEnabled());
        dialog->Destroy();
    }
}

// ---------------------------------------------------------------------------------------------------
// The installed way of running: the real program started hidden, logging in at start with the
// password the keyring keeps, over IPv6; the host drops every connection and the program is back
// by itself, with one notice for the loss and one for the return.

#ifdef OSTRAVEL_PROGRAM
// Waits until the stand-in has printed `count` logins, reading its output as it comes.
bool WaitForLogins(HostSim& host, std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::string& printed = host.Printed();
        std::size_t seen = 0;
        for (auto at = printed.find("Logged In: Welcome back"); at != std::string::npos;
             at = printed.find("Logged In: Welcome back", at + 1))
            ++seen;
        if (seen >= count) return true;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd ready{host.Output(), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(left.count()));
    }
}

TEST(Program, StartedHiddenLogsInByItselfAndComesBackAfterTheHostDropsIt) {
    if (Env("OSTRAVEL_TEST_HOME").empty())
        GTEST_SKIP() << "needs the session of tests/gui/with-session-services";
    HostSim host;
    if (!host.Start("keep", 0, "[::1]:0", "[::1]")) GTEST_SKIP() << "no IPv6 loopback";
    ASSERT_TRUE(DesktopPasswordStore().Store("dj", "djpass"));
    {
        const fs::path file = SettingsFilePath(Env("XDG_CONFIG_HOME"), kAppName);
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "[General]\nLoginAtStart=1\n[Login]\nUserName=dj\n"
                            << "[View]\nNotifyOnStatusChanges=1\n";
    }
    const std::size_t noticesBefore = Notifications().size();
    const std::string hostArg = "[::1]:" + std::to_string(host.ServicePort());
    std::vector<std::string> args = {OSTRAVEL_PROGRAM, "--hidden", "--host", hostArg};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t program = 0;
    ASSERT_EQ(posix_spawn(&program, OSTRAVEL_PROGRAM, nullptr, nullptr, argv.data(), environ), 0);

    EXPECT_TRUE(WaitForLogins(host, 1, 20s)) << host.Printed();
    std::string shown;
    // Its windows on the screen wider than a tray icon: none.
    Shell("for w in $(xdotool search --onlyvisible --pid " + std::to_string(program) +
              "); do xwininfo -id $w | awk '/Width:/ { if ($2 > 64) print }'; done",
          &shown);
    EXPECT_EQ(shown, "") << "only the tray icon at start";

    // The stand-in's control page drops every connection, as a restart of the host would.
    BlockingSocket control = ConnectToHost(HostAddress{"::1", host.PortalPort(), HostAddress::Kind::IPv6}, 5);
    const std::string get = "GET /hostsim/fault?drop HTTP/1.0\r\nHost: [::1]\r\n\r\n";
    control.SendAll(get.data(), static_cast<int>(get.size()), 5);
    char reply[512];
    EXPECT_GT(control.Receive(reply, sizeof reply, 5), 0);
    control.Close();
    const auto dropped = std::chrono::steady_clock::now();
    // Back within the first delay (2 s and at most a fifth more) and a round trip.
    EXPECT_TRUE(WaitForLogins(host, 2, 10s)) << host.Printed();
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, 4s);

    // One notice for the loss, one for the return, none per attempt.
    PumpUntil([&] { return Notifications().size() >= noticesBefore + 2; });
    std::vector<std::string> summaries;
    const auto all = Notifications();
    for (std::size_t i = noticesBefore; i < all.size(); ++i) summaries.push_back(all[i].summary);
    EXPECT_EQ(summaries, (std::vector<std::string>{"Logged Off", "Back Online"}));
    ::kill(program, SIGTERM);
    ::waitpid(program, nullptr, 0);
    DesktopPasswordStore().Remove("dj");
    host.Stop();
}
#endif

}  // namespace
}  // namespace ostravel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using namespace ostravel;
    g_host.Start("services");  // when it does not start, its port is 0 and the tests that need it skip
    int result = 1;
    {
        ostravel::testing::ToolkitScope toolkit(argc, argv);
        if (toolkit.Started()) result = RUN_ALL_TESTS();
    }
    g_host.Stop();
    return result;
}
