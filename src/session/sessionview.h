// What the session needs from the main view. The session's threads call it; the desktop's
// UiThreadView implements it by queueing every call to the UI thread in order, and tests use a
// recording fake.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "config/dialogmodel.h"

namespace ostravel {

enum class TrayOperation { Add = 0, Modify = 1, Delete = 2 };

// The tray icons: one picture on four grounds.
inline constexpr int kIconApplication = 128;
inline constexpr int kIconServerUpStreamUp = 182;    // green
inline constexpr int kIconServerDown = 183;          // red
inline constexpr int kIconServerUpStreamDown = 184;  // yellow

// A change of the server's state, or the session lost, as the desktop is to announce it (an
// extension of our own; see session/statustracker.h).
inline constexpr int kStateSessionLost = -2;
inline constexpr int kStateBackOnline = -3;  // the session came back after a loss
struct StateNotice {
    int state = 0;           // 0 down, 1 up without a source, 2 up and public, kStateSessionLost
    std::string title;       // "Server Down"
    std::string text;        // a sentence and since when
    int icon = 0;            // the state's tray icon
    std::int64_t since = 0;  // seconds since 1970
};

// What becomes of the session, for whoever keeps it going (see session/sessionkeeper.h).
enum class SessionEvent {
    LoggedIn,      // the host confirmed a login
    Lost,          // the session ended without the user's Logout or Exit
    LoginRefused,  // the host refused the credentials
};

class SessionView {
public:
    virtual ~SessionView() = default;

    // The message list: every line goes in at the top, so the newest is first.
    virtual void InsertMessage(const std::string& line) = 0;
    virtual void ClearMessages() = 0;
    // The status box: its whole text is replaced.
    virtual void SetStatusText(const std::string& text) = 0;
    // False when there is no main window to own a tray icon (the icon is then left alone).
    virtual bool HasMainWindow() const = 0;
    virtual void SetTrayIcon(TrayOperation operation, const std::string& tip, int iconId) = 0;

    // The text viewer, opened by a reply. It never holds the receiver: each call opens a window of
    // its own and returns at once, so replies keep flowing while a log is read.
    virtual void ShowDjLogs(const std::string& text) = 0;
    virtual void ShowTvLogs(const std::string& text) = 0;
    virtual void ShowAccountSummary(const std::string& text) = 0;

    // The three settings dialogs, drawn from `model`. They hold the receiver like the viewer. On
    // Save the controls' values are written back into `model` and the result is true; Cancel,
    // Escape, the close box, or `stop` give false and leave `model` as it was.
    virtual bool EditServerConfig(DialogModel& model, std::stop_token stop) = 0;
    virtual bool EditAutoDJConfig(DialogModel& model, std::stop_token stop) = 0;
    virtual bool EditAutoTVConfig(DialogModel& model, std::stop_token stop) = 0;

    // Announces a change of state (once per change, never per report); only while the document's
    // notifications are switched on. A view without a way to announce ignores it.
    virtual void NotifyStateChange(const StateNotice& notice) { (void)notice; }
    // The session was confirmed, lost or refused. A view that does not keep the session ignores it.
    virtual void OnSessionEvent(SessionEvent event) { (void)event; }
    // The station is in `state` from `since` on: what the history records, whether notifications are
    // on or not. Once per change of the status tracker's state, a session's first state included, and
    // kStateSessionLost for a session lost. A view that does not follow the state ignores it.
    virtual void OnStateChanged(int state, std::int64_t since) {
        (void)state;
        (void)since;
    }
};

}  // namespace ostravel
