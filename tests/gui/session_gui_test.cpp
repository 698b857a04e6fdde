// The session's life as the windows show it: a login whose connect hangs, cancelled or given up on
// exit; replies that keep flowing while a text viewer is open; the host going away and coming back.
// The login dialog runs in its real modal loop here, and is clicked and typed into through the X
// server (xdotool), because the toolkit's own event handling is what is under test.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <wx/button.h>
#include <wx/config.h>
#include <wx/timer.h>

#include "config/preferences.h"
#include "desktop/textviewdialog.h"
#include "desktop_fixture.h"
#include "fakes/deaf_listener.h"
#include "protocol/requests.h"

namespace ostravel {
namespace {

using Clock = std::chrono::steady_clock;

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
    return false;
}

// One xdotool run: real pointer and key events, through the X server as a person's would go.
class XInput {
public:
    ~XInput() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            Wait();
        }
    }
    void Run(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawnp(&pid_, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
        EXPECT_GT(pid_, 0) << "xdotool did not start";
    }
    void Wait() {
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
};

// Gives the login dialog the keyboard, as a window manager would when it opens (there is none
// under Xvfb), then clicks the middle of `window`.
std::vector<std::string> FocusAndClick(wxWindow* window) {
    const wxSize size = window->GetClientSize();
    const wxPoint at = window->ClientToScreen(wxPoint(size.x / 2, size.y / 2));
    std::vector<std::string> args = {"search",          "--sync",      "--onlyvisible", "--name",
                                     "^Account Login$", "windowfocus", "--sync",        "%1"};
    args.insert(args.end(),
                {"mousemove", std::to_string(at.x), std::to_string(at.y), "click", "--delay", "0", "1"});
    return args;
}

class SessionWindowsTest : public DesktopTest {
protected:
    void RequireXInput() {
        if (!OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    }

    // Opens the login dialog with the Login command, for real (its own modal loop, no test hook),
    // and once it is on the screen runs `onShown` inside that loop. Returns how the dialog ended.
    int RunLoginDialog(std::function<void(LoginDialog&)> onShown) {
        LoginDialog& dialog = view_->LoginWindow();
        if (!paintHooked_) {
            paintHooked_ = true;
            dialog.Bind(wxEVT_PAINT, [this, &dialog](wxPaintEvent& event) {
                event.Skip();
                if (!onShown_) return;
                dialog.CallAfter([&dialog, shown = std::move(onShown_)] { shown(dialog); });
                onShown_ = nullptr;
            });
        }
        onShown_ = std::move(onShown);
        // Should a step go wrong, the loop still ends, and the test fails instead of hanging.
        wxTimer watchdog;
        watchdog.Bind(wxEVT_TIMER, [&dialog](wxTimerEvent&) {
            ADD_FAILURE() << "the login dialog did not close";
            if (dialog.IsModal()) dialog.EndModal(wxID_ABORT);
        });
        watchdog.StartOnce(30000);
        view_->RunCommand(cmd::kLogin);
        return dialog.GetReturnCode();
    }
    void TypeCredentials(LoginDialog& dialog) {
        dialog.UserNameEdit()->ChangeValue("dj");
        dialog.PasswordEdit()->ChangeValue("djpass");
    }

    bool paintHooked_ = false;
    std::function<void(LoginDialog&)> onShown_;
};

// OK against a host that never answers: the dialog says it is connecting and keeps answering real
// key presses all through the connect, which gives up after its time limit with the usual line.
// Notes when the dialog's OK is handled.
void RecordOkPress(LoginDialog& dialog, Clock::time_point& at) {
    dialog.Bind(
        wxEVT_BUTTON,
        [&at](wxCommandEvent& event) {
            at = Clock::now();
            event.Skip();
        },
        wxID_OK);
}

TEST_F(SessionWindowsTest, PendingConnectKeepsTheWindowAnswering) {
    RequireXInput();
    testing::DeafListener silent;
    Open(silent.Port());
    view_->Session().SetConnectSeconds(2);

    // Each real input event handled: when the X server made it (its time stamp, in ms) and when the
    // window answered it. The click on OK comes first, then the key presses made while connecting.
    struct Answer {
        long made;
        Clock::time_point answered;
    };
    LoginDialog& dialog = view_->LoginWindow();
    std::vector<Answer> answers;
    std::size_t keysWhileConnecting = 0;
    bool showedConnecting = true;
    Clock::time_point okAt{};
    dialog.FindWindow(wxID_OK)->Bind(wxEVT_LEFT_DOWN, [&](wxMouseEvent& event) {
        answers.push_back({event.GetTimestamp(), Clock::now()});
        event.Skip();
    });
    RecordOkPress(dialog, okAt);
    dialog.Bind(wxEVT_CHAR_HOOK, [&](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_SHIFT && dialog.Connecting()) {
            answers.push_back({event.GetTimestamp(), Clock::now()});
            ++keysWhileConnecting;
            showedConnecting = showedConnecting && dialog.ProgressText()->GetLabel() == kConnectingText &&
                               !dialog.FindWindow(wxID_OK)->IsEnabled() &&
                               !dialog.UserNameEdit()->IsEnabled();
        }
        event.Skip();
    });

    XInput input;
    const int result = RunLoginDialog([&](LoginDialog& shown) {
        TypeCredentials(shown);
        // Click OK, then a harmless key every 20 ms for longer than the connect may take.
        std::vector<std::string> args = FocusAndClick(shown.FindWindow(wxID_OK));
        for (const char* word : {"key", "--delay", "20"}) args.push_back(word);
        args.insert(args.end(), 150, "shift");
        input.Run(args);
    });
    const Clock::time_point closedAt = Clock::now();
    input.Wait();

    EXPECT_EQ(result, wxID_OK);
    ASSERT_NE(okAt, Clock::time_point{});
    // Enough presses to show that the connect really was pending, all of them while it said so.
    EXPECT_GE(keysWhileConnecting, 20u);
    EXPECT_TRUE(showedConnecting);
    // How long each event waited to be answered, against the quickest one (the X server's clock and
    // ours have different origins); a window stuck in the connect makes them wait up to 2 s.
    auto ms = [](Clock::duration d) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    long quickest = std::numeric_limits<long>::max(), slowest = 0;
    for (const Answer& a : answers) quickest = std::min(quickest, ms(a.answered.time_since_epoch()) - a.made);
    for (const Answer& a : answers)
        slowest = std::max(slowest, ms(a.answered.time_since_epoch()) - a.made - quickest);
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < answers.size(); ++i)
        longestGap = std::max(longestGap, answers[i].answered - answers[i - 1].answered);
    std::printf(
        "pending connect: %zu key presses answered in %ld ms; slowest answer %ld ms, longest gap %ld ms\n",
        keysWhileConnecting, ms(closedAt - okAt), slowest, ms(longestGap));
    EXPECT_LT(slowest, 100);

    ASSERT_TRUE(PumpUntil([&] { return !Lines().empty(); }));
    EXPECT_EQ(Lines(), std::vector<std::string>{kConnectFailedMessage});
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());
    EXPECT_TRUE(dialog.FindWindow(wxID_OK)->IsEnabled());  // ready for the next try
}

