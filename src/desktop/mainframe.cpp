#include "desktop/mainframe.h"

#include <vector>

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/power.h>
#include <wx/settings.h>
#include <wx/statusbr.h>
#include <wx/stdpaths.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "config/preferences.h"
#include "desktop/aboutdialog.h"
#include "desktop/artwork.h"
#include "desktop/historywindow.h"
#include "desktop/mainbars.h"
#include "desktop/mainview.h"
#include "desktop/preferenceswindow.h"
#include "desktop/translations.h"
#include "desktop/uithreadview.h"
#include "desktop/wxtext.h"
#include "platform/autostart.h"
#include "platform/linux/sessionnotifier.h"
#include "protocol/commands.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

namespace ostravel {

namespace {

constexpr const char* kTrayContext = "tray";  // as the tray table marks its texts
constexpr int kClientWidth = 450;
constexpr int kClientHeight = 390;

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Tray icon

TrayIcon::TrayIcon(MainFrame& frame) : frame_(frame) {
    // wxGTK reports every press of the left button as a single click (its double-click event only
    // stands in for a click nobody handled), and the menu grabs the pointer as soon as it opens, so
    // a second click would only close it. The menu therefore waits out the double-click time: a
    // second press within it restores the window instead. A real double-click event (MSW) does the
    // same.
    clickTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { frame_.ShowTrayMenu(); });
    Bind(wxEVT_TASKBAR_LEFT_DOWN, [this](wxTaskBarIconEvent&) {
        if (clickTimer_.IsRunning()) {
            clickTimer_.Stop();
            frame_.RestoreFromTray();
            return;
        }
        clickTimer_.StartOnce(DoubleClickMilliseconds());
    });
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) {
        clickTimer_.Stop();
        frame_.RestoreFromTray();
    });
    Bind(wxEVT_TASKBAR_RIGHT_DOWN, [this](wxTaskBarIconEvent&) {
        clickTimer_.Stop();
        frame_.ShowTrayMenu();
    });
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent& event) {
            const int trayId = CommandFromWindowId(event.GetId());
            // Run it once the popup is gone: Exit destroys the frame that owns this icon.
            frame_.UiThread().Post([frame = &frame_, trayId] { frame->RunTrayEntry(trayId); });
        },
        kFirstWindowId, kLastWindowId);
}

TrayIcon::~TrayIcon() { clickTimer_.Stop(); }

int TrayIcon::DoubleClickMilliseconds() {
    const int interval = wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC);
    return interval > 0 ? interval : 400;  // the toolkits' usual default when none is set
}

// ---------------------------------------------------------------------------------------------------
// Frame

// Counts the modal dialogs whose loop is running, so that Exit never deletes one under its own
// loop: the frame then goes once the last of them has returned.
class MainFrame::ModalWatch : public wxModalDialogHook {
public:
    explicit ModalWatch(MainFrame& frame) : frame_(frame) { Register(); }
    int Open() const { return open_; }

protected:
    int Enter(wxDialog*) override {
        ++open_;
        return wxID_NONE;  // shown as usual
    }
    void Exit(wxDialog*) override {
        // Still inside the dialog's ShowModal: the frame goes from the outer loop.
        if (--open_ == 0 && frame_.exiting_) frame_.UiThread().Post([frame = &frame_] { frame->Destroy(); });
    }

private:
    MainFrame& frame_;
    int open_ = 0;
};

