#include "desktop/chatview.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "desktop/translations.h"
#include "desktop/wxtext.h"
#include "net/blockingsocket.h"
#include "session/chat.h"
#include "session/sessiondocument.h"

namespace ostravel {

namespace {

// The form is laid out in dialog units, so that it grows with the font.
wxPoint At(wxWindow* window, int x, int y) { return window->ConvertDialogToPixels(wxPoint(x, y)); }
wxSize Size(wxWindow* window, int width, int height) {
    return window->ConvertDialogToPixels(wxSize(width, height));
}

// Socket failures of the chat commands end in a message box with the exception's text.
void ShowSocketError(wxWindow* parent, const BlockingSocketException& error) {
    wxMessageBox(WxText(error.GetErrorMessage()), wxTheApp ? wxTheApp->GetAppDisplayName() : wxString(),
                 wxOK | wxICON_EXCLAMATION, parent);
}

}  // namespace

ChatView::ChatView(wxWindow* parent, SessionDocument& document)
    : wxPanel(parent, wxID_ANY), m_display(Tr(kChatWelcome)), document_(document) {
    SetName("ChatView");
    display_ = new wxTextCtrl(this, kDisplayId, wxString(), At(this, 0, 3), Size(this, 140, 12),
                              wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE | wxHSCROLL | wxTE_DONTWRAP);
    input_ = new wxTextCtrl(this, kMessageId, wxString(), At(this, 8, 26), Size(this, 78, 14), wxHSCROLL);
    new wxButton(this, kSendId, _("Send"), At(this, 90, 25), Size(this, 50, 14));
    new wxButton(this, kConnectId, _("Connect"), At(this, 90, 7), Size(this, 50, 14));
    m_list = new wxListBox(this, kListId, At(this, 8, 52), Size(this, 123, 40), 0, nullptr,
                           wxLB_SINGLE | wxLB_ALWAYS_SB | wxBORDER_SIMPLE);
    SetClientSize(Size(this, 141, 102));
    SetMinSize(GetSize());
    DoDataExchange(false);

    Bind(wxEVT_BUTTON, &ChatView::OnSend, this, kSendId);
    Bind(wxEVT_BUTTON, &ChatView::OnConnect, this, kConnectId);
}

void ChatView::DoDataExchange(bool toFields) {
    if (toFields) {
        m_display = display_->GetValue();
        m_message = input_->GetValue();
        const int selection = m_list->GetSelection();
        m_selected =
            selection == wxNOT_FOUND ? wxString() : m_list->GetString(static_cast<unsigned>(selection));
    } else {
        display_->ChangeValue(m_display);
        input_->ChangeValue(m_message);
        if (!m_selected.empty()) m_list->SetStringSelection(m_selected);
    }
}

void ChatView::OnInitialUpdate() {
    wxWindow* frame = wxGetTopLevelParent(this);
    if (frame == nullptr) return;
    frame->Layout();
    frame->SetClientSize(GetSize());
}

void ChatView::OnSend(wxCommandEvent&) {
    m_message = input_->GetValue();
    const std::string text = NarrowText(m_message);
    try {
        // The text as typed: no terminator, no framing; an empty box is a 0-byte send.
        SendChatLine(GetDocument(), text);
    } catch (const BlockingSocketException& error) {
        ShowSocketError(this, error);
        return;
    }
    display_->ChangeValue(m_message);
    m_list->Insert(m_message, 0);  // newest first
}

void ChatView::OnConnect(wxCommandEvent&) {
    try {
        // Runs on this thread, one 3-second wait at a time, as the command does.
        RunChatConnect(GetDocument(), [this](const std::string& text) {
            display_->ChangeValue(WxText(text));
            display_->Update();
        });
    } catch (const BlockingSocketException& error) {
        ShowSocketError(this, error);
    }
}

}  // namespace ostravel
