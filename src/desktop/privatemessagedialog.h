// PrivateMessageDialog: "Private Message" (278 x 129 dialog units): one text box and "Send", which sends
// "==> " + recipient + " " + text as one request block on the service connection.
#pragma once

#include <functional>
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace ostravel {

class SessionDocument;

class PrivateMessageDialog : public wxDialog {
public:
    // The window ids of the dialog and its controls.
    enum { kWindowId = 102, kMessageId = 1002, kSendId = 1011 };

    // `recipient` names who the message is for; the session keeps no recipient yet, so by
    // default it is empty.
    PrivateMessageDialog(
        wxWindow* parent, SessionDocument& document,
        std::function<std::string()> recipient = [] { return std::string(); });

private:
    void OnSend(wxCommandEvent& event);

    SessionDocument& document_;
    std::function<std::string()> recipient_;
    wxTextCtrl* message_ = nullptr;
};

}  // namespace ostravel
