#include "desktop/browser/browserdialog.h"

#include <wx/sizer.h>
#include <wx/webview.h>

#include "desktop/wxtext.h"

namespace ostravel {

namespace {

constexpr int kBrowserDialogId = 162;
constexpr int kEngineId = 1136;

}  // namespace

bool WebEngine::Available() { return wxWebView::IsBackendAvailable(wxWebViewBackendDefault); }

wxWebView* WebEngine::Create(wxWindow* parent, int id, const wxSize& size) {
    if (!Available()) return nullptr;
    return wxWebView::New(parent, id, wxWebViewDefaultURLStr, wxDefaultPosition, size);
}

BrowserDialog::BrowserDialog(wxWindow* parent)
    : wxDialog(parent, kBrowserDialogId, "Browser Dialog", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxCLIP_CHILDREN),
      m_title("Browser Dialog") {
    SetSizer(new wxBoxSizer(wxVERTICAL));
}

bool BrowserDialog::TransferDataToWindow() {
    if (m_browser == nullptr) {
        m_browser = WebEngine::Create(this, kEngineId, ConvertDialogToPixels(wxSize(486, 282)));
        if (m_browser != nullptr) {
            GetSizer()->Add(m_browser, 1, wxEXPAND);
            GetSizer()->SetSizeHints(this);
            CentreOnParent();
        }
    }
    SetTitle(m_title);
    // A plain load: a Reload here would reload the blank page the engine starts on and drop this
    // load. Each opening is a new view that asks the portal again; the log page carries no
    // freshness headers, so the engine's cache has nothing to serve it from.
    if (m_browser != nullptr) m_browser->LoadURL(m_url);
    return wxDialog::TransferDataToWindow();
}

}  // namespace ostravel

// The module's one entry point, found by name when the program first needs a browser. Returns the
// dialog's result, or -1 when no web engine is available.
extern "C" OSTRAVEL_BROWSER_EXPORT int ostravel_show_browser(wxWindow* parent, const char* caption,
                                                             const char* url) {
    if (!ostravel::WebEngine::Available()) return -1;
    ostravel::BrowserDialog browser(parent);
    browser.m_title = ostravel::WxText(caption);
    browser.m_url = ostravel::WxText(url);
    return browser.ShowModal();
}
