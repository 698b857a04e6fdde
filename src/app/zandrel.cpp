#include "app/zandrel.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/dcscreen.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "app/connect.h"
#include "app/mainfrm.h"
#include "app/shellrules.h"
#include "app/zandreldoc.h"
#include "app/zandrelview.h"
#include "protocol/clientthread.h"
#include "protocol/commands.h"
#include "ui/browserloader.h"
#include "ui/wxtext.h"
#include "voice/audiothreads.h"

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
    wxBitmap picture(rect.width, rect.height);
    wxMemoryDC memory(picture);
    wxScreenDC screen;
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    memory.SelectObject(wxNullBitmap);
    return picture.SaveFile(path, wxBITMAP_TYPE_PNG);
}

// --demo-screenshots: logs in through the login dialog as a user would, waits for the status
// report, starts the server, saves pictures of each step and exits.
class DemoRun : public wxTimer {
public:
    DemoRun(CMainFrame& frame, wxString dir, wxString user, wxString password)
        : frame_(frame), dir_(std::move(dir)), user_(std::move(user)), password_(std::move(password)) {
        Start(200);
        Deadline(std::chrono::seconds(20));
    }

    void Notify() override {
        CzandrelView* view = frame_.GetActiveView();
        if (view == nullptr) return;
        const bool late = std::chrono::steady_clock::now() > deadline_;
        switch (step_) {
            case 0:
                Shot(&frame_, "1-started.png");
                step_ = 1;
                frame_.CallAfter([view] { view->RunCommand(cmd::kLogin); });
                break;
            case 1: {
                CConnect& dialog = view->LoginDialog();
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
                Shot(&frame_, "3-logged-in.png");
                lines_ = view->MessageList()->GetCount();
                view->RunCommand(cmd::kServerStart);
                step_ = 3;
                Deadline(std::chrono::seconds(10));
                break;
            case 3:
                if (view->MessageList()->GetCount() <= lines_ && !late) break;
                view->RunCommand(cmd::kServerStatus);
                step_ = 4;
                Deadline(std::chrono::seconds(2));
                break;
            case 4:
                if (!late) break;  // give the status report its moment
                Shot(&frame_, "4-server-started.png");
                std::printf("screenshots saved to %s\n", static_cast<const char*>(dir_.utf8_str()));
                std::fflush(stdout);
                step_ = 5;
                Stop();
                frame_.CallAfter([frame = &frame_] { frame->ExitProgram(); });
                break;
            default:
                break;
        }
        if (step_ == 1 && late) {
            std::fprintf(stderr, "demo: the login dialog did not open\n");
            Stop();
            frame_.CallAfter([frame = &frame_] { frame->ExitProgram(); });
        }
    }

private:
    void Deadline(std::chrono::seconds span) { deadline_ = std::chrono::steady_clock::now() + span; }
    void Shot(wxWindow* window, const char* name) {
        window->Update();
        const wxString path = dir_ + "/" + name;
        if (!SaveScreenshot(window, path)) std::fprintf(stderr, "demo: could not save %s\n", name);
    }

    CMainFrame& frame_;
    wxString dir_, user_, password_;
    int step_ = 0;
    unsigned lines_ = 0;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace

CzandrelApp::CzandrelApp() = default;
CzandrelApp::~CzandrelApp() = default;

void CzandrelApp::OnInitCmdLine(wxCmdLineParser& parser) {
    wxApp::OnInitCmdLine(parser);
    parser.AddOption("", "demo-screenshots",
                     "log in to the demo account, save screenshots into DIR and exit");
    parser.AddOption("", "demo-user", "user name for --demo-screenshots (default demo)");
    parser.AddOption("", "demo-password", "password for --demo-screenshots (default demo)");
    parser.AddSwitch("", "exit-when-shown", "exit as soon as the main window is shown (start-up timing)");
}

bool CzandrelApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    parser.Found("demo-screenshots", &screenshotDir_);
    parser.Found("demo-user", &demoUser_);
    parser.Found("demo-password", &demoPassword_);
    exitWhenShown_ = parser.Found("exit-when-shown");
    return wxApp::OnCmdLineParsed(parser);
}

bool CzandrelApp::OnInit() {
    if (!wxApp::OnInit()) return false;
    SetAppName(kAppName);
    SetVendorName(kRegistryKey);

    if (!InitSockets()) {
        wxMessageBox(kSocketsFailedMessage, kAppName, wxOK | wxICON_ERROR);
        return false;
    }
    // Only whether the browser module is there: it is loaded when the browser first opens.
    webEngine_ = BrowserModulePresent();

    // Settings under "Quenlor" / "zandrel", with a recent-file list of four entries.
    wxConfigBase::Set(new wxConfig(kAppName, kRegistryKey));
    recentFiles_ = std::make_unique<wxFileHistory>(kRecentFileCount);
    recentFiles_->Load(*wxConfigBase::Get());

    doc_ = std::make_unique<CzandrelDoc>();
    frame_ = new CMainFrame(*doc_, ServiceEndpoint(),
                            [](CzandrelDoc& d) { return std::make_unique<ClientThread>(d); });
    SetTopWindow(frame_);
    frame_->Centre();
    frame_->Show(true);
    frame_->SetTitle(kAppTitle);

    audio_ = std::make_unique<AudioThreads>();
    audio_->Start();

    if (!screenshotDir_.empty()) {
        wxInitAllImageHandlers();
        std::error_code ignored;
        std::filesystem::create_directories(NarrowText(screenshotDir_), ignored);
        demo_ = std::make_unique<DemoRun>(*frame_, screenshotDir_, demoUser_, demoPassword_);
    }
    if (exitWhenShown_) frame_->CallAfter([frame = frame_] { frame->ExitProgram(); });
    return true;
}

int CzandrelApp::OnExit() {
    demo_.reset();
    if (audio_) audio_->Stop();
    if (wxConfigBase* config = wxConfigBase::Get(false)) {
        if (recentFiles_) recentFiles_->Save(*config);
        delete wxConfigBase::Set(nullptr);
    }
    return wxApp::OnExit();
}

}  // namespace ostravel

#ifndef OSTRAVEL_NO_APP_MAIN
wxIMPLEMENT_APP(ostravel::CzandrelApp);
#endif
