#include "desktop/logindialog.h"

#include <algorithm>
#include <optional>

#include <wx/button.h>
#include <wx/config.h>
#include <wx/sizer.h>

#include "config/preferences.h"
#include "desktop/mainframe.h"
#include "desktop/preferenceswindow.h"
#include "desktop/translations.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "platform/passwordstore.h"
#include "session/sessioncontrol.h"

#ifdef __WXMSW__
// The socket layer brings in <windows.h>, whose FindWindow and friends are macros.
#include <wx/msw/winundef.h>
#endif

namespace ostravel {

LoginDialog::LoginDialog(MainFrame* parent, SessionControl& session, PasswordStore* passwords)
    : wxDialog(parent, kLoginDialogId, _("Account Login")),
      frame_(parent),
      session_(session),
      passwords_(passwords),
      alive_(std::make_shared<bool>(true)) {
    // The controls' order and widths are fixed; heights follow the toolkit's needs.
    auto* column = new wxBoxSizer(wxVERTICAL);
    const wxSize editSize = ConvertDialogToPixels(wxSize(100, 14));
    // Each label comes just before its edit in the tab order, which is what pairs them on Windows.
    userNameEdit_ =
        new wxTextCtrl(this, kUserNameEdit, wxEmptyString, wxDefaultPosition, wxSize(editSize.x, -1));
    // Alt + a label's underlined letter moves the keyboard into its edit.
    wxStaticText* userNameLabel = MnemonicLabel(this, _("&Username"), userNameEdit_);
    column->Add(userNameLabel, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    column->Add(userNameEdit_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    passwordEdit_ = new wxTextCtrl(this, kPasswordEdit, wxEmptyString, wxDefaultPosition,
                                   wxSize(editSize.x, -1), wxTE_PASSWORD);
    wxStaticText* passwordLabel = MnemonicLabel(this, _("&Password"), passwordEdit_);
    column->Add(passwordLabel, 0, wxLEFT | wxRIGHT, 10);
    column->Add(passwordEdit_, 0, wxLEFT | wxRIGHT, 10);
    // The session keeps at most 99 characters of each.
    userNameEdit_->SetMaxLength(kCredentialMaxLength);
    passwordEdit_->SetMaxLength(kCredentialMaxLength);

    remember_ = new wxCheckBox(this, kRememberPasswordCheck, Tr(kRememberPasswordText));
    column->Add(remember_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    // Without a keyring there is nowhere safe to keep it: the box says why instead.
    const std::string why =
        passwords_ != nullptr ? passwords_->Unavailable() : Translated(N_("No keyring is available."));
    canRemember_ = why.empty();
    if (!canRemember_) {
        remember_->Disable();
        remember_->SetToolTip(WxText(why));
    } else {
        remember_->SetToolTip(_("Keep the password in the desktop's keyring, never in a file"));
    }

    // Empty for the built-in server, whose address shows greyed in the empty edit.
    hostEdit_ = new wxTextCtrl(this, kHostEdit, wxEmptyString, wxDefaultPosition, wxSize(editSize.x, -1));
    hostEdit_->SetToolTip(Tr(FindPreference(pref::kServiceHost)->tooltip));
    column->Add(MnemonicLabel(this, _("&Host"), hostEdit_), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    column->Add(hostEdit_, 0, wxLEFT | wxRIGHT, 10);

    // Says that OK is connecting; its room is kept while it is empty, so nothing moves.
    progress_ = new wxStaticText(this, wxID_STATIC, Tr(kConnectingText), wxDefaultPosition, wxDefaultSize,
                                 wxST_NO_AUTORESIZE);
    progress_->SetMinSize(progress_->GetBestSize());
    column->Add(progress_, 0, wxLEFT | wxRIGHT | wxTOP, 10);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, _("OK"));
    ok->SetDefault();
    buttons->Add(ok, 0, wxRIGHT, 10);
    buttons->Add(new wxButton(this, wxID_CANCEL, _("Cancel")));
    column->Add(buttons, 0, wxALIGN_CENTER | wxALL, 10);
    SetSizerAndFit(column);
    progress_->SetLabel(wxEmptyString);
    CentreOnParent();

    Bind(wxEVT_BUTTON, &LoginDialog::OnOK, this, wxID_OK);
    // Also reached by Escape and the close box.
    Bind(wxEVT_BUTTON, &LoginDialog::OnCancel, this, wxID_CANCEL);
}

LoginDialog::~LoginDialog() { *alive_ = false; }

void LoginDialog::Recall() {
    if (recalled_) return;
    recalled_ = true;
    wxString user;
    if (m_userName.empty() && wxConfigBase::Get()->Read(kUserNameKey, &user)) m_userName = user;
    if (m_userName.empty() || !canRemember_) return;
    if (const auto kept = passwords_->Lookup(NarrowText(m_userName))) {
        m_password = WxText(*kept);
        remember_->SetValue(true);
    }
}

void LoginDialog::Remember(const std::string& host) {
    wxConfigBase* config = wxConfigBase::Get();
    config->Write(kUserNameKey, m_userName);
    SettingsFileStore store;
    // Left empty while the run has a host of its own (--host), the field means that one for this run
    // and leaves the setting alone.
    if (!frame_->RunHost() || host.find_first_not_of(" \t") != std::string::npos)
        Preferences(store).SetText(pref::kServiceHost, host);
    config->Flush();
    frame_->ShowKeptPreferences();
    if (!canRemember_) return;
    const std::string user = NarrowText(m_userName);
    if (remember_->GetValue()) {
        passwords_->Store(user, NarrowText(m_password));
    } else {
        passwords_->Remove(user);
    }
}

int LoginDialog::ShowModal() {
    // A login from an earlier OK that nobody waited for gives way to this one.
    CancelConnect();
    Recall();
    userNameEdit_->ChangeValue(m_userName);
    passwordEdit_->ChangeValue(m_password);
    // Preferences may have changed it since; a run's own host shows greyed in the empty field.
    SettingsFileStore store;
    hostEdit_->SetHint(WxText(FormatHostAddress(frame_->DefaultServiceHost())));
    hostEdit_->ChangeValue(frame_->RunHost() ? wxString()
                                             : WxText(Preferences(store).Text(pref::kServiceHost)));
    progress_->SetLabel(wxEmptyString);
    userNameEdit_->SetFocus();
    return wxDialog::ShowModal();
}

void LoginDialog::OnOK(wxCommandEvent&) {
    if (connecting_) return;  // one login at a time
    // A host that is none sends nothing: the dialog stays as it is and says why.
    const std::string hostText = NarrowText(hostEdit_->GetValue());
    std::string problem;
    const std::optional<HostAddress> host = HostOfSetting(TextForm::ServiceHost, hostText, &problem);
    if (!problem.empty()) {
        ShowProblem(WxText(problem));
        hostEdit_->SetFocus();
        hostEdit_->SelectAll();
        return;
    }
    m_userName = userNameEdit_->GetValue();
    m_password = passwordEdit_->GetValue();
    Remember(hostText);
    session_.SetHost(host ? *host : frame_->DefaultServiceHost());
    if (starting_) starting_();
    const unsigned attempt = ++attempt_;
    ShowConnecting(true);
    // Connects and sends both login blocks on the session's login thread; the result comes back
    // here on the UI thread, and a failure is reported by the Login command's last step.
    session_.BeginLogin(NarrowText(m_userName), NarrowText(m_password),
                        [post = frame_->UiThread().Poster(), alive = alive_, dialog = this, attempt] {
                            post([alive, dialog, attempt] {
                                if (*alive) dialog->LoginFinished(attempt);
                            });
                        });
}

void LoginDialog::OnCancel(wxCommandEvent& event) {
    if (!connecting_) {
        event.Skip();  // the dialog's own Cancel
        return;
    }
    CancelConnect();
}

void LoginDialog::CancelConnect() {
    if (!connecting_) return;
    ++attempt_;  // whatever the login thread still reports no longer counts
    ShowConnecting(false);
    session_.CancelLogin();
    // The connect may have come about just before the cancel: nobody will read that connection,
    // so the session is left logged off rather than half connected.
    try {
        session_.Logout();
    } catch (const BlockingSocketException&) {
        // No receiver runs during a login, so there is no notice to fail.
    }
    End(wxID_CANCEL);
}

void LoginDialog::LoginFinished(unsigned attempt) {
    if (!connecting_ || attempt != attempt_) return;  // cancelled, or replaced by a later OK
    ShowConnecting(false);
    End(wxID_OK);
    if (finished_) finished_();
}

void LoginDialog::ShowConnecting(bool connecting) {
    connecting_ = connecting;
    userNameEdit_->Enable(!connecting);
    passwordEdit_->Enable(!connecting);
    hostEdit_->Enable(!connecting);
    remember_->Enable(!connecting && canRemember_);
    FindWindow(wxID_OK)->Enable(!connecting);
    progress_->SetLabel(connecting ? Tr(kConnectingText) : wxString());
    // Cancel is all that is left to press.
    if (connecting) FindWindow(wxID_CANCEL)->SetFocus();
}

void LoginDialog::ShowProblem(const wxString& problem) {
    progress_->SetLabelText(problem);  // the typed host may hold a '&'
    progress_->Wrap(hostEdit_->GetSize().x);
    progress_->InvalidateBestSize();
    const wxSize room = progress_->GetMinSize();
    const wxSize needed = progress_->GetBestSize();
    if (needed.x > room.x || needed.y > room.y) {
        progress_->SetMinSize(wxSize(std::max(room.x, needed.x), std::max(room.y, needed.y)));
        Fit();
    }
}

void LoginDialog::End(int result) {
    if (IsModal()) {
        EndModal(result);
    } else {
        // Shown by a test hook instead of a modal loop.
        SetReturnCode(result);
        if (IsShown()) Hide();
    }
}

}  // namespace ostravel
