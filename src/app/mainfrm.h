// The main frame: fixed size, menu 128, toolbar 147, status bar, and the tray icon with menu 140.
#pragma once

#include <memory>
#include <string>

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/timer.h>

#include "app/login.h"
#include "app/sessionview.h"

namespace ostravel {

class CzandrelDoc;
class CzandrelView;
class CMainFrame;

inline constexpr int kTrayIconIdentifier = 666;
inline constexpr int kMainMenuResource = 128;
inline constexpr int kTrayMenuResource = 140;

// The notification-area icon; its clicks come back to the frame.
class CTrayIcon : public wxTaskBarIcon {
public:
    explicit CTrayIcon(CMainFrame& frame);
    ~CTrayIcon() override;

    // How long a single click waits for a second one before the menu opens.
    static int DoubleClickMilliseconds();

private:
    CMainFrame& frame_;
    wxTimer clickTimer_;
};

class CMainFrame : public wxFrame {
public:
    CMainFrame(CzandrelDoc& doc, const CSocketAddress& endpoint, ReceiverFactory makeReceiver);
    ~CMainFrame() override;

    CzandrelView* GetActiveView() const { return view_; }

    // Adds, changes or removes the tray icon; from any thread (other threads' calls are queued).
    bool SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId);
    // What the tray shows now (for the status checks and tests).
    bool TrayIconShown() const { return trayShown_; }
    int TrayIconId() const { return trayIconId_; }
    const std::string& TrayTipText() const { return trayTip_; }
    bool TrayAvailable() const;
    CTrayIcon* TrayIcon() const { return tray_.get(); }

    // Menu 140 with the session's enabling applied.
    std::unique_ptr<wxMenu> BuildTrayMenu() const;
    void ShowTrayMenu();
    void RunTrayEntry(int trayId);
    // The double click on the tray icon, and "Open Ostravel".
    void RestoreFromTray();
    // "Exit" of the File and tray menus: the icon goes, the session logs out, the frame closes.
    void ExitProgram();

private:
    void BuildMenuBar();
    void BuildToolBar();
    void OnMenu(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void FitToForm();
    void DestroyWhenDialogsClosed();

    class ModalWatch;

    CzandrelDoc& doc_;
    CzandrelView* view_ = nullptr;
    std::unique_ptr<CTrayIcon> tray_;
    bool trayShown_ = false;
    int trayIconId_ = 0;
    std::string trayTip_;
    bool exiting_ = false;
    std::unique_ptr<ModalWatch> modal_;
};

}  // namespace ostravel
