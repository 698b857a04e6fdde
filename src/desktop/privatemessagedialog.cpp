#include "desktop/privatemessagedialog.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "desktop/wxtext.h"
#include "net/blockingsocket.h"
#include "session/chat.h"

namespace ostravel {

PrivateMessageDialog::PrivateMessageDialog(wxWindow* parent, SessionDocument& document,
                                           std::function<std::string()> recipient)
    : wxDialog(parent, kWindowId, _("Private Message"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      document_(document),
      recipient_(std::move(recipient)) {
    SetName("PrivateMessageDialog");
    message_ = new wxTextCtrl(this, kMessageId, wxString(), ConvertDialogToPixels(wxPoint(7, 7)),
                              ConvertDialogToPixels(wxSize(264, 90)), wxHSCROLL);
    new wxButton(this, kSendId, _("Send"), ConvertDialogToPixels(wxPoint(135, 103)),
                 ConvertDialogToPixels(wxSize(50, 14)));
    SetClientSize(ConvertDialogToPixels(wxSize(278, 129)));
    Bind(wxEVT_BUTTON, &PrivateMessageDialog::OnSend, this, kSendId);
}

void PrivateMessageDialog::OnSend(wxCommandEvent&) {
    const std::string message = NarrowText(message_->GetValue());
    const std::string selected = recipient_ ? recipient_() : std::string();
    try {
        SendPrivateMessage(document_, selected, message);
    } catch (const BlockingSocketException& error) {
        wxMessageBox(WxText(error.GetErrorMessage()), GetTitle(), wxOK | wxICON_EXCLAMATION, this);
    }
    // The dialog stays open and shows nothing.
}

}  // namespace ostravel
