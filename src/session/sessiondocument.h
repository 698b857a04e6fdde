// The session document: who is logged in, the service connection, what the last status report said.
// Shared by the UI thread and the receiver thread; every field is read and written under one lock,
// which is never held while calling the socket or the view.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <stop_token>
#include <string>
#include <string_view>

#include "config/preferences.h"
#include "config/settings.h"
#include "history/historyrecorder.h"
#include "net/blockingsocket.h"
#include "net/hostaddress.h"
#include "session/sessionview.h"

namespace ostravel {

// The fields that make up the login session, copied out under the lock.
struct SessionState {
    int loginId = 0;           // 0: not logged in
    bool highBitrate = false;  // last status report gave a maximum bitrate of 250 or more
    std::string userName = " ";
    std::string password = " ";
    std::string streamIp;
    std::string streamPort;
    int serverState = 3;  // 0 down, 1 up without stream, 2 up and public, 3 unknown
    bool disconnected = true;
    // host[:port] of the web portal; a setting, kept across log-offs.
    std::string portalHost = kBuiltInPortalHost;

    bool LoggedIn() const { return loginId != 0; }
};

// The hosted services' configurations, kept for the whole run.
struct SettingsRecords {
    ServerSettings server;
    AutoDJSettings autoDJ;
    AutoTVSettings autoTV;
};

class SessionDocument {
public:
    // User name and password are kept as in a 100-byte buffer: at most 99 characters.
    static constexpr std::size_t kCredentialCapacity = 100;

    SessionDocument();
    SessionDocument(const SessionDocument&) = delete;
    SessionDocument& operator=(const SessionDocument&) = delete;

    SessionState Snapshot() const;
    int LoginId() const;
    bool HighBitrate() const;
    bool Disconnected() const;

    void SetLoginId(int loginId);
    void SetDisconnected(bool disconnected);
    // Stores the credentials as typed, each cut to at most 99 bytes on a character boundary.
    void SetCredentials(std::string_view userName, std::string_view password);
    // Stores the results of one status report; state -1 leaves serverState alone.
    void SetStatusReport(int serverState, const std::string& streamIp, const std::string& streamPort,
                         bool highBitrate);
    void SetServerState(int serverState);
    void SetStreamIp(const std::string& streamIp);
    void SetStreamPort(const std::string& streamPort);
    void SetHighBitrate(bool highBitrate);

    // Back to logged out; leaves disconnected, the socket, textReply and the settings alone.
    void ResetSession();

    std::string TextReply() const;
    void SetTextReply(std::string text);

    // Runs `f` on the settings records under their own lock (never call the view or socket in it).
    template <class F>
    decltype(auto) WithSettings(F&& f) {
        std::lock_guard lock(settingsMutex_);
        return f(settings_);
    }
    SettingsRecords Settings() const {
        std::lock_guard lock(settingsMutex_);
        return settings_;
    }

    // The view's message list and status box (set by the view's initial update). Without a view the
    // calls do nothing, as when the main view cannot be found.
    void SetView(SessionView* view);
    SessionView* View() const;
    void InsertMessage(const std::string& line) const;
    void ClearMessages() const;
    void SetStatusBox(const std::string& text) const;
    bool HasMainWindow() const;
    void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) const;
    // Hands a change of state to the view, while notifications are switched on.
    void NotifyStateChange(const StateNotice& notice) const;
    void ReportSessionEvent(SessionEvent event) const;

    // The switches of our own extensions; all off unless the desktop turns them on, so that
    // the core alone behaves exactly as the protocol has it. Any thread may read or set them.
    // Announce each change of state (see session/statustracker.h).
    void SetNotifyOnChange(bool on) { notifyOnChange_ = on; }
    bool NotifyOnChange() const { return notifyOnChange_; }
    // Ask for the status every RefreshSeconds() while logged in.
    void SetAutoRefresh(bool on) { autoRefresh_ = on; }
    bool AutoRefresh() const { return autoRefresh_; }
    // How often the live status asks (kept within the preference's range; 20 unless set).
    void SetRefreshSeconds(int seconds) {
        constexpr const Preference* kRow = FindPreference(pref::kRefreshIntervalSeconds);
        refreshSeconds_ = std::clamp(seconds, kRow->min, kRow->max);
    }
    int RefreshSeconds() const { return refreshSeconds_; }
    // Log in again by itself after a session lost (see session/reconnection.h). While it is on, the
    // session also asks for the status every RefreshSeconds() so that a quiet host is never taken
    // for a lost one.
    void SetReconnect(bool on) { reconnect_ = on; }
    bool Reconnect() const { return reconnect_; }
    // Add since when the state holds to the tray tip and the status box.
    void SetShowSince(bool on) { showSince_ = on; }
    bool ShowSince() const { return showSince_; }

