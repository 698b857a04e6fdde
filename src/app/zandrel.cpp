#include "app/zandrel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <wx/cmdline.h>
#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
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
#include "res/artwork.h"
#include "ui/browserloader.h"
#include "platform/openurl.h"
#include "platform/settingsfile.h"
#include "ui/wxtext.h"
#include "voice/audiothreads.h"

#ifndef OSTRAVEL_VERSION
#error "OSTRAVEL_VERSION comes from the build (the project's version)"
#endif

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
    // What a person would read at this step, for scripts that drive the demo.
    static void Say(const char* what, const wxString& text) {
        std::printf("demo: %s: %s\n", what, static_cast<const char*>(text.utf8_str()));
        std::fflush(stdout);
    }
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


// The command line is read before the toolkit starts, so that --help, --version and a mistake are
// answered without a display.
struct OptionSpec {
    const char* name;
    const char* value;  // the value's name; nullptr for a switch
    const char* help;
};

constexpr OptionSpec kOptions[] = {
    {"help", nullptr, "show this help and exit"},
    {"version", nullptr, "show the version and exit"},
    {"demo-screenshots", "DIR", "log in to the demo account, save screenshots into DIR and exit"},
    {"demo-user", "NAME", "user name for --demo-screenshots (default demo)"},
    {"demo-password", "PASSWORD", "password for --demo-screenshots (default demo)"},
    {"exit-when-shown", nullptr, "exit as soon as the main window is shown (start-up timing)"},
    {"verbose", nullptr, "log more of what the toolkit does"},
};

#ifdef __WXGTK__
// The toolkit's own options go on to it untouched.
constexpr OptionSpec kToolkitOptions[] = {
    {"display", "DISPLAY", nullptr},   {"class", "CLASS", nullptr},       {"name", "NAME", nullptr},
    {"gtk-module", "MODULES", nullptr}, {"gdk-debug", "FLAGS", nullptr},  {"gdk-no-debug", "FLAGS", nullptr},
    {"gtk-debug", "FLAGS", nullptr},   {"gtk-no-debug", "FLAGS", nullptr}, {"g-fatal-warnings", nullptr, nullptr},
};
#endif

struct CommandLine {
    enum Outcome { Run, Help, Version, Error } outcome = Run;
    std::string error;
    std::string screenshotDir, demoUser = "demo", demoPassword = "demo";
    bool exitWhenShown = false;
    std::vector<std::string> toolkitArgs;  // handed to the toolkit after the program's name
};

template <std::size_t N>
const OptionSpec* FindOption(const OptionSpec (&options)[N], std::string_view name) {
    for (const OptionSpec& option : options) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    auto end = [&line](CommandLine::Outcome outcome, std::string error = {}) {
        line.outcome = outcome;
        line.error = std::move(error);
        return line;
    };
    auto fail = [&end](std::string error) { return end(CommandLine::Error, std::move(error)); };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h") return end(CommandLine::Help);
        if (arg.size() < 3 || !arg.starts_with("--")) return fail("unexpected argument '" + std::string(arg) + "'");
        std::string_view name = arg.substr(2);
        std::string value;
        const std::size_t equals = name.find('=');
        const bool inlineValue = equals != std::string_view::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const OptionSpec* option = FindOption(kOptions, name);
        bool toolkit = false;
#ifdef __WXGTK__
        if (option == nullptr && (option = FindOption(kToolkitOptions, name)) != nullptr) toolkit = true;
#endif
        if (option == nullptr) return fail("unknown option '--" + std::string(name) + "'");
        if (option->value == nullptr && inlineValue) {
            return fail("option '--" + std::string(name) + "' takes no value");
        }
        if (option->value != nullptr && !inlineValue) {
            if (i + 1 >= argc) return fail("option '--" + std::string(name) + "' needs a value");
            value = argv[++i];
        }
        if (toolkit) {
            line.toolkitArgs.push_back("--" + std::string(name));
            if (option->value != nullptr) line.toolkitArgs.push_back(value);
        } else if (name == "help") {
            return end(CommandLine::Help);
        } else if (name == "version") {
            line.outcome = CommandLine::Version;
        } else if (name == "demo-screenshots") {
            line.screenshotDir = value;
        } else if (name == "demo-user") {
            line.demoUser = value;
        } else if (name == "demo-password") {
            line.demoPassword = value;
        } else if (name == "exit-when-shown") {
            line.exitWhenShown = true;
        } else if (name == "verbose") {
            line.toolkitArgs.emplace_back("--verbose");
        }
    }
    return line;
}

void PrintUsage() {
    std::printf("Usage: ostravel [OPTION]...\n"
                "Manage your hosted radio server, AutoDJ and AutoTV.\n\n");
    for (const OptionSpec& option : kOptions) {
        std::string left = std::string("--") + option.name;
        if (option.value != nullptr) left += std::string(" ") + option.value;
        std::printf("  %-28s %s\n", left.c_str(), option.help);
    }
#ifdef __WXGTK__
    std::printf("\nThe toolkit's options (--display and the like) are passed on to it.\n");
#endif
}