MainFrame::MainFrame(SessionDocument& doc, const HostAddress& endpoint, ReceiverFactory makeReceiver)
    // No sizing border and no maximize box: the window cannot be resized or maximized.
    : wxFrame(nullptr, wxID_ANY, kAppTitle, wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxCLIP_CHILDREN),
      doc_(doc),
      endpoint_(endpoint) {
    // The frame's control brush is black.
    SetBackgroundColour(*wxBLACK);
    SetIcons(IconBundle(kIconApplication));
    BuildMenuBar();
    BuildToolBar();
    CreateStatusBar(4);
    const int widths[] = {-1, 40, 40, 45};
    GetStatusBar()->SetStatusWidths(4, widths);
    SetStatusBarPane(0);
    SetStatusText(Tr(kReadyPrompt), 0);

    view_ = new MainView(this, doc, endpoint, std::move(makeReceiver));
    ui_ = std::make_unique<UiThreadView>(*view_);
    doc_.SetView(ui_.get());
    FitToForm();
    ApplySettings();

    tray_ = std::make_unique<TrayIcon>(*this);
    SetTrayIcon(TrayOperation::Add, kAppTitle, kIconApplication);
#ifdef __WXMSW__
    // Notices come from the program's own tray icon, not from a second one they would add.
    wxNotificationMessage::UseTaskBarIcon(tray_.get());
#endif

    Bind(wxEVT_MENU, &MainFrame::OnMenu, this, kFirstWindowId, kLastWindowId);
    Bind(wxEVT_UPDATE_UI, &MainFrame::OnUpdateUI, this, kFirstWindowId, kLastWindowId);
    Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
    Bind(wxEVT_IDLE, &MainFrame::OnIdle, this);
#ifdef wxHAS_POWER_EVENTS
    // Windows tells of a resume through the toolkit (elsewhere the system bus does, see Application).
    Bind(wxEVT_POWER_RESUME, [this](wxPowerEvent& event) {
        event.Skip();
        if (view_ != nullptr) view_->Keeper().CheckNow();
    });
#endif
    modal_ = std::make_unique<ModalWatch>(*this);
}

MainFrame::~MainFrame() {
    // Its pages apply their changes to this frame's session: they go first.
    preferences_.reset();
#ifdef __WXMSW__
    wxNotificationMessage::UseTaskBarIcon(nullptr);
#endif
    if (tray_) tray_->RemoveIcon();
    // The session's threads end before the queue they report through, and the queue before the
    // view it runs against (the frame's children go after it).
    if (view_ != nullptr) view_->ShutdownSession();
    doc_.SetView(nullptr);
    ui_.reset();
}

// ---------------------------------------------------------------------------------------------------
// The View menu's switches and the notifications

namespace {

#ifndef OSTRAVEL_APP_ID
#define OSTRAVEL_APP_ID "net.quenlor.Ostravel"
#endif
// The desktop's name for the program, which names its autostart entry and icon.
constexpr char kDesktopAppId[] = OSTRAVEL_APP_ID;

bool Shown(const wxWindow* bar) { return bar != nullptr && bar->IsShown(); }

}  // namespace

std::span<const MainFrame::ViewSwitch> MainFrame::ViewSwitches() {
    static constexpr ViewSwitch kSwitches[] = {
        {cmd::kViewToolbar, [](const MainFrame& frame) { return Shown(frame.GetToolBar()); },
         [](MainFrame& frame, bool on) { frame.ShowBar(frame.GetToolBar(), on); }},
        {cmd::kViewStatusBar, [](const MainFrame& frame) { return Shown(frame.GetStatusBar()); },
         [](MainFrame& frame, bool on) { frame.ShowBar(frame.GetStatusBar(), on); }},
        // Asked at every idle moment: the document holds the switch as applied from the settings.
        {cmd::kViewNotifyOnChange, [](const MainFrame& frame) { return frame.doc_.NotifyOnChange(); },
         [](MainFrame& frame, bool on) { frame.doc_.SetNotifyOnChange(on); }},
        {cmd::kViewAutoRefresh, [](const MainFrame& frame) { return frame.doc_.AutoRefresh(); },
         [](MainFrame& frame, bool on) { frame.doc_.SetAutoRefresh(on); }},
    };
    return kSwitches;
}

const MainFrame::ViewSwitch* MainFrame::FindViewSwitch(int id) {
    for (const ViewSwitch& viewSwitch : ViewSwitches()) {
        if (viewSwitch.id == id) return &viewSwitch;
    }
    return nullptr;
}

bool MainFrame::ToggleOn(int toggleId) const {
    const ToggleInfo* toggle = FindToggle(toggleId);
    if (toggle == nullptr) return false;
    SettingsFileStore store;
    return Preferences(store).Bool(toggle->settingKey);
}

void MainFrame::SetToggle(int toggleId, bool on) {
    if (FindToggle(toggleId) == nullptr) return;
    if (const ViewSwitch* viewSwitch = FindViewSwitch(toggleId)) Turn(*viewSwitch, on);
}

