#include "desktop/browserloader.h"

#include <wx/dynlib.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace ostravel {

namespace {

using ShowBrowserEntry = int (*)(wxWindow* parent, const char* caption, const char* url);

#ifndef OSTRAVEL_MODULE_FROM_BIN
#error "OSTRAVEL_MODULE_FROM_BIN comes from the build (the module folder relative to the program's)"
#endif

// Next to the program in the build tree; in the private library folder when installed.
wxString ModulePath() {
    const wxString name = wxDynamicLibrary::CanonicalizeName("ostravel_browser", wxDL_MODULE);
    wxFileName beside(wxStandardPaths::Get().GetExecutablePath());
    beside.SetFullName(name);
    if (beside.FileExists()) return beside.GetFullPath();
    wxFileName installed(beside.GetPath() + wxFILE_SEP_PATH + OSTRAVEL_MODULE_FROM_BIN, name);
    installed.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    return installed.GetFullPath();
}

}  // namespace

bool BrowserModulePresent() { return wxFileName::FileExists(ModulePath()); }

BrowserResult ShowBrowser(wxWindow* parent, const wxString& caption, const wxString& url) {
    // Loaded once, the first time, and kept for the rest of the run.
    static wxDynamicLibrary module;
    static ShowBrowserEntry entry = nullptr;
    if (entry == nullptr) {
        if (!module.IsLoaded() && !module.Load(ModulePath(), wxDL_NOW | wxDL_QUIET))
            return BrowserResult::NoModule;
        entry = reinterpret_cast<ShowBrowserEntry>(module.GetSymbol("ostravel_show_browser"));
        if (entry == nullptr) return BrowserResult::NoModule;
    }
    return entry(parent, caption.utf8_str(), url.utf8_str()) < 0 ? BrowserResult::NoEngine
                                                                 : BrowserResult::Shown;
}

}  // namespace ostravel
