// The embedded browser (dialog 162): one page, fetched anew each time. The web engine is created
// when the dialog first opens, never at start-up.
#pragma once

#include <wx/dialog.h>

class wxWebView;

namespace ostravel {

// The window that holds the web engine (control 1136).
class CExplorer1 {
public:
    // Creates the engine's window inside `parent`; null when no engine is available.
    static wxWebView* Create(wxWindow* parent, int id, const wxSize& size);
    // Whether an engine exists, asked without starting it.
    static bool Available();
};

class CBrowserDialog : public wxDialog {
public:
    explicit CBrowserDialog(wxWindow* parent = nullptr);

    wxString m_url;    // the portal's base page until the caller sets it
    wxString m_title;  // "Browser Dialog" until the caller sets it

    // Creates the engine, sets the caption and starts loading m_url.
    bool TransferDataToWindow() override;
    wxWebView* Browser() const { return m_browser; }

private:
    wxWebView* m_browser = nullptr;
};

}  // namespace ostravel