void MainFrame::Turn(const ViewSwitch& viewSwitch, bool on) {
    const ToggleInfo* toggle = FindToggle(viewSwitch.id);
    if (toggle != nullptr) {
        SettingsFileStore store;
        Preferences(store).SetBool(toggle->settingKey, on);
    }
    viewSwitch.turn(*this, on);
    if (toggle != nullptr) ShowKeptPreferences();  // the same setting on its page
}

void MainFrame::ShowBar(wxWindow* bar, bool on) {
    if (bar == nullptr) return;
    bar->Show(on);
    SendSizeEvent();
}

// ---------------------------------------------------------------------------------------------------
// Preferences

void MainFrame::ShowPreferences() {
    if (!preferences_) {
        preferences_ = std::make_unique<PreferencesWindow>([this](const char* key) { ApplySettings(key); },
                                                           WxText(FormatHostAddress(BuiltInServiceHost())));
    }
    preferences_->Show(this);
}

void MainFrame::ShowKeptPreferences() {
    if (preferences_) preferences_->ShowKeptValues();
}

void MainFrame::SetHistory(HistoryRecorder* recorder) {
    history_ = recorder;
    doc_.SetHistory(recorder);
}

void MainFrame::ShowHistory() {
    if (exiting_) return;
    // The logged-in account as the session names it; with nobody logged in, the one changed last.
    std::string account;
    if (view_ != nullptr && doc_.LoginId() != 0)
        account =
            HistoryStore::AccountKey(FormatHostAddress(view_->Session().Host()), doc_.Snapshot().userName);
    if (!historyWindow_) historyWindow_ = new HistoryWindow(this, HistoryFile(), history_);
    historyWindow_->ShowFor(std::move(account));
}

void MainFrame::SetRunHost(std::optional<HostAddress> host) {
    runHost_ = std::move(host);
    ApplySettings();
}

void MainFrame::ApplySettings(const char* changed) {
    SettingsFileStore store;
    Preferences kept(store);
    // The desktop's settings may have switched the entry off since: the box shows what is true.
    if (changed == nullptr && kept.Bool(pref::kStartWithDesktop) != AutostartEnabled(kDesktopAppId))
        kept.SetBool(pref::kStartWithDesktop, !kept.Bool(pref::kStartWithDesktop));
    for (const ViewSwitch& viewSwitch : ViewSwitches()) {
        if (const ToggleInfo* toggle = FindToggle(viewSwitch.id))
            viewSwitch.turn(*this, kept.Bool(toggle->settingKey));
    }
    doc_.SetShowSince(kept.Bool(pref::kShowSinceWhen));
    doc_.SetRefreshSeconds(kept.Int(pref::kRefreshIntervalSeconds));
    doc_.SetReconnect(kept.Bool(pref::kReconnect));
    // A text the pages refused never gets into the file; one written by hand that is no host gives
    // way to the built-in one.
    const auto portal = HostOfSetting(TextForm::PortalHost, kept.Text(pref::kPortalAddress), nullptr);
    doc_.SetPortalHost(portal ? PortalAuthority(*portal) : std::string(kBuiltInPortalHost));
    if (view_ != nullptr) {
        const auto host = HostOfSetting(TextForm::ServiceHost, kept.Text(pref::kServiceHost), nullptr);
        view_->Session().SetHost(runHost_ ? *runHost_ : host ? *host : endpoint_);
        view_->Session().SetConnectSeconds(kept.Int(pref::kConnectSeconds));
    }
    if (changed != nullptr && std::string_view(changed) == pref::kStartWithDesktop)
        ApplyAutostart(kept.Bool(pref::kStartWithDesktop));
}

