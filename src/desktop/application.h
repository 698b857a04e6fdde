// The application: start-up and shut-down.
#pragma once

#include <memory>

#include <wx/app.h>
#include <wx/filehistory.h>
#include <wx/timer.h>

#include "desktop/commandline.h"

namespace ostravel {

class SessionDocument;
class MainFrame;
class AudioThreads;
class SystemEvents;
class HistoryRecorder;

class Application : public wxApp {
public:
    explicit Application(CommandLine commandLine);
    ~Application() override;

    bool OnInit() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;
    // Every language the program speaks runs left to right. (The toolkit would otherwise look the
    // locale up in its table of every language for each window it makes.)
    wxLayoutDirection GetLayoutDirection() const override { return wxLayout_LeftToRight; }

    MainFrame* Frame() const { return frame_; }
    // Whether the embedded browser can work; asked at start-up without starting the engine.
    bool WebEngineAvailable() const { return webEngine_; }

private:
    std::unique_ptr<SessionDocument> doc_;
    std::unique_ptr<HistoryRecorder> history_;  // outlives the session, which records into it
    std::unique_ptr<AudioThreads> audio_;
    std::unique_ptr<SystemEvents> systemEvents_;  // sleep and network changes
    std::unique_ptr<wxFileHistory> recentFiles_;
    MainFrame* frame_ = nullptr;
    bool webEngine_ = false;
    CommandLine commandLine_;
    std::unique_ptr<wxTimer> demo_;
    bool endProcess_ = false;  // Exit has closed the session: OnExit ends the process
};

}  // namespace ostravel
