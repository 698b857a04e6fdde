// The main frame: fixed size, the menu bar, the toolbar, the status bar, and the tray icon with its
// menu. UI thread only: it owns the UiThreadView through which the session's threads reach the view.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/notifmsg.h>
#include <wx/taskbar.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "net/hostaddress.h"
#include "platform/notifier.h"
#include "session/sessioncontrol.h"
#include "session/sessionview.h"

namespace ostravel {

class SessionDocument;
class MainView;
class MainFrame;
class UiThreadView;
class PreferencesWindow;
class HistoryRecorder;
class HistoryWindow;

// The notification-area icon; its clicks come back to the frame.
class TrayIcon : public wxTaskBarIcon {
public:
    explicit TrayIcon(MainFrame& frame);
    ~TrayIcon() override;

    // How long a single click waits for a second one before the menu opens.
    static int DoubleClickMilliseconds();

private:
    MainFrame& frame_;
    wxTimer clickTimer_;
};

class MainFrame : public wxFrame {
public:
    MainFrame(SessionDocument& doc, const HostAddress& endpoint, ReceiverFactory makeReceiver);
    ~MainFrame() override;

    MainView* GetActiveView() const { return view_; }
    // What the session is given as its view, and the way onto the UI thread for everybody else.
    UiThreadView& UiThread() const { return *ui_; }

    // Adds, changes or removes the tray icon.
    bool SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId);
    // What the tray shows now (for the status checks and tests).
    bool TrayIconShown() const { return trayShown_; }
    int TrayIconId() const { return trayIconId_; }
    const std::string& TrayTipText() const { return trayTip_; }
    // How many times an icon was handed to the notification area.
    int TrayIconHandovers() const { return trayHandovers_; }
    bool TrayAvailable() const;
    TrayIcon* Tray() const { return tray_.get(); }

    // The tray menu, each entry enabled as its command is now.
    std::unique_ptr<wxMenu> BuildTrayMenu() const;
    void ShowTrayMenu();
    void RunTrayEntry(int trayId);
    // The double click on the tray icon, and "Open Ostravel".
    void RestoreFromTray();
    // "Exit" of the File and tray menus: the icon goes, the session logs out, the frame closes.
    void ExitProgram();
    // Set by the program (not by tests that open frames of their own): once the session is closed
    // and no dialog runs, Exit hides the window and calls `end`, which ends the process without
    // taking every window apart first.
    void SetProcessEnd(std::function<void()> end) { processEnd_ = std::move(end); }

    // The extensions' switches of the View menu, as the settings keep them (wxConfigBase::Get()).
    bool ToggleOn(int toggleId) const;
    // Keeps the switch in the settings and applies it.
    void SetToggle(int toggleId, bool on);

    // File > Preferences: opens the window, or brings it to the front.
    void ShowPreferences();
    // The Preferences window, once opened (for tests).
    PreferencesWindow* PreferencesEditor() const { return preferences_.get(); }
    // An open Preferences window shows the kept values again, after they were changed elsewhere.
    void ShowKeptPreferences();
    // The service host that an empty "Connection/ServiceHost" stands for: the address the frame was
    // made with.
    HostAddress BuiltInServiceHost() const { return endpoint_; }
    // This run's service host instead of the setting's (--host), or none: kept through every later
    // change of the preferences; the login dialog's Host field, left empty, means it.
    void SetRunHost(std::optional<HostAddress> host);
    const std::optional<HostAddress>& RunHost() const { return runHost_; }
    // What an empty Host field in the login dialog stands for: the run's host, else the built-in one.
    HostAddress DefaultServiceHost() const { return runHost_ ? *runHost_ : endpoint_; }
    // The station history the program keeps (not owned: it outlives the frame and the session),
    // handed on to the session; nullptr: none is kept.
    void SetHistory(HistoryRecorder* recorder);
    // Account > Station History and the tray's entry: opens the window, or brings it to the front,
    // showing the logged-in account.
    void ShowHistory();
    HistoryWindow* HistoryViewer() const { return historyWindow_; }
    // Announces a change of state through the desktop's notification service (from the UI thread).
    // False when there is none to show it.
    bool ShowStateNotification(const StateNotice& notice);
    // How many notifications were handed to the service (for tests).
    int NotificationsShown() const { return notificationsShown_; }

private:
    void BuildMenuBar();
    void BuildToolBar();
    void OnMenu(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void FitToForm();
    void DestroyWhenDialogsClosed();
    // The preferences into the session document and the session, at start (`changed` nullptr) and
    // after the preference `changed` was stored. The desktop's autostart entry is only touched when
    // its own setting changed.
    void ApplySettings(const char* changed = nullptr);
    // Adds or removes the autostart entry; on failure says so once and puts the setting back.
    void ApplyAutostart(bool on);

    // A check item of the View menu with its action.
    struct ViewSwitch {
        int id;
        bool (*isOn)(const MainFrame& frame);     // what its check mark shows
        void (*turn)(MainFrame& frame, bool on);  // what choosing it does
    };
    static std::span<const ViewSwitch> ViewSwitches();
    static const ViewSwitch* FindViewSwitch(int id);
    // Turns a switch, keeping it in the settings when they keep it.
    void Turn(const ViewSwitch& viewSwitch, bool on);
    void ShowBar(wxWindow* bar, bool on);

    class ModalWatch;

    SessionDocument& doc_;
    HostAddress endpoint_;
    std::optional<HostAddress> runHost_;
    MainView* view_ = nullptr;
    std::unique_ptr<UiThreadView> ui_;
    std::unique_ptr<TrayIcon> tray_;
    bool trayShown_ = false;
    int trayIconId_ = 0;
    std::string trayTip_;
    int trayHandovers_ = 0;
    bool exiting_ = false;
    std::function<void()> processEnd_;
    std::unique_ptr<ModalWatch> modal_;
#ifdef __WXMSW__
    std::unique_ptr<wxNotificationMessage> notification_;  // the last one shown
#else
    std::unique_ptr<Notifier> notifier_;  // made at the first notice
#endif
    int notificationsShown_ = 0;
    std::unique_ptr<PreferencesWindow> preferences_;
    HistoryRecorder* history_ = nullptr;
    wxWeakRef<HistoryWindow> historyWindow_;  // a child, destroyed when closed
};

}  // namespace ostravel
