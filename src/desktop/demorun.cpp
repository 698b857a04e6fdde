#include "desktop/demorun.h"

#include <cstdio>
#include <string>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "desktop/logindialog.h"
#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "protocol/commands.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {

// Saves what the screen shows of `window` as a PNG file.
bool SaveScreenshot(wxWindow* window, const wxString& path) {
    const wxRect rect = window->GetScreenRect();
#ifndef _WIN32
    // The X server's own picture is exact; the in-process screen copy is the fallback.
    // The whole screen is kept beside the window's picture: it shows the tray icon's colour.
    std::string whole = NarrowText(path);
    whole.insert(whole.size() - (whole.size() >= 4 && whole.ends_with(".png") ? 4 : 0), "-screen");
    std::string program = "import";
    std::string option = "-window";
    std::string root = "root";
    std::string target = whole;
    char* argv[] = {program.data(), option.data(), root.data(), target.data(), nullptr};
    pid_t pid = 0;
    int status = 1;
    if (posix_spawnp(&pid, "import", nullptr, nullptr, argv, environ) == 0 &&
        waitpid(pid, &status, 0) == pid && status == 0) {
        wxImage screen;
        if (screen.LoadFile(WxText(whole), wxBITMAP_TYPE_PNG)) {
            const wxRect inside = rect.Intersect(wxRect(0, 0, screen.GetWidth(), screen.GetHeight()));
            return screen.GetSubImage(inside).SaveFile(path, wxBITMAP_TYPE_PNG);
        }
    }
#endif
    // No alpha channel: a screen copy is opaque, and on Windows a 32-bit bitmap would keep the
    // alpha of zero that most drawing leaves, saving a picture that is nearly all transparent.
    wxBitmap picture(rect.width, rect.height, 24);
    wxMemoryDC memory(picture);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    return picture.SaveFile(path, wxBITMAP_TYPE_PNG);
}

// --demo-screenshots: logs in through the login dialog as a user would, waits for the status
// report, starts the server, waits (at most 15 s) for the host to report it down (scripts/run stops
// it on the stand-in), saves pictures of each step and exits.

}  // namespace

DemoRun::DemoRun(MainFrame& frame, wxString dir, wxString user, wxString password)
    : frame_(frame), dir_(std::move(dir)), user_(std::move(user)), password_(std::move(password)) {
    Start(200);
    Deadline(std::chrono::seconds(20));
}

void DemoRun::Notify() {
    MainView* view = frame_.GetActiveView();
    if (view == nullptr) return;
    const bool late = std::chrono::steady_clock::now() > deadline_;
    switch (step_) {
        case 0:
            Shot(&frame_, "1-started.png");
            step_ = 1;
            frame_.UiThread().Post([view] { view->RunCommand(cmd::kLogin); });
            break;
        case 1: {
            LoginDialog& dialog = view->LoginWindow();
            if (!dialog.IsShown()) break;
            dialog.UserNameEdit()->ChangeValue(user_);
            dialog.PasswordEdit()->ChangeValue(password_);
            Shot(&dialog, "2-login-dialog.png");
            step_ = 2;
            Deadline(std::chrono::seconds(15));
            wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
            ok.SetEventObject(dialog.FindWindow(wxID_OK));
            dialog.GetEventHandler()->ProcessEvent(ok);
            break;
        }
        case 2:
            if (view->StatusBox()->GetValue().empty() && !late) break;
            Say("status", view->StatusBox()->GetValue().BeforeFirst('\n'));
            Shot(&frame_, "3-logged-in.png");
            lines_ = view->MessageList()->GetCount();
            view->RunCommand(cmd::kServerStart);
            step_ = 3;
            Deadline(std::chrono::seconds(10));
            break;
        case 3:
            if (view->MessageList()->GetCount() <= lines_ && !late) break;
            if (view->MessageList()->GetCount() > lines_) Say("reply", view->MessageList()->GetString(0));
            view->RunCommand(cmd::kServerStatus);
            step_ = 4;
            Deadline(std::chrono::seconds(2));
            break;
        case 4:
            if (!late) break;  // give the status report its moment
            Shot(&frame_, "4-server-started.png");
            // scripts/run now stops the stand-in's server behind the program's back; the host's
            // next keep-alive report says so, and the desktop announces it.
            step_ = 5;
            Deadline(std::chrono::seconds(15));
            break;
        case 5:
            if (frame_.GetActiveView()->GetDocument().Snapshot().serverState != 0 && !late) break;
            Deadline(std::chrono::seconds(1));  // the notification's moment to be drawn
            step_ = 6;
            break;
        case 6:
            if (!late) break;
            Shot(&frame_, "5-server-stopped.png");
            std::printf("screenshots saved to %s\n", static_cast<const char*>(dir_.utf8_str()));
            std::fflush(stdout);
            step_ = 7;
            Stop();
            frame_.UiThread().Post([frame = &frame_] { frame->ExitProgram(); });
            break;
        default:
            break;
    }
    if (step_ == 1 && late) {
        std::fprintf(stderr, "demo: the login dialog did not open\n");
        Stop();
        frame_.UiThread().Post([frame = &frame_] { frame->ExitProgram(); });
    }
}

void DemoRun::Shot(wxWindow* window, const char* name) {
    window->Update();
    const wxString path = dir_ + "/" + name;
    if (!SaveScreenshot(window, path)) std::fprintf(stderr, "demo: could not save %s\n", name);
}

}  // namespace ostravel