    // The station history the session feeds (not owned; none: nothing is kept), and the account
    // ("host:port user", set at each login) its spans belong to. Recording only queues.
    void SetHistory(HistoryRecorder* recorder);
    void SetHistoryAccount(std::string account);
    // The state the account is in from `at` on (kHistoryLost while the session is lost); the view
    // hears of it too (SessionView::OnStateChanged).
    void RecordHistory(int state, std::int64_t at) const;
    // Nobody watches the account from `at` on.
    void CloseHistory(std::int64_t at) const;

    // The one connection to the service server. Transfers share the socket; replacing or closing
    // the handle waits for them, so no thread ever sends on a closed or recycled descriptor.
    int SendOnService(const char* data, int size, int seconds);
    // Sends only while someone is logged in, judged under the send lock: a request can then never
    // follow the log-off notice of the session it belongs to (see HoldingSends). -1: nothing sent.
    int SendOnServiceWhileLoggedIn(const char* data, int size, int seconds);
    // Runs `f` with every other thread's sends held back; `f` itself may send.
    template <class F>
    decltype(auto) HoldingSends(F&& f) {
        std::lock_guard sending(sendMutex_);
        return f();
    }
    int SendAllOnService(const char* data, int size, int seconds);
    int ReceiveOnService(char* buffer, int size, int seconds);
    SOCKET ServiceHandle() const;
    bool HasServiceSocket() const;
    // Creates and connects a new socket, waiting at most `seconds` and giving up when `cancel` is
    // requested; on failure nothing new is left open and the document is as it was.
    void ConnectService(const SocketAddress& address, int seconds = kConnectSeconds,
                        std::stop_token cancel = {});
    // The same for a host as the user wrote it: a name is looked up, each address tried in turn.
    void ConnectService(const HostAddress& host, int seconds = kConnectSeconds, std::stop_token cancel = {});

    // The web portal's host[:port] (kBuiltInPortalHost unless set).
    std::string PortalHost() const;
    void SetPortalHost(std::string host);
    // Closes the held socket (if any) and empties the handle; quiet.
    void CloseService();
    // Closes the socket only if it is still `handle`, so an ending receiver never closes the
    // connection of a session that replaced its own. True when it closed it.
    bool CloseServiceIf(SOCKET handle);

    // Wakes a receive waiting on `handle`, if the document still holds it, by ending its reading
    // side: the wait then returns at once instead of at its time-out. Sending is unaffected.
    void StopReceivingIf(SOCKET handle);
    // Ends the sending side of `handle`, if the document still holds it: the host reads what was
    // sent, then the end of the stream.
    void EndSendingIf(SOCKET handle);

    // How long a login waits for the service server to accept the connection.
    static constexpr int kConnectSeconds = 10;

private:
    mutable std::mutex mutex_;
    SessionState state_;
    std::string textReply_;
    SessionView* view_ = nullptr;
    HistoryRecorder* history_ = nullptr;
    std::string historyAccount_;

    std::atomic<bool> notifyOnChange_{false};
    std::atomic<bool> autoRefresh_{false};
    std::atomic<bool> showSince_{false};
    std::atomic<int> refreshSeconds_{20};
    std::atomic<bool> reconnect_{false};

    mutable std::mutex settingsMutex_;
    SettingsRecords settings_;

    std::recursive_mutex sendMutex_;  // taken before socketMutex_
    mutable std::shared_mutex socketMutex_;
    BlockingSocket serviceSocket_;
};

}  // namespace ostravel
