// The application: start-up and shut-down.
#pragma once

#include <memory>

#include <wx/app.h>
#include <wx/filehistory.h>
#include <wx/timer.h>

#include "net/blocksock.h"

namespace ostravel {

class CzandrelDoc;
class CMainFrame;
class AudioThreads;

class CzandrelApp : public wxApp {
public:
    CzandrelApp();
    ~CzandrelApp() override;

    bool OnInit() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

    CMainFrame* MainFrame() const { return frame_; }
    // Whether the embedded browser can work; asked at start-up without starting the engine.
    bool WebEngineAvailable() const { return webEngine_; }

private:
    std::unique_ptr<CzandrelDoc> doc_;
    std::unique_ptr<AudioThreads> audio_;
    std::unique_ptr<wxFileHistory> recentFiles_;
    CMainFrame* frame_ = nullptr;
    bool webEngine_ = false;
    std::unique_ptr<wxTimer> demo_;
    wxString screenshotDir_;
    wxString demoUser_ = "demo";
    wxString demoPassword_ = "demo";
    bool exitWhenShown_ = false;
    bool endProcess_ = false;  // Exit has closed the session: OnExit ends the process
};

}  // namespace ostravel

wxDECLARE_APP(ostravel::CzandrelApp);
