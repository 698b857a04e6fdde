#include "desktop/application.h"

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
#include <wx/msgdlg.h>
#include <wx/stdpaths.h>
#include <wx/timer.h>

#include "desktop/artwork.h"
#include "desktop/browserloader.h"
#include "desktop/demorun.h"
#include "desktop/logindialog.h"
#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "desktop/preferenceswindow.h"
#include "desktop/translations.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "platform/openurl.h"
#include "platform/settingsfile.h"
#include "platform/systemevents.h"
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"
#include "voice/audiothreads.h"

namespace ostravel {

namespace {

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
    if (!PrepareSettingsFile(file, NarrowText(legacy), &error))
        wxLogWarning(_("Settings: %s"), WxText(error));
    return std::make_unique<wxFileConfig>(kAppName, kRegistryKey, WxText(file.string()), wxString(),
                                          wxCONFIG_USE_LOCAL_FILE);
#endif
}

}  // namespace

Application::Application(CommandLine commandLine) : commandLine_(std::move(commandLine)) {}
Application::~Application() = default;

// The program's own options were read before the toolkit started (main); the toolkit's parser
// sees only what was left for it.
void Application::OnInitCmdLine(wxCmdLineParser& parser) { wxApp::OnInitCmdLine(parser); }

bool Application::OnCmdLineParsed(wxCmdLineParser& parser) { return wxApp::OnCmdLineParsed(parser); }

bool Application::OnInit() {
    if (!wxApp::OnInit()) return false;
    SetAppName(kAppName);
    SetVendorName(kRegistryKey);

    if (!InitSockets()) {
        wxMessageBox(Tr(kSocketsFailedMessage), kAppName, wxOK | wxICON_ERROR);
        return false;
    }
    // Only whether the browser module is there: it is loaded when the browser first opens.
    webEngine_ = BrowserModulePresent();

    // Settings under "Quenlor" / "zandrel", with a recent-file list of four entries.
    wxConfigBase::Set(OpenSettings().release());
    // The language is a preference: the catalogues as soon as the settings can be read.
    SetUpTranslations();
    recentFiles_ = std::make_unique<wxFileHistory>(kRecentFileCount);
    recentFiles_->Load(*wxConfigBase::Get());

    doc_ = std::make_unique<SessionDocument>();
    frame_ = new MainFrame(*doc_, ServiceEndpoint(),
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
    frame_->SetRunHost(commandLine_.host);  // this run only, above the settings
    // A browser that fails after a while is reported on the UI thread, where the view lives.
    SystemUrlOpener::Instance().SetLatePoster(frame_->UiThread().Poster());
    SetTopWindow(frame_);
    frame_->SetProcessEnd([this] {
        systemEvents_.reset();
        endProcess_ = true;
        ExitMainLoop();
    });
    frame_->Centre();
    frame_->SetTitle(kAppTitle);
    SettingsFileStore settings;
    const Preferences preferences(settings);
    if (!commandLine_.hidden && !preferences.Bool(pref::kStartHidden)) {
        frame_->Show(true);
    } else if (!frame_->TrayAvailable()) {
        // No notification area to come back from: minimised, never unreachable.
        frame_->Iconize(true);
        frame_->Show(true);
    }
    // What the window does not need to be drawn waits until it is up: the station history (whose
    // thread opens, and on a first run makes, the file; one that cannot be kept says so in the
    // message list, once), the watch on the system bus and the network, and the sound threads.
    frame_->UiThread().Post([this] {
        history_ = std::make_unique<HistoryRecorder>(
            HistoryFile(), [doc = doc_.get()](const std::string& line) { doc->InsertMessage(line); });
        frame_->SetHistory(history_.get());
        // After a sleep or a network change the connection may be dead without a word: it is
        // looked at at once, and a reconnection waiting out its delay tries at once.
        systemEvents_ =
            SystemEvents::Start([post = frame_->UiThread().Poster(), frame = frame_](SystemEvent) {
                post([frame] { frame->GetActiveView()->Keeper().CheckNow(); });
            });
        audio_ = std::make_unique<AudioThreads>();
        audio_->Start();
    });
    if (preferences.Bool(pref::kLoginAtStart) && commandLine_.screenshotDir.empty()) {
        frame_->UiThread().Post([frame = frame_] { frame->GetActiveView()->LoginAtStart(); });
    }

    if (!commandLine_.screenshotDir.empty()) {
        UsePngImages();
        std::error_code ignored;
        std::filesystem::create_directories(commandLine_.screenshotDir, ignored);
        demo_ = std::make_unique<DemoRun>(*frame_, WxText(commandLine_.screenshotDir),
                                          WxText(commandLine_.demoUser), WxText(commandLine_.demoPassword));
    }
    if (commandLine_.exitWhenShown) frame_->UiThread().Post([frame = frame_] { frame->ExitProgram(); });
    return true;
}

int Application::OnExit() {
    // The document goes with the application; nothing may report into it afterwards.
    SystemUrlOpener::Instance().StopLateReports();
    demo_.reset();
    systemEvents_.reset();
    if (audio_) audio_->Stop();
    // The session has ended: what the recorder still holds is written before the process goes.
    if (doc_) doc_->SetHistory(nullptr);
    history_.reset();
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