// Read before the toolkit starts; the application object takes its settings from here.
CommandLine g_commandLine;

// The registry on Windows; elsewhere a file in the desktop's configuration folder, which takes over
// the dotfile earlier versions wrote in the home folder.
std::unique_ptr<wxConfigBase> OpenSettings() {
#ifdef __WINDOWS__
    return std::make_unique<wxConfig>(kAppName, kRegistryKey);
#else
    const wxString legacy = wxFileConfig::GetLocalFileName(kAppName);
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
    const std::filesystem::path file =
        SettingsFilePath(NarrowText(wxStandardPaths::Get().GetUserConfigDir()), kAppName);
    std::string error;
    if (!PrepareSettingsFile(file, NarrowText(legacy), &error)) wxLogWarning("Settings: %s", WxText(error));
    return std::make_unique<wxFileConfig>(kAppName, kRegistryKey, WxText(file.string()), wxString(),
                                          wxCONFIG_USE_LOCAL_FILE);
#endif
}

}  // namespace

CzandrelApp::CzandrelApp() = default;
CzandrelApp::~CzandrelApp() = default;

// The program's own options were read before the toolkit started (main); the toolkit's parser
// sees only what was left for it.
void CzandrelApp::OnInitCmdLine(wxCmdLineParser& parser) { wxApp::OnInitCmdLine(parser); }

bool CzandrelApp::OnCmdLineParsed(wxCmdLineParser& parser) {
    screenshotDir_ = WxText(g_commandLine.screenshotDir);
    demoUser_ = WxText(g_commandLine.demoUser);
    demoPassword_ = WxText(g_commandLine.demoPassword);
    exitWhenShown_ = g_commandLine.exitWhenShown;
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
    wxConfigBase::Set(OpenSettings().release());
    recentFiles_ = std::make_unique<wxFileHistory>(kRecentFileCount);
    recentFiles_->Load(*wxConfigBase::Get());

    // A browser that fails after a while is reported on this thread, where the view lives.
    SystemUrlOpener::Instance().SetLatePoster([this](std::function<void()> task) { CallAfter(std::move(task)); });

    doc_ = std::make_unique<CzandrelDoc>();
    frame_ = new CMainFrame(*doc_, ServiceEndpoint(),
                            [](CzandrelDoc& d) { return std::make_unique<ClientThread>(d); });
    SetTopWindow(frame_);
    frame_->SetProcessEnd([this] {
        endProcess_ = true;
        ExitMainLoop();
    });
    frame_->Centre();
    frame_->Show(true);
    frame_->SetTitle(kAppTitle);

    audio_ = std::make_unique<AudioThreads>();
    audio_->Start();

    if (!screenshotDir_.empty()) {
        UsePngImages();
        std::error_code ignored;
        std::filesystem::create_directories(NarrowText(screenshotDir_), ignored);
        demo_ = std::make_unique<DemoRun>(*frame_, screenshotDir_, demoUser_, demoPassword_);
    }
    if (exitWhenShown_) frame_->CallAfter([frame = frame_] { frame->ExitProgram(); });
    return true;
}

int CzandrelApp::OnExit() {
    // The document goes with the application; nothing may report into it afterwards.
    SystemUrlOpener::Instance().StopLateReports();
    demo_.reset();
    if (audio_) audio_->Stop();
    if (wxConfigBase* config = wxConfigBase::Get(false)) {
        if (recentFiles_) recentFiles_->Save(*config);
        delete wxConfigBase::Set(nullptr);
    }
    const int code = wxApp::OnExit();
    if (endProcess_) {
        // The session is closed, its threads joined and the settings written: what is left is
        // memory and windows the system takes back anyway, and taking the toolkit's widgets apart
        // one by one would cost more than the whole start of an empty window.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace ostravel

#ifndef OSTRAVEL_NO_APP_MAIN
wxIMPLEMENT_APP_NO_MAIN(ostravel::CzandrelApp);

int main(int argc, char** argv) {
    using ostravel::CommandLine;
    ostravel::g_commandLine = ostravel::ParseCommandLine(argc, argv);
    switch (ostravel::g_commandLine.outcome) {
        case CommandLine::Help:
            ostravel::PrintUsage();
            return 0;
        case CommandLine::Version:
            std::printf("Ostravel %s\n", OSTRAVEL_VERSION);
            return 0;
        case CommandLine::Error:
            std::fprintf(stderr, "ostravel: %s. Try --help.\n", ostravel::g_commandLine.error.c_str());
            return 2;
        case CommandLine::Run:
            break;
    }
    std::vector<char*> toolkitArgv{argv[0]};
    for (std::string& arg : ostravel::g_commandLine.toolkitArgs) toolkitArgv.push_back(arg.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;
    return wxEntry(toolkitArgc, toolkitArgv.data());
}
#endif
