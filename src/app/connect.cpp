#include "app/connect.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/login.h"
#include "ui/wxtext.h"

namespace ostravel {

CConnect::CConnect(wxWindow* parent, SessionControl& session)
    : wxDialog(parent, kLoginDialog, "Account Login"), session_(session) {
    // The controls keep the template's order and widths; heights follow the toolkit's needs.
    auto* column = new wxBoxSizer(wxVERTICAL);
    const wxSize editSize = ConvertDialogToPixels(wxSize(100, 14));
    column->Add(new wxStaticText(this, wxID_STATIC, "Username"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    userNameEdit_ = new wxTextCtrl(this, kUserNameEdit, wxEmptyString, wxDefaultPosition,
                                   wxSize(editSize.x, -1));
    column->Add(userNameEdit_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    column->Add(new wxStaticText(this, wxID_STATIC, "Password"), 0, wxLEFT | wxRIGHT, 10);
    passwordEdit_ = new wxTextCtrl(this, kPasswordEdit, wxEmptyString, wxDefaultPosition,
                                   wxSize(editSize.x, -1), wxTE_PASSWORD);
    column->Add(passwordEdit_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    // The session keeps at most 99 characters of each.
    userNameEdit_->SetMaxLength(kCredentialMaxLength);
    passwordEdit_->SetMaxLength(kCredentialMaxLength);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    buttons->Add(ok, 0, wxRIGHT, 10);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"));
    column->Add(buttons, 0, wxALIGN_CENTER | wxALL, 10);
    SetSizerAndFit(column);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &CConnect::OnOK, this, wxID_OK);
}

int CConnect::ShowModal() {
    userNameEdit_->ChangeValue(m_userName);
    passwordEdit_->ChangeValue(m_password);
    userNameEdit_->SetFocus();
    return wxDialog::ShowModal();
}

void CConnect::OnOK(wxCommandEvent&) {
    m_userName = userNameEdit_->GetValue();
    m_password = passwordEdit_->GetValue();
    // Connects and sends both login blocks; a failure is reported by the Login command.
    session_.LoginProcedure(NarrowText(m_userName), NarrowText(m_password));
    if (IsModal()) {
        EndModal(wxID_OK);
    } else {
        SetReturnCode(wxID_OK);
        Hide();
    }
}

}  // namespace ostravel
