// --demo-screenshots: logs in through the login dialog as a user would, waits for the status
// report, starts the server, waits (at most 15 s) for the host to report it down (scripts/run stops
// it on the stand-in), saves pictures of each step and exits.
#pragma once

#include <chrono>
#include <cstdio>

#include <wx/string.h>
#include <wx/timer.h>

namespace ostravel {

class MainFrame;

class DemoRun : public wxTimer {
public:
    DemoRun(MainFrame& frame, wxString dir, wxString user, wxString password);

    void Notify() override;

private:
    void Deadline(std::chrono::seconds span) { deadline_ = std::chrono::steady_clock::now() + span; }
    // What a person would read at this step, for scripts that drive the demo.
    static void Say(const char* what, const wxString& text) {
        std::printf("demo: %s: %s\n", what, static_cast<const char*>(text.utf8_str()));
        std::fflush(stdout);
    }
    void Shot(wxWindow* window, const char* name);

    MainFrame& frame_;
    wxString dir_, user_, password_;
    int step_ = 0;
    unsigned lines_ = 0;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace ostravel
