#include "voice/pmdialog.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "net/blocksock.h"
#include "ui/wxtext.h"
#include "voice/chat.h"

namespace ostravel {

CPMDialog::CPMDialog(wxWindow* parent, CzandrelDoc& document, std::function<std::string()> recipient)
    : wxDialog(parent, IDD, "Private Message", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      document_(document), recipient_(std::move(recipient)) {
    SetName("CPMDialog");
    message_ = new wxTextCtrl(this, IDC_MESSAGE, wxString(), ConvertDialogToPixels(wxPoint(7, 7)),
                              ConvertDialogToPixels(wxSize(264, 90)), wxHSCROLL);
    new wxButton(this, IDC_SEND, "Send", ConvertDialogToPixels(wxPoint(135, 103)),
                 ConvertDialogToPixels(wxSize(50, 14)));
    SetClientSize(ConvertDialogToPixels(wxSize(278, 129)));
    Bind(wxEVT_BUTTON, &CPMDialog::OnSend, this, IDC_SEND);
}

void CPMDialog::OnSend(wxCommandEvent&) {
    const std::string message = NarrowText(message_->GetValue());
    const std::string selected = recipient_ ? recipient_() : std::string();
    try {
        SendPrivateMessage(document_, selected, message);
    } catch (const CBlockingSocketException& error) {
        wxMessageBox(WxText(error.GetErrorMessage()), GetTitle(), wxOK | wxICON_EXCLAMATION, this);
    }
    // The dialog stays open and shows nothing.
}

}  // namespace ostravel