// Escape while connecting ends the dialog at once with Cancel and leaves nothing behind; Exit
// while connecting ends the program at once. The connect alone would take its full 10 seconds.
TEST_F(SessionWindowsTest, CancelOrExitGivesUpAPendingConnect) {
    RequireXInput();
    testing::DeafListener silent;
    Open(silent.Port());

    LoginDialog& dialog = view_->LoginWindow();
    Clock::time_point okAt{};
    bool escapeWhileConnecting = false;
    RecordOkPress(dialog, okAt);
    dialog.Bind(wxEVT_CHAR_HOOK, [&](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE) escapeWhileConnecting = dialog.Connecting();
        event.Skip();
    });
    XInput input;
    const int result = RunLoginDialog([&](LoginDialog& shown) {
        TypeCredentials(shown);
        std::vector<std::string> args = FocusAndClick(shown.FindWindow(wxID_OK));
        args.insert(args.end(), {"key", "Escape"});
        input.Run(args);
    });
    const auto took = Clock::now() - okAt;
    input.Wait();

    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_TRUE(escapeWhileConnecting);
    EXPECT_LT(took, 5s);
    // Whatever the cancelled login thread reported has been delivered by now, and changed nothing.
    wxTheApp->ProcessPendingEvents();
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());
    EXPECT_TRUE(doc_.Disconnected());
    EXPECT_EQ(doc_.LoginId(), 0);
    EXPECT_FALSE(dialog.Connecting());
    EXPECT_EQ(EnabledMenuCommands(),
              (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));

    Clock::time_point exitAt{};
    RunLoginDialog([&](LoginDialog& shown) {
        TypeCredentials(shown);
        wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
        ok.SetEventObject(shown.FindWindow(wxID_OK));
        shown.GetEventHandler()->ProcessEvent(ok);
        EXPECT_TRUE(shown.Connecting());
        exitAt = Clock::now();
        frame_->RunTrayEntry(cmd::kTrayExit);
    });
    EXPECT_TRUE(PumpUntil([&] { return !alive_; }, 5s));
    EXPECT_LT(Clock::now() - exitAt, 5s);
}

