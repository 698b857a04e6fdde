#include "app/mainfrm.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/statusbr.h>
#include <wx/thread.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

#include "app/aboutdlg.h"
#include "app/shellrules.h"
#include "app/zandreldoc.h"
#include "app/zandrelview.h"
#include "protocol/commands.h"
#include "res/artwork.h"
#include "ui/wxtext.h"

namespace ostravel {

namespace {

constexpr int kClientWidth = 450;
constexpr int kClientHeight = 390;

wxString PromptOf(int commandId) {
    const CommandInfo* command = FindCommand(commandId);
    return command != nullptr && command->prompt != nullptr ? wxString(command->prompt) : wxString();
}

// GTK pads toolbar buttons and menu titles generously; nineteen 20-pixel buttons and eight menus
// must fit a 450-pixel window. The
// style goes in through GTK's own functions, looked up in the already loaded toolkit.
void CompactToolbars() {
#ifdef __WXGTK3__
    static bool applied = false;
    if (applied) return;
    applied = true;
    using NewProvider = void* (*)();
    using LoadData = int (*)(void*, const char*, long, void**);
    using DefaultScreen = void* (*)();
    using AddProvider = void (*)(void*, void*, unsigned);
    using Unref = void (*)(void*);
    const auto newProvider = reinterpret_cast<NewProvider>(dlsym(RTLD_DEFAULT, "gtk_css_provider_new"));
    const auto loadData =
        reinterpret_cast<LoadData>(dlsym(RTLD_DEFAULT, "gtk_css_provider_load_from_data"));
    const auto defaultScreen = reinterpret_cast<DefaultScreen>(dlsym(RTLD_DEFAULT, "gdk_screen_get_default"));
    const auto addProvider =
        reinterpret_cast<AddProvider>(dlsym(RTLD_DEFAULT, "gtk_style_context_add_provider_for_screen"));
    const auto unref = reinterpret_cast<Unref>(dlsym(RTLD_DEFAULT, "g_object_unref"));
    if (!newProvider || !loadData || !defaultScreen || !addProvider || !unref) return;
    void* screen = defaultScreen();
    if (screen == nullptr) return;
    void* css = newProvider();
    static const char kStyle[] =
        "toolbar { padding: 0; }"
        "toolbar button { padding: 1px; min-width: 0; min-height: 0; }"
        "toolbar separator { margin: 0 3px; }"
        "menubar > menuitem { padding: 4px 5px; }";
    loadData(css, kStyle, -1, nullptr);
    constexpr unsigned kApplicationPriority = 600;  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION
    addProvider(screen, css, kApplicationPriority);
    unref(css);
#endif
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Tray icon

CTrayIcon::CTrayIcon(CMainFrame& frame) : frame_(frame) {
    Bind(wxEVT_TASKBAR_LEFT_DOWN, [this](wxTaskBarIconEvent&) { frame_.ShowTrayMenu(); });
    Bind(wxEVT_TASKBAR_RIGHT_DOWN, [this](wxTaskBarIconEvent&) { frame_.ShowTrayMenu(); });
    Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) { frame_.RestoreFromTray(); });
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
        const int trayId = CommandFromWindowId(event.GetId());
        // Run it once the popup is gone: Exit destroys the frame that owns this icon.
        frame_.CallAfter([frame = &frame_, trayId] { frame->RunTrayEntry(trayId); });
    }, kFirstWindowId, kLastWindowId);
}

// ---------------------------------------------------------------------------------------------------
// Frame

// Counts the modal dialogs whose loop is running, so that Exit never deletes one under its own
// loop: the frame then goes once the last of them has returned.
class CMainFrame::ModalWatch : public wxModalDialogHook {
public:
    explicit ModalWatch(CMainFrame& frame) : frame_(frame) { Register(); }
    int Open() const { return open_; }

protected:
    int Enter(wxDialog*) override {
        ++open_;
        return wxID_NONE;  // shown as usual
    }
    void Exit(wxDialog*) override {
        // Still inside the dialog's ShowModal: the frame goes from the outer loop.
        if (--open_ == 0 && frame_.exiting_) frame_.CallAfter([frame = &frame_] { frame->Destroy(); });
    }

private:
    CMainFrame& frame_;
    int open_ = 0;
};

