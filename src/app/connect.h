// "Account Login" (dialog 139): user name and password. One object for the whole run, so it shows
// the texts of the last OK when it opens again; OK connects and sends the login.
#pragma once

#include <wx/dialog.h>
#include <wx/textctrl.h>

namespace ostravel {

class SessionControl;

inline constexpr int kLoginDialog = 139;
inline constexpr int kUserNameEdit = 1001;
inline constexpr int kPasswordEdit = 1002;
inline constexpr int kCredentialMaxLength = 99;

class CConnect : public wxDialog {
public:
    CConnect(wxWindow* parent, SessionControl& session);

    // Shows the texts of the last OK (Cancel forgets what was typed since).
    int ShowModal() override;

    wxTextCtrl* UserNameEdit() const { return userNameEdit_; }
    wxTextCtrl* PasswordEdit() const { return passwordEdit_; }

    wxString m_userName;
    wxString m_password;

private:
    void OnOK(wxCommandEvent& event);

    SessionControl& session_;
    wxTextCtrl* userNameEdit_ = nullptr;
    wxTextCtrl* passwordEdit_ = nullptr;
};

}  // namespace ostravel