// A log in its viewer does not hold the session: a status report asked for while the viewer is
// open fills the status box before the viewer is closed.
TEST_F(SessionWindowsTest, StatusArrivesWhileATextViewerIsOpen) {
    RequireHost();
    Open(g_host.ServicePort());
    LogIn("dj", "djpass");
    view_->RunCommand(cmd::kAccountSummary);
    wxWeakRef<TextViewDialog> viewer;
    ASSERT_TRUE(PumpUntil([&] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* text = dynamic_cast<TextViewDialog*>(window); text != nullptr && text->IsShown())
                viewer = text;
        return viewer != nullptr;
    }));
    EXPECT_NE(viewer->m_text.Find("Shoutcast Account Summary"), wxNOT_FOUND);

    view_->StatusBox()->ChangeValue(wxEmptyString);
    view_->RunCommand(cmd::kServerStatus);
    ASSERT_TRUE(PumpUntil([&] { return !view_->StatusBox()->IsEmpty(); }));
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->IsShown());

    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    ok.SetEventObject(viewer->FindWindow(wxID_OK));
    viewer->GetEventHandler()->ProcessEvent(ok);
    EXPECT_TRUE(PumpUntil([&] { return !viewer; }));
}

// The host says "/bye" and goes: with "Reconnect automatically" off, the program ends up logged
// off, told why, with the commands of a logged-off session; when the host is back on the same port,
// a login works in the same run.
TEST_F(SessionWindowsTest, HostGoingAwayLogsOffAndItsReturnAllowsALogin) {
    RequireHost();
    HostSim host;
    struct StopOnExit {
        HostSim& host;
        ~StopOnExit() {
            host.Stop();
            wxConfigBase::Get()->DeleteEntry(pref::kReconnect);
        }
    } stop{host};
    wxConfigBase::Get()->Write(pref::kReconnect, false);
    ASSERT_TRUE(host.Start("comeback"));
    const unsigned short port = host.ServicePort();
    Open(port);
    LogIn("dj", "djpass");

    host.Terminate();
    ASSERT_TRUE(PumpUntil([&] {
        return !Lines().empty() && Lines().front() == kSessionEndedMessage &&
               frame_->TrayTipText() == kLoggedOffTip;
    }));
    EXPECT_EQ(doc_.LoginId(), 0);
    EXPECT_TRUE(view_->StatusBox()->IsEmpty());
    EXPECT_EQ(frame_->TrayIconId(), kIconApplication);
    EXPECT_EQ(EnabledMenuCommands(),
              (std::vector<int>{cmd::kLogin, cmd::kLogout, cmd::kFaq, cmd::kContacts}));

    ASSERT_TRUE(host.Start("comeback", port));
    ASSERT_EQ(host.ServicePort(), port);
    LogIn("dj", "djpass");
    EXPECT_EQ(frame_->TrayTipText().rfind("Quenlor Ostravel - Server ", 0), 0u) << frame_->TrayTipText();
    EXPECT_TRUE(view_->IsCommandEnabledNow(cmd::kServerStart));
}

}  // namespace
}  // namespace ostravel
