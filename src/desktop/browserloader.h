// The program's way to the embedded browser, which lives in a module loaded on first use.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace ostravel {

// Whether the browser module is installed beside the program (asked without loading it).
bool BrowserModulePresent();

enum class BrowserResult { Shown, NoModule, NoEngine };

// Shows `url` in the embedded browser, modally, with `caption`. Loads the module the first time.
BrowserResult ShowBrowser(wxWindow* parent, const wxString& caption, const wxString& url);

}  // namespace ostravel
