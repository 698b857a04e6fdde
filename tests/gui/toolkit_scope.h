// The toolkit as a test program needs it: started before the tests, ended after them, and every
// failed wx check reported as a test failure instead of a message box that nobody closes.
#pragma once

#include <cstdio>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/init.h>
#include <wx/sstream.h>

namespace ostravel::testing {

class ToolkitScope {
public:
    ToolkitScope(int& argc, char** argv) {
        if (wxApp::GetInstance() == nullptr) wxApp::SetInstance(new TestApp);
        started_ = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
        if (!started_) {
            std::fprintf(stderr, "%s: no display\n", argc > 0 ? argv[0] : "test");
            return;
        }
        // The program's settings (wxConfigBase::Get()) live in memory: a test never reads what an
        // earlier run left, nor writes into the home folder. A test may put a config of its own.
        if (wxConfigBase::Get(false) == nullptr) {
            wxStringInputStream nothing(wxEmptyString);
            wxConfigBase::Set(new wxFileConfig(nothing));
        }
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE() << file << ":" << line << " " << func << ": " << cond << " " << msg;
        });
    }
    ~ToolkitScope() {
        if (!started_) return;
        delete wxConfigBase::Set(nullptr);
        wxTheApp->OnExit();
        wxEntryCleanup();
    }
    ToolkitScope(const ToolkitScope&) = delete;
    ToolkitScope& operator=(const ToolkitScope&) = delete;

    bool Started() const { return started_; }

private:
    class TestApp : public wxApp {
    public:
        bool OnInit() override { return true; }
    };
    bool started_ = false;
};

}  // namespace ostravel::testing