CMainFrame::CMainFrame(CzandrelDoc& doc, const CSocketAddress& endpoint, ReceiverFactory makeReceiver)
    // No sizing border and no maximize box: the window cannot be resized or maximized.
    : wxFrame(nullptr, wxID_ANY, kAppTitle, wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxCLIP_CHILDREN),
      doc_(doc) {
    // The frame's control brush is black.
    SetBackgroundColour(*wxBLACK);
    SetIcons(IconBundle(kIconApplication));
    BuildMenuBar();
    BuildToolBar();
    CreateStatusBar(4);
    const int widths[] = {-1, 40, 40, 45};
    GetStatusBar()->SetStatusWidths(4, widths);
    SetStatusBarPane(0);
    SetStatusText(kReadyPrompt, 0);

    view_ = new CzandrelView(this, doc, endpoint, std::move(makeReceiver));
    FitToForm();

    tray_ = std::make_unique<CTrayIcon>(*this);
    SetTrayIcon(TrayOperation::Add, kAppTitle, kIconApplication);

    Bind(wxEVT_MENU, &CMainFrame::OnMenu, this, kFirstWindowId, kLastWindowId);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateUI, this, kFirstWindowId, kLastWindowId);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    modal_ = std::make_unique<ModalWatch>(*this);
}

CMainFrame::~CMainFrame() {
    if (tray_) tray_->RemoveIcon();
}

void CMainFrame::BuildMenuBar() {
    auto* bar = new wxMenuBar();
    wxMenu* popups[3] = {nullptr, nullptr, nullptr};  // the open popup at each depth
    wxString title;
    for (const MenuEntry& entry : MainMenu()) {
        if (entry.depth == 0) {
            popups[0] = new wxMenu();
            bar->Append(popups[0], entry.text);
            continue;
        }
        wxMenu* parent = popups[entry.depth - 1];
        if (entry.text == nullptr) {
            parent->AppendSeparator();
        } else if (entry.id == 0) {
            popups[entry.depth] = new wxMenu();
            parent->AppendSubMenu(popups[entry.depth], entry.text);
        } else if (entry.id == cmd::kViewToolbar || entry.id == cmd::kViewStatusBar) {
            parent->AppendCheckItem(WindowIdFromCommand(entry.id), entry.text,
                                    entry.id == cmd::kViewToolbar ? "Show or hide the toolbar"
                                                                  : "Show or hide the status bar");
        } else {
            wxString help = PromptOf(entry.id);
            if (entry.id == cmd::kAppExit) help = "Quit the application";
            if (entry.id == cmd::kAppAbout) help = "Display program information";
            parent->Append(WindowIdFromCommand(entry.id), entry.text, help);
        }
    }
    SetMenuBar(bar);
}

void CMainFrame::BuildToolBar() {
    CompactToolbars();
    wxToolBar* bar = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT | wxTB_TOP | wxTB_NODIVIDER,
                                   kToolbarResource);
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
}

void CMainFrame::FitToForm() {
    // The client area starts at 450 by 390 (bars included) and shrinks to the form, never grows.
    const wxSize form = CzandrelView::FormSize();
    int bars = 0;
    if (GetToolBar() != nullptr && GetToolBar()->IsShown()) bars += GetToolBar()->GetSize().y;
    if (GetStatusBar() != nullptr && GetStatusBar()->IsShown()) bars += GetStatusBar()->GetSize().y;
    const wxSize client(std::min(kClientWidth, form.x), std::min(kClientHeight - bars, form.y));
    SetClientSize(client);
    const wxSize outer = GetSize();
    SetSizeHints(outer, outer);
}

bool CMainFrame::TrayAvailable() const { return wxTaskBarIcon::IsAvailable(); }

