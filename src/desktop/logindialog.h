// "Account Login": user name, password and the service host. One object for the whole run, so it
// shows the texts of the last OK when it opens again. OK connects and sends the login on a thread of its
// own: the dialog stays open, says it is connecting, and closes with OK when that has finished;
// Cancel gives the connect up.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/translate.h"

namespace ostravel {

class SessionControl;
class PasswordStore;
class MainFrame;

inline constexpr int kLoginDialogId = 139;
inline constexpr int kUserNameEdit = 1001;
inline constexpr int kPasswordEdit = 1002;
// An extension of our own: the password kept in the desktop's keyring (off by default).
inline constexpr int kRememberPasswordCheck = 1004;
inline constexpr const char* kRememberPasswordText = N_("&Remember password");
// The last user name, kept in the settings (never the password).
inline constexpr char kUserNameKey[] = "Login/UserName";
// An extension of our own: the service host, as Preferences keep it ("Connection/ServiceHost"); empty
// for the built-in one.
inline constexpr int kHostEdit = 1005;
inline constexpr int kCredentialMaxLength = 99;
inline constexpr const char* kConnectingText = N_("Connecting to the server...");

class LoginDialog : public wxDialog {
public:
    // `passwords`: where "Remember password" keeps the password; none leaves the box disabled. The
    // login thread's result comes back through `parent`'s UI-thread queue.
    LoginDialog(MainFrame* parent, SessionControl& session, PasswordStore* passwords = nullptr);
    ~LoginDialog() override;

    // Shows the texts of the last OK (Cancel forgets what was typed since).
    int ShowModal() override;

    // Run on the UI thread, once, when a login started by OK has finished (connected or not);
    // never for one that was cancelled or replaced.
    void SetLoginFinished(std::function<void()> finished) { finished_ = std::move(finished); }
    // Run on the UI thread when OK starts a login: the user's own login replaces any automatic one.
    void SetLoginStarting(std::function<void()> starting) { starting_ = std::move(starting); }
    // A connect started by OK is still going on.
    bool Connecting() const { return connecting_; }
    // Gives up the connect in progress, if any: the session is left logged off, nothing is
    // reported, and the dialog ends with Cancel.
    void CancelConnect();

    wxTextCtrl* UserNameEdit() const { return userNameEdit_; }
    wxTextCtrl* PasswordEdit() const { return passwordEdit_; }
    wxTextCtrl* HostEdit() const { return hostEdit_; }
    wxStaticText* ProgressText() const { return progress_; }
    wxCheckBox* RememberPasswordCheck() const { return remember_; }

    wxString m_userName;
    wxString m_password;

private:
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void LoginFinished(unsigned attempt);
    void ShowConnecting(bool connecting);
    // A sentence in the progress line, which grows to hold it.
    void ShowProblem(const wxString& problem);
    void End(int result);
    // At the first opening: the remembered user name, and the password the keyring keeps for it.
    void Recall();
    // At OK: the user name and the host into the settings; the password into the keyring, or out of it.
    void Remember(const std::string& host);

    MainFrame* frame_;
    SessionControl& session_;
    wxTextCtrl* userNameEdit_ = nullptr;
    wxTextCtrl* passwordEdit_ = nullptr;
    wxTextCtrl* hostEdit_ = nullptr;
    wxStaticText* progress_ = nullptr;
    wxCheckBox* remember_ = nullptr;
    PasswordStore* passwords_ = nullptr;
    bool canRemember_ = false;  // a keyring is there to keep the password
    bool recalled_ = false;
    std::function<void()> finished_;
    std::function<void()> starting_;
    // Whether the dialog is still there when the login thread's result comes due. Read and written
    // on the UI thread only; the login thread merely carries it.
    std::shared_ptr<bool> alive_;
    unsigned attempt_ = 0;  // the OK whose result still counts
    bool connecting_ = false;
};

}  // namespace ostravel
