// ChatView: the chat form (141 x 102 dialog units): a one-line display, an input box, the list
// of sent lines (newest first), "Send" and "Connect". It talks on the session's service connection.
#pragma once

#include <wx/panel.h>
#include <wx/string.h>

class wxListBox;
class wxTextCtrl;

namespace ostravel {

class SessionDocument;

class ChatView : public wxPanel {
public:
    // The controls' window ids.
    enum {
        kDisplayId = 1002,
        kSendId = 1003,
        kConnectId = 1008,
        kMessageId = 1009,
        kListId = 1010,
    };

    ChatView(wxWindow* parent, SessionDocument& document);

    SessionDocument& GetDocument() const { return document_; }

    // Controls to fields (`toFields`) or fields to controls.
    void DoDataExchange(bool toFields);
    // Resizes the parent frame to fit the form.
    void OnInitialUpdate();

    wxString m_display;
    wxString m_message;
    wxString m_selected;
    wxListBox* m_list = nullptr;

private:
    void OnSend(wxCommandEvent& event);
    void OnConnect(wxCommandEvent& event);

    SessionDocument& document_;
    wxTextCtrl* display_ = nullptr;
    wxTextCtrl* input_ = nullptr;
};

}  // namespace ostravel