void MainFrame::ApplyAutostart(bool on) {
    AutostartEntry entry{.appId = kDesktopAppId,
                         .name = kAppTitle,
                         .comment = NarrowText(_("Starts Ostravel hidden in the notification area")),
                         .exec = "ostravel",
                         .icon = kDesktopAppId,
                         .arguments = {"--hidden"}};
#ifdef __WXMSW__
    entry.exec = NarrowText(wxStandardPaths::Get().GetExecutablePath());  // the Run key wants a path
#endif
    std::string error;
    if (on ? WriteAutostart(entry, &error) : RemoveAutostart(entry.appId, &error)) return;
    // The entry is as it was: the setting says so, and so does the box on the page.
    SettingsFileStore store;
    Preferences(store).SetBool(pref::kStartWithDesktop, AutostartEnabled(entry.appId));
    ShowKeptPreferences();
    wxWindow* dialog = preferences_ ? preferences_->Dialog() : nullptr;
    wxMessageBox((on ? _("Ostravel could not be set to start when you log in.")
                     : _("Ostravel could not be kept from starting when you log in.")) +
                     "\n\n" + WxText(error),
                 kAppTitle, wxOK | wxICON_WARNING, dialog != nullptr ? dialog : this);
}

#ifndef __WXMSW__
namespace {

// A picture as the notifier takes it.
RgbaImage Rgba(wxImage image) {
    RgbaImage rgba;
    if (!image.IsOk()) return rgba;
    if (!image.HasAlpha()) image.InitAlpha();
    rgba.width = image.GetWidth();
    rgba.height = image.GetHeight();
    const std::size_t pixels = static_cast<std::size_t>(rgba.width) * rgba.height;
    rgba.bytes.resize(pixels * 4);
    const unsigned char* rgb = image.GetData();
    const unsigned char* alpha = image.GetAlpha();
    for (std::size_t i = 0; i < pixels; ++i) {
        rgba.bytes[i * 4] = rgb[i * 3];
        rgba.bytes[i * 4 + 1] = rgb[i * 3 + 1];
        rgba.bytes[i * 4 + 2] = rgb[i * 3 + 2];
        rgba.bytes[i * 4 + 3] = alpha[i];
    }
    return rgba;
}

}  // namespace
#endif

bool MainFrame::ShowStateNotification(const StateNotice& notice) {
    if (exiting_) return false;
    const bool warning = notice.state == 0 || notice.state == kStateSessionLost;
#ifdef __WXMSW__
    // Windows shows it from the notification area. A newer state replaces the older notice.
    if (notification_) notification_->Close();
    notification_ = std::make_unique<wxNotificationMessage>(WxText(notice.title), WxText(notice.text), this,
                                                            warning ? wxICON_WARNING : wxICON_INFORMATION);
    notification_->SetIcon(IconBundle(notice.icon).GetIcon(wxSize(32, 32)));
    if (!notification_->Show(wxNotificationMessage::Timeout_Auto)) return false;
#else
    // The desktop's notification service, under the program's own name, with the picture the tray
    // shows for the state; it replaces the older notice.
    if (!notifier_) notifier_ = std::make_unique<SessionNotifier>();
    const wxBitmap picture(IconBundle(notice.icon).GetIcon(wxSize(48, 48)));
    if (!notifier_->Show(notice.title, notice.text, Rgba(picture.ConvertToImage()),
                         warning ? NoticeLevel::Warning : NoticeLevel::Information))
        return false;
#endif
    ++notificationsShown_;
    return true;
}

void MainFrame::BuildMenuBar() {
    SetMenuBar(new MainMenuBar());
    // The shortcuts work before their menu was ever opened: the frame has them too.
    std::vector<wxAcceleratorEntry> keys;
    for (const MenuEntry& entry : MainMenu()) {
        wxAcceleratorEntry key;
        if (entry.accelerator != nullptr && key.FromString(entry.accelerator)) {
            key.Set(key.GetFlags(), key.GetKeyCode(), WindowIdFromCommand(entry.id));
            keys.push_back(key);
        }
    }
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
    auto* bar = static_cast<MainMenuBar*>(GetMenuBar());
    Bind(wxEVT_MENU_OPEN, [bar](wxMenuEvent& event) {
        event.Skip();  // the frame's own handler then enables the items
        bar->Fill(event.GetMenu());
    });
    // GTK has placed and sized a menu for no items by the time it tells of the opening: the items
    // are made as soon as the pointer or the menu keys come near the bar.
    bar->Bind(wxEVT_ENTER_WINDOW, [bar](wxMouseEvent& event) {
        event.Skip();
        bar->FillAll();
    });
    Bind(wxEVT_CHAR_HOOK, [bar](wxKeyEvent& event) {
        event.Skip();
        if (event.AltDown() || event.GetKeyCode() == WXK_ALT || event.GetKeyCode() == WXK_F10) bar->FillAll();
    });
}

