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
    enum {
        IDD = 131,
        IDC_DISPLAY = 1002,
        IDC_SEND = 1003,
        IDC_CONNECT = 1008,
        IDC_MESSAGE = 1009,
        IDC_LIST = 1010,
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
