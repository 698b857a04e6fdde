#include "desktop/mainview.h"

#include <wx/config.h>
#include <wx/generic/statbmpg.h>
#include <wx/msgdlg.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

#include "desktop/artwork.h"
#include "desktop/autodjconfigdialog.h"
#include "desktop/autotvconfigdialog.h"
#include "desktop/browserloader.h"
#include "desktop/mainframe.h"
#include "desktop/serverconfigdialog.h"
#include "desktop/textviewdialog.h"
#include "desktop/translations.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "platform/openurl.h"
#include "platform/passwordstore.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/portal.h"
#include "session/sending.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

namespace ostravel {

namespace {

const wxColour kFormGround(1, 1, 1);
const wxColour kFormText(255, 255, 255);

// The form is laid out in dialog units of an 8-point font (1.5 by 1.625 pixels each), so
// that it fits the frame's fixed 450 by 390 client area on every toolkit.
wxPoint At(int x, int y) { return wxPoint(x * 3 / 2, y * 13 / 8); }
wxSize Sized(int w, int h) { return wxSize(w * 3 / 2, h * 13 / 8); }

// A read-only box has nothing to type at, so it shows no caret: a blinking one would wake the
// program twice a second while the window has the keyboard. GTK is told through its own function,
// found in the already loaded toolkit (wx has no call for it).
void HideCaret(wxTextCtrl* box) {
#ifdef __WXGTK3__
    const auto symbol = [](const char* name) { return dlsym(RTLD_DEFAULT, name); };
    const auto textViewType = reinterpret_cast<unsigned long (*)()>(symbol("gtk_text_view_get_type"));
    const auto binType = reinterpret_cast<unsigned long (*)()>(symbol("gtk_bin_get_type"));
    const auto isA = reinterpret_cast<int (*)(void*, unsigned long)>(symbol("g_type_check_instance_is_a"));
    const auto child = reinterpret_cast<void* (*)(void*)>(symbol("gtk_bin_get_child"));
    const auto setCursorVisible =
        reinterpret_cast<void (*)(void*, int)>(symbol("gtk_text_view_set_cursor_visible"));
    if (!textViewType || !binType || !isA || !child || !setCursorVisible) return;
    // wx keeps the text view inside a scrolled window.
    void* widget = box->GetHandle();
    while (widget != nullptr && !isA(widget, textViewType()))
        widget = isA(widget, binType()) ? child(widget) : nullptr;
    if (widget != nullptr) setCursorVisible(widget, 0);
#else
    (void)box;
#endif
}

// A text viewer that closes itself, modeless beside the main window.
class TextViewer : public TextViewDialog {
public:
    explicit TextViewer(wxWindow* parent) : TextViewDialog(parent) {
        Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_OK);
        Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    }
};

}  // namespace

MainView::MainView(MainFrame* frame, SessionDocument& doc, const HostAddress& endpoint,
                   ReceiverFactory makeReceiver)
    : wxPanel(frame, kMainViewId, wxDefaultPosition, FormSize(), wxTAB_TRAVERSAL | wxBORDER_NONE),
      frame_(frame),
      doc_(doc),
      session_(std::make_unique<SessionControl>(doc, endpoint, std::move(makeReceiver))),
      // The login thread's result crosses over through the frame's queue (which is made after this
      // view, and joined-for before it goes).
      keeper_(std::make_unique<SessionKeeper>(
          doc, *session_, countdown_,
          [frame](std::function<void()> task) { frame->UiThread().Post(std::move(task)); })) {
    keeper_->SetRefusedHandler([this] { frame_->UiThread().Post([this] { OnLogin(); }); });
    SetBackgroundColour(kFormGround);
    SetForegroundColour(kFormText);

    auto* logo = new wxGenericStaticBitmap(this, kLogoControl, LogoBitmap(Sized(215, 37).x, Sized(215, 37).y),
                                           At(38, 1), Sized(215, 37));
    logo->SetCursor(wxCursor(wxCURSOR_HAND));
    logo->SetToolTip(WxText(PortalBasePage(doc.PortalHost())));
    logo->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { OnLogoClick(); });

    statusBox_ = new wxTextCtrl(this, kStatusBox, wxEmptyString, At(14, 39), Sized(263, 106),
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_NO_VSCROLL | wxBORDER_SIMPLE);
    HideCaret(statusBox_);
    // Not sorted: every line goes in at the top, so the newest is first.
    messageList_ = new wxListBox(this, kMessageList, At(14, 149), Sized(263, 32), 0, nullptr,
                                 wxLB_SINGLE | wxLB_NEEDED_SB | wxBORDER_SIMPLE);
    for (wxWindow* control : {static_cast<wxWindow*>(statusBox_), static_cast<wxWindow*>(messageList_)}) {
        control->SetBackgroundColour(kFormGround);
        control->SetForegroundColour(kFormText);
    }
    // The list takes no selection.
    messageList_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
        if (event.GetSelection() != wxNOT_FOUND) messageList_->Deselect(event.GetSelection());
    });
}