void MainFrame::BuildToolBar() {
    CompactToolbars();
    wxToolBar* bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TOP | wxTB_NODIVIDER, kToolbarId);
    bar->SetToolBitmapSize(wxSize(kToolbarGlyphSize, kToolbarGlyphSize));
    bar->SetMargins(0, 0);
    bar->SetToolPacking(0);
    for (const int id : ToolbarButtons()) {
        if (id == 0) {
            bar->AddSeparator();
            continue;
        }
        const wxString prompt = PromptOf(id);
        bar->AddTool(WindowIdFromCommand(id), wxEmptyString, ToolbarGlyph(id), prompt);
        bar->SetToolLongHelp(WindowIdFromCommand(id), prompt);
    }
    bar->Realize();
    NameToolButtons(bar);
}

void MainFrame::FitToForm() {
    // The client area starts at 450 by 390 (bars included) and shrinks to the form, never grows.
    const wxSize form = MainView::FormSize();
    int bars = 0;
    if (GetToolBar() != nullptr && GetToolBar()->IsShown()) bars += GetToolBar()->GetSize().y;
    if (GetStatusBar() != nullptr && GetStatusBar()->IsShown()) bars += GetStatusBar()->GetSize().y;
    const wxSize client(std::min(kClientWidth, form.x), std::min(kClientHeight - bars, form.y));
    SetClientSize(client);
    const wxSize outer = GetSize();
    SetSizeHints(outer, outer);
}

bool MainFrame::TrayAvailable() const { return wxTaskBarIcon::IsAvailable(); }

bool MainFrame::SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) {
    if (!tray_) return false;
    if (operation == TrayOperation::Delete) {
        trayShown_ = false;
        return tray_->RemoveIcon();
    }
    // A change to an icon that is gone fails, as the shell's does, rather than putting it back: the
    // log-off that Exit causes reports "Logged Off" after Exit has removed the icon.
    if ((operation == TrayOperation::Modify && !trayShown_) || exiting_) return false;
    std::string shownTip = TrayTip(tip);
    // Every status report says the state again (the keep-alive every few seconds): an icon that
    // stays as it is is neither drawn again nor handed to the notification area again.
    if (operation == TrayOperation::Modify && iconId == trayIconId_ && shownTip == trayTip_) return true;
    trayTip_ = std::move(shownTip);
    trayIconId_ = iconId;
    trayShown_ = true;
    ++trayHandovers_;
    return tray_->SetIcon(wxBitmapBundle::FromIconBundle(IconBundle(iconId)), WxText(trayTip_));
}

std::unique_ptr<wxMenu> MainFrame::BuildTrayMenu() const {
    const SessionState session = doc_.Snapshot();
    auto menu = std::make_unique<wxMenu>();
    wxMenu* popup = menu.get();
    for (const TrayEntry& entry : TrayMenu()) {
        if (entry.depth == 0) popup = menu.get();
        if (entry.text == nullptr) {
            menu->AppendSeparator();
        } else if (entry.id == 0) {
            popup = new wxMenu();
            menu->AppendSubMenu(popup, Tr(kTrayContext, entry.text));
        } else {
            wxMenuItem* item = popup->Append(WindowIdFromCommand(entry.id), Tr(kTrayContext, entry.text));
            // Logout also ends a reconnection's wait, as the view decides.
            const bool logout = entry.viewCommand == cmd::kLogout && view_ != nullptr;
            item->Enable(logout ? view_->IsCommandEnabledNow(cmd::kLogout)
                                : IsTrayEntryEnabled(entry.id, session.loginId, session.highBitrate));
        }
    }
    return menu;
}

void MainFrame::ShowTrayMenu() {
    std::unique_ptr<wxMenu> menu = BuildTrayMenu();
    tray_->PopupMenu(menu.get());
}

