// The embedded browser: one page, fetched anew each time. It is built as a module of its
// own (with the web engine's libraries) that the program loads the first time it shows a page, so
// start-up never pays for the engine. The program reaches it through desktop/browserloader.h.
#pragma once

#include <wx/dialog.h>

class wxWebView;

#ifdef _WIN32
#define OSTRAVEL_BROWSER_EXPORT __declspec(dllexport)
#else
#define OSTRAVEL_BROWSER_EXPORT __attribute__((visibility("default")))
#endif

namespace ostravel {

// The window that holds the web engine.
class WebEngine {
public:
    // Creates the engine's window inside `parent`; null when no engine is available.
    static wxWebView* Create(wxWindow* parent, int id, const wxSize& size);
    // Whether an engine exists, asked without starting it.
    static bool Available();
};

class BrowserDialog : public wxDialog {
public:
    explicit BrowserDialog(wxWindow* parent = nullptr);

    wxString m_url;    // the page to show
    wxString m_title;  // "Browser Dialog" until the caller sets it

    // Creates the engine, sets the caption and starts loading m_url.
    bool TransferDataToWindow() override;
    wxWebView* Browser() const { return m_browser; }

private:
    wxWebView* m_browser = nullptr;
};

}  // namespace ostravel