MainView::~MainView() { ShutdownSession(); }

wxSize MainView::FormSize() { return Sized(292, 190); }

void MainView::ShutdownSession() {
    keeper_->UserActed();
    if (connect_) connect_->CancelConnect();
    if (session_) session_->Shutdown();
}

bool MainView::IsCommandEnabledNow(int commandId) const {
    // Logout also ends a reconnection's wait.
    if (commandId == cmd::kLogout && keeper_->Reconnecting()) return true;
    const SessionState session = doc_.Snapshot();
    return IsCommandEnabled(commandId, session.loginId, session.highBitrate);
}

void MainView::RunCommand(int commandId) {
    const CommandInfo* command = FindCommand(commandId);
    if (command == nullptr) return;
    switch (command->kind) {
        case CommandKind::Login:
            OnLogin();
            break;
        case CommandKind::Logout:
            OnLogout();
            break;
        case CommandKind::Request:
            SendCommand(doc_, *command);  // does nothing while logged out
            break;
        case CommandKind::PortalPage:
        case CommandKind::WebPage:
        case CommandKind::TuneIn:
            RunWebCommand(doc_, commandId, CurrentUrlOpener());
            break;
        case CommandKind::ServerLogs:
            OnServerLogs();
            break;
        case CommandKind::Nothing:
            break;
    }
}

LoginDialog& MainView::LoginWindow() {
    // One dialog for the whole run, made when it is first needed rather than at start-up.
    if (!connect_) {
        connect_ = new LoginDialog(frame_, *session_, &DesktopPasswordStore());
        // The Login command's last step runs when OK's connect has finished, not when ShowModal
        // returns: a test hook answers ShowModal before the connect is done.
        connect_->SetLoginFinished([this] { session_->LoginAccepted(); });
        connect_->SetLoginStarting([this] { keeper_->UserActed(); });
    }
    return *connect_;
}

void MainView::OnLogin() {
    LoginDialog& dialog = LoginWindow();
    if (dialog.IsShown()) {
        dialog.Raise();  // already open, e.g. Login again from the tray
        return;
    }
    dialog.ShowModal();
}

void MainView::OnLogout() {
    keeper_->UserActed();
    // A login still connecting is given up, so that it reports nothing afterwards.
    if (connect_) connect_->CancelConnect();
    try {
        session_->Logout();
    } catch (const BlockingSocketException& error) {
        wxMessageBox(WxText(error.GetErrorMessage()), kAppName, wxOK | wxICON_EXCLAMATION, frame_);
    }
}

void MainView::OnServerLogs() {
    const SessionState session = doc_.Snapshot();
    if (!session.LoggedIn()) {
        doc_.InsertMessage(kInvalidLoginMessage);
        return;
    }
    const BrowserResult shown =
        ShowBrowser(frame_, Tr(kServerLogsTitle),
                    WxText(ServerLogsAddress(session.userName, session.password, session.portalHost)));
#ifdef _WIN32
    // The Windows program is built without the embedded browser: the user's own shows the page.
    if (shown == BrowserResult::NoModule) {
        OpenServerLogsPage(doc_, CurrentUrlOpener());
        return;
    }
#endif
    if (shown != BrowserResult::Shown) {
        wxMessageBox(_("The server logs need a web browser engine, and none is installed on this system."),
                     kAppName, wxOK | wxICON_INFORMATION, frame_);
    }
}

