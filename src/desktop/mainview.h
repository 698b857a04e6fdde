// The main view: the logo, the status box and the message list, newest line on top. It owns the
// commands of the menus, toolbar and tray menu, and shows what the session tells it. UI thread only:
// the session's threads reach it through the frame's UiThreadView.
#pragma once

#include <memory>
#include <string>

#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "desktop/logindialog.h"
#include "session/sessioncontrol.h"
#include "session/sessionkeeper.h"
#include "session/sessionview.h"

namespace ostravel {

class SessionDocument;
class MainFrame;

inline constexpr int kMainViewId = 101;
inline constexpr int kLogoControl = 1003;
inline constexpr int kStatusBox = 1012;
inline constexpr int kMessageList = 1010;

class MainView : public wxPanel, public SessionView {
public:
    MainView(MainFrame* frame, SessionDocument& doc, const HostAddress& endpoint,
             ReceiverFactory makeReceiver);
    ~MainView() override;

    SessionDocument& GetDocument() const { return doc_; }
    SessionControl& Session() { return *session_; }
    SessionKeeper& Keeper() { return *keeper_; }
    LoginDialog& LoginWindow();
    wxListBox* MessageList() const { return messageList_; }
    wxTextCtrl* StatusBox() const { return statusBox_; }
    // The form's size in pixels (the frame shrinks to it).
    static wxSize FormSize();

    // Every command of the catalogue, by its catalogue id.
    void RunCommand(int commandId);
    bool IsCommandEnabledNow(int commandId) const;
    void OnLogin();
    void OnLogout();
    void OnServerLogs();
    void OnLogoClick();
    // Logs in with the remembered user name and password, without the dialog; the dialog opens when
    // there is no password kept or the host refuses it. False when nothing was remembered.
    bool LoginAtStart();
    // Logs out and ends every receiver; the frame's last step before it goes.
    void ShutdownSession();

    // SessionView, on the UI thread.
    void InsertMessage(const std::string& line) override;
    void ClearMessages() override;
    void SetStatusText(const std::string& text) override;
    bool HasMainWindow() const override;
    void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) override;
    void ShowDjLogs(const std::string& text) override;
    void ShowTvLogs(const std::string& text) override;
    void ShowAccountSummary(const std::string& text) override;
    bool EditServerConfig(DialogModel& model, std::stop_token stop) override;
    bool EditAutoDJConfig(DialogModel& model, std::stop_token stop) override;
    bool EditAutoTVConfig(DialogModel& model, std::stop_token stop) override;
    void NotifyStateChange(const StateNotice& notice) override;
    void OnSessionEvent(SessionEvent event) override;

private:
    // Waits out the keeper's delays, counting them down in the status bar.
    class CountdownTimer : public ReconnectTimer {
    public:
        explicit CountdownTimer(MainView& view);
        void Start(std::chrono::milliseconds delay) override;
        void Stop() override;

    private:
        void Tick();
        MainView& view_;
        wxTimer due_, tick_;
        std::chrono::steady_clock::time_point deadline_;
    };

    using DialogRunner = bool (*)(wxWindow*, DialogModel&);
    void ShowText(const std::string& text);
    bool EditConfig(DialogRunner run, DialogModel& model, const std::stop_token& stop);

    MainFrame* frame_;
    SessionDocument& doc_;
    std::unique_ptr<SessionControl> session_;
    CountdownTimer countdown_{*this};
    std::unique_ptr<SessionKeeper> keeper_;
    wxWeakRef<LoginDialog> connect_;  // owned by the frame, like every top-level child
    wxListBox* messageList_ = nullptr;
    wxTextCtrl* statusBox_ = nullptr;
};

}  // namespace ostravel