void MainFrame::RunTrayEntry(int trayId) {
    for (const TrayEntry& entry : TrayMenu()) {
        if (entry.id != trayId) continue;
        if (entry.viewCommand != 0) {
            // Straight to the view's handler: the menu's enabling is not asked again.
            if (view_ != nullptr) view_->RunCommand(entry.viewCommand);
        } else if (trayId == cmd::kTrayHistory) {
            ShowHistory();
        } else if (trayId == cmd::kTrayOpen) {
            RestoreFromTray();
        } else if (trayId == cmd::kTrayExit) {
            ExitProgram();
        }
        return;
    }
}

void MainFrame::RestoreFromTray() {
    if (IsIconized()) Iconize(false);
    Show(true);
    Raise();
    SetFocus();
}

void MainFrame::ExitProgram() {
    if (exiting_) return;
    exiting_ = true;
    SetTrayIcon(TrayOperation::Delete, kAppTitle, kIconApplication);
    if (view_ != nullptr) {
        view_->OnLogout();
        view_->ShutdownSession();
    }
    if (processEnd_ && modal_->Open() == 0) {
        // Nothing of the session is left running: the window goes from the screen at once, and
        // the process ends without destroying the menus, toolbar and view one widget at a time.
        Hide();
        processEnd_();
        return;
    }
    DestroyWhenDialogsClosed();
}

void MainFrame::DestroyWhenDialogsClosed() {
    // Exit can come while a modal dialog runs its own loop (the tray's Exit, the desktop session
    // ending): the dialog is ended, and deleting it under that loop would crash.
    if (modal_->Open() == 0) {
        Destroy();
        return;
    }
    for (wxWindow* window : wxTopLevelWindows) {
        auto* dialog = dynamic_cast<wxDialog*>(window);
        if (dialog != nullptr && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
    }
}

void MainFrame::OnClose(wxCloseEvent& event) {
    if (!exiting_ && event.CanVeto()) {
        // The close box only hides the window to the tray; without a tray it is minimized, so
        // the program stays reachable.
        if (TrayAvailable()) {
            Hide();
        } else {
            Iconize(true);
        }
        event.Veto();
        return;
    }
    ExitProgram();
}

void MainFrame::OnMenu(wxCommandEvent& event) {
    const int commandId = CommandFromWindowId(event.GetId());
    if (const ViewSwitch* viewSwitch = FindViewSwitch(commandId)) {
        Turn(*viewSwitch, !viewSwitch->isOn(*this));
        return;
    }
    // A shortcut comes here without its menu item's say: a disabled command does nothing.
    if (FindCommand(commandId) != nullptr && view_ != nullptr && !view_->IsCommandEnabledNow(commandId))
        return;
    switch (commandId) {
        case cmd::kAppExit:
            ExitProgram();
            return;
        case cmd::kAppPreferences:
            ShowPreferences();
            return;
        case cmd::kAccountHistory:
            ShowHistory();
            return;
        case cmd::kAppAbout: {
            AboutDialog about(this);
            about.ShowModal();
            return;
        }
        default:
            if (view_ != nullptr) view_->RunCommand(commandId);
    }
}

void MainFrame::OnUpdateUI(wxUpdateUIEvent& event) {
    const int commandId = CommandFromWindowId(event.GetId());
    if (const ViewSwitch* viewSwitch = FindViewSwitch(commandId)) {
        event.Check(viewSwitch->isOn(*this));
    } else if (FindCommand(commandId) != nullptr && view_ != nullptr) {
        event.Enable(view_->IsCommandEnabledNow(commandId));
    }
}

void MainFrame::OnIdle(wxIdleEvent& event) {
    event.Skip();
    wxStatusBar* bar = GetStatusBar();
    if (bar == nullptr) return;
    // The lock indicators show their text while the lock is on.
    const struct {
        int pane;
        wxKeyCode key;
        const char* text;
    } indicators[] = {{1, WXK_CAPITAL, "CAP"}, {2, WXK_NUMLOCK, "NUM"}, {3, WXK_SCROLL, "SCRL"}};
    for (const auto& indicator : indicators) {
        const wxString text = wxGetKeyState(indicator.key) ? indicator.text : "";
        if (bar->GetStatusText(indicator.pane) != text) bar->SetStatusText(text, indicator.pane);
    }
}

}  // namespace ostravel