bool CMainFrame::SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) {
    if (!wxIsMainThread()) {
        CallAfter([this, operation, tip, iconId] { SetTrayIcon(operation, tip, iconId); });
        return true;
    }
    if (!tray_) return false;
    if (operation == TrayOperation::Delete) {
        trayShown_ = false;
        return tray_->RemoveIcon();
    }
    trayTip_ = TrayTip(tip);
    trayIconId_ = iconId;
    trayShown_ = true;
    return tray_->SetIcon(wxBitmapBundle::FromIconBundle(IconBundle(iconId)), WxText(trayTip_));
}

std::unique_ptr<wxMenu> CMainFrame::BuildTrayMenu() const {
    const SessionState session = doc_.Snapshot();
    auto menu = std::make_unique<wxMenu>();
    wxMenu* popup = menu.get();
    for (const TrayEntry& entry : TrayMenu()) {
        if (entry.depth == 0) popup = menu.get();
        if (entry.text == nullptr) {
            menu->AppendSeparator();
        } else if (entry.id == 0) {
            popup = new wxMenu();
            menu->AppendSubMenu(popup, entry.text);
        } else {
            wxMenuItem* item = popup->Append(WindowIdFromCommand(entry.id), entry.text);
            item->Enable(IsTrayEntryEnabled(entry.id, session.loginId, session.highBitrate));
        }
    }
    return menu;
}

void CMainFrame::ShowTrayMenu() {
    std::unique_ptr<wxMenu> menu = BuildTrayMenu();
    tray_->PopupMenu(menu.get());
}

void CMainFrame::RunTrayEntry(int trayId) {
    for (const TrayEntry& entry : TrayMenu()) {
        if (entry.id != trayId) continue;
        if (entry.viewCommand != 0) {
            // Straight to the view's handler: the menu's enabling is not asked again.
            if (view_ != nullptr) view_->RunCommand(entry.viewCommand);
        } else if (trayId == cmd::kTrayOpen) {
            RestoreFromTray();
        } else if (trayId == cmd::kTrayExit) {
            ExitProgram();
        }
        return;
    }
}

void CMainFrame::RestoreFromTray() {
    if (IsIconized()) Iconize(false);
    Show(true);
    Raise();
    SetFocus();
}

void CMainFrame::ExitProgram() {
    if (exiting_) return;
    exiting_ = true;
    SetTrayIcon(TrayOperation::Delete, kAppTitle, kIconApplication);
    if (view_ != nullptr) {
        view_->OnLogout();
        view_->ShutdownSession();
    }
    DestroyWhenDialogsClosed();
}

void CMainFrame::DestroyWhenDialogsClosed() {
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

void CMainFrame::OnClose(wxCloseEvent& event) {
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

void CMainFrame::OnMenu(wxCommandEvent& event) {
    const int commandId = CommandFromWindowId(event.GetId());
    switch (commandId) {
        case cmd::kAppExit:
            ExitProgram();
            return;
        case cmd::kAppAbout: {
            CAboutDlg about(this);
            about.ShowModal();
            return;
        }
        case cmd::kViewToolbar:
        case cmd::kViewStatusBar: {
            wxWindow* bar = commandId == cmd::kViewToolbar ? static_cast<wxWindow*>(GetToolBar())
                                                           : static_cast<wxWindow*>(GetStatusBar());
            if (bar != nullptr) {
                bar->Show(!bar->IsShown());
                SendSizeEvent();
            }
            return;
        }
        default:
            if (view_ != nullptr) view_->RunCommand(commandId);
    }
}

void CMainFrame::OnUpdateUI(wxUpdateUIEvent& event) {
    const int commandId = CommandFromWindowId(event.GetId());
    if (commandId == cmd::kViewToolbar) {
        event.Check(GetToolBar() != nullptr && GetToolBar()->IsShown());
    } else if (commandId == cmd::kViewStatusBar) {
        event.Check(GetStatusBar() != nullptr && GetStatusBar()->IsShown());
    } else if (FindCommand(commandId) != nullptr && view_ != nullptr) {
        event.Enable(view_->IsCommandEnabledNow(commandId));
    }
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
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
