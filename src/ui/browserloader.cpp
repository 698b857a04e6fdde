#include "ui/browserloader.h"

#include <wx/dynlib.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace ostravel {

namespace {

using ShowBrowserEntry = int (*)(wxWindow* parent, const char* caption, const char* url);

wxString ModulePath() {
    wxFileName path(wxStandardPaths::Get().GetExecutablePath());
    path.SetFullName(wxDynamicLibrary::CanonicalizeName("ostravel_browser", wxDL_MODULE));
    return path.GetFullPath();
}

}  // namespace

bool BrowserModulePresent() { return wxFileName::FileExists(ModulePath()); }

BrowserResult ShowBrowser(wxWindow* parent, const wxString& caption, const wxString& url) {
    // Loaded once, the first time, and kept for the rest of the run.
    static wxDynamicLibrary module;
    static ShowBrowserEntry entry = nullptr;
    if (entry == nullptr) {
        if (!module.IsLoaded() && !module.Load(ModulePath(), wxDL_NOW | wxDL_QUIET)) return BrowserResult::NoModule;
        entry = reinterpret_cast<ShowBrowserEntry>(module.GetSymbol("ostravel_show_browser"));
        if (entry == nullptr) return BrowserResult::NoModule;
    }
    return entry(parent, caption.utf8_str(), url.utf8_str()) < 0 ? BrowserResult::NoEngine : BrowserResult::Shown;
}

}  // namespace ostravel
