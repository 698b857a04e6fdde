#include "desktop/logindialog.h"

#include <wx/button.h>
#include <wx/config.h>
#include <wx/sizer.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

#include "desktop/mainframe.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "platform/passwordstore.h"
#include "session/sessioncontrol.h"

#ifdef __WXMSW__
// The socket layer brings in <windows.h>, whose FindWindow and friends are macros.
#include <wx/msw/winundef.h>
#endif

namespace ostravel {

namespace {

// Alt + the label's underlined letter moves the keyboard into its edit. Windows does that by the
// tab order; a GTK label needs to be told which widget it stands for (looked up in the loaded toolkit).
wxStaticText* LabelFor(wxWindow* parent, const wxString& text, wxWindow* edit) {
    auto* label = new wxStaticText(parent, wxID_STATIC, text);
#ifdef __WXGTK3__
    using SetMnemonicWidget = void (*)(void*, void*);
    const auto bind =
        reinterpret_cast<SetMnemonicWidget>(dlsym(RTLD_DEFAULT, "gtk_label_set_mnemonic_widget"));
    if (bind != nullptr && label->GetHandle() != nullptr && edit->GetHandle() != nullptr)
        bind(label->GetHandle(), edit->GetHandle());
#else
    (void)edit;
#endif
    return label;
}

}  // namespace

LoginDialog::LoginDialog(MainFrame* parent, SessionControl& session, PasswordStore* passwords)
    : wxDialog(parent, kLoginDialogId, "Account Login"),
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
    wxStaticText* userNameLabel = LabelFor(this, "&Username", userNameEdit_);
    userNameLabel->MoveBeforeInTabOrder(userNameEdit_);
    column->Add(userNameLabel, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    column->Add(userNameEdit_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    passwordEdit_ = new wxTextCtrl(this, kPasswordEdit, wxEmptyString, wxDefaultPosition,
                                   wxSize(editSize.x, -1), wxTE_PASSWORD);
    wxStaticText* passwordLabel = LabelFor(this, "&Password", passwordEdit_);
    passwordLabel->MoveBeforeInTabOrder(passwordEdit_);
    column->Add(passwordLabel, 0, wxLEFT | wxRIGHT, 10);
    column->Add(passwordEdit_, 0, wxLEFT | wxRIGHT, 10);
    // The session keeps at most 99 characters of each.
    userNameEdit_->SetMaxLength(kCredentialMaxLength);
    passwordEdit_->SetMaxLength(kCredentialMaxLength);

    remember_ = new wxCheckBox(this, kRememberPasswordCheck, kRememberPasswordText);
    column->Add(remember_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    // Without a keyring there is nowhere safe to keep it: the box says why instead.
    const std::string why =
        passwords_ != nullptr ? passwords_->Unavailable() : std::string("No keyring is available.");
    canRemember_ = why.empty();
    if (!canRemember_) {
        remember_->Disable();
        remember_->SetToolTip(WxText(why));
    } else {
        remember_->SetToolTip("Keep the password in the desktop's keyring, never in a file");
    }

    // Says that OK is connecting; its room is kept while it is empty, so nothing moves.
    progress_ = new wxStaticText(this, wxID_STATIC, kConnectingText, wxDefaultPosition, wxDefaultSize,
                                 wxST_NO_AUTORESIZE);
    progress_->SetMinSize(progress_->GetBestSize());
    column->Add(progress_, 0, wxLEFT | wxRIGHT | wxTOP, 10);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    buttons->Add(ok, 0, wxRIGHT, 10);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"));
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

void LoginDialog::Remember() {
    wxConfigBase* config = wxConfigBase::Get();
    config->Write(kUserNameKey, m_userName);
    config->Flush();
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
    userNameEdit_->SetFocus();
    return wxDialog::ShowModal();
}

void LoginDialog::OnOK(wxCommandEvent&) {
    if (connecting_) return;  // one login at a time
    m_userName = userNameEdit_->GetValue();
    m_password = passwordEdit_->GetValue();
    Remember();
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
    remember_->Enable(!connecting && canRemember_);
    FindWindow(wxID_OK)->Enable(!connecting);
    progress_->SetLabel(connecting ? wxString(kConnectingText) : wxString());
    // Cancel is all that is left to press.
    if (connecting) FindWindow(wxID_CANCEL)->SetFocus();
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