void MainView::OnLogoClick() { OpenLogoPage(doc_, CurrentUrlOpener()); }

bool MainView::LoginAtStart() {
    wxString user;
    if (!wxConfigBase::Get()->Read(kUserNameKey, &user) || user.empty()) return false;
    const auto password = DesktopPasswordStore().Lookup(NarrowText(user));
    if (!password) {
        OnLogin();  // nothing kept to log in with: the user is asked
        return true;
    }
    keeper_->LoginAutomatically(NarrowText(user), *password);
    return true;
}

void MainView::OnSessionEvent(SessionEvent event) { keeper_->OnEvent(event); }

// ---------------------------------------------------------------------------------------------------
// The reconnection's countdown

MainView::CountdownTimer::CountdownTimer(MainView& view) : view_(view) {
    due_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        tick_.Stop();
        view_.frame_->SetStatusText(Tr(kReadyPrompt), 0);
        view_.keeper_->Due();
    });
    tick_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
}

void MainView::CountdownTimer::Start(std::chrono::milliseconds delay) {
    deadline_ = std::chrono::steady_clock::now() + delay;
    due_.StartOnce(static_cast<int>(std::max<std::int64_t>(delay.count(), 1)));
    tick_.Start(1000);
    Tick();
}

void MainView::CountdownTimer::Stop() {
    if (!due_.IsRunning() && !tick_.IsRunning()) return;
    due_.Stop();
    tick_.Stop();
    view_.frame_->SetStatusText(Tr(kReadyPrompt), 0);
}

void MainView::CountdownTimer::Tick() {
    const auto left = std::chrono::ceil<std::chrono::seconds>(deadline_ - std::chrono::steady_clock::now());
    view_.frame_->SetStatusText(
        wxString::Format(_("Reconnecting in %lld s..."),
                         static_cast<long long>(std::max<std::int64_t>(left.count(), 0))),
        0);
}

// ---------------------------------------------------------------------------------------------------
// SessionView

void MainView::InsertMessage(const std::string& line) {
    messageList_->Insert(WxText(line), 0);
    // The toolkit keeps the row that was on top where it is, which would leave the new line above
    // the visible part of the list.
    messageList_->SetFirstItem(0);
}

void MainView::ClearMessages() { messageList_->Clear(); }

void MainView::SetStatusText(const std::string& text) {
    // The report ends its lines with CR LF; the text control wants bare line feeds.
    wxString shown = WxText(text);
    shown.Replace("\r\n", "\n");
    // The keep-alive repeats the same report: the box is laid out and drawn again only when it says
    // something new.
    if (statusBox_->GetValue() != shown) statusBox_->ChangeValue(shown);
}

bool MainView::HasMainWindow() const { return frame_ != nullptr; }

void MainView::SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) {
    frame_->SetTrayIcon(operation, tip, iconId);
}

void MainView::NotifyStateChange(const StateNotice& notice) { frame_->ShowStateNotification(notice); }

void MainView::ShowDjLogs(const std::string& text) { ShowText(text); }
void MainView::ShowTvLogs(const std::string& text) { ShowText(text); }
void MainView::ShowAccountSummary(const std::string& text) { ShowText(text); }

void MainView::ShowText(const std::string& text) {
    // Each reply gets a viewer of its own beside the main window; a second log never replaces the
    // first one the user is still reading.
    auto* viewer = new TextViewer(frame_);
    viewer->m_text = WxText(text);
    viewer->TransferDataToWindow();
    viewer->Show();
}

bool MainView::EditServerConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&RunServerConfigDialog, model, stop);
}
bool MainView::EditAutoDJConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&RunAutoDJConfigDialog, model, stop);
}
bool MainView::EditAutoTVConfig(DialogModel& model, std::stop_token stop) {
    return EditConfig(&RunAutoTVConfigDialog, model, stop);
}

bool MainView::EditConfig(DialogRunner run, DialogModel& model, const std::stop_token& stop) {
    if (stop.stop_requested()) return false;
    // Cancel leaves the model as it was.
    DialogModel edited = model;
    if (!run(frame_, edited)) return false;
    model = std::move(edited);
    return true;
}

}  // namespace ostravel
