// Keeping the session going: after a session lost it logs in again by itself with the last login's
// credentials, on the delays Reconnection decides, and checks a live session at once after a sleep
// or a network change. Runs on one thread (the UI thread on the desktop); the login thread's result
// comes back to it through `post`, the session's events through OnEvent.
//
// What the user sees: "Connection lost. Reconnecting in N s." in the message list once per attempt,
// the grey tray icon with the tip "Reconnecting...", one notice for the loss (the receiver's) and one
// when the session is back, never one per attempt; why it stopped, when it stops.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/openurl.h"
#include "platform/translate.h"
#include "session/reconnection.h"
#include "session/sessionview.h"

namespace ostravel {

class SessionDocument;
class SessionControl;

inline constexpr const char* kReconnectingTip = N_("Reconnecting...");
// A live session is asked for the status after a sleep or a network change; no answer within this
// long ends it as lost.
inline constexpr std::chrono::seconds kCheckAnswerTime{5};

// "Back Online", "Back online since 14:32.": the session is back after a loss.
StateNotice MakeBackOnlineNotice(std::int64_t since);

// Waits out a delay and then calls SessionKeeper::Due on the keeper's thread.
class ReconnectTimer {
public:
    virtual ~ReconnectTimer() = default;
    // Replaces any wait in progress.
    virtual void Start(std::chrono::milliseconds delay) = 0;
    virtual void Stop() = 0;
};

class SessionKeeper {
public:
    SessionKeeper(SessionDocument& doc, SessionControl& session, ReconnectTimer& timer, TaskPoster post,
                  const Clock& clock = SystemClock::Instance(), Reconnection::Random random = {});
    ~SessionKeeper();
    SessionKeeper(const SessionKeeper&) = delete;
    SessionKeeper& operator=(const SessionKeeper&) = delete;

    // What the receiver reports (SessionView::OnSessionEvent).
    void OnEvent(SessionEvent event);
    // The user logged in or out by hand: any wait ends, and the next loss starts afresh.
    void UserActed();
    // Logs in with these credentials without the dialog (log in at start). A refusal calls the
    // refused handler; a host that cannot be reached is retried as a lost session is.
    void LoginAutomatically(std::string_view userName, std::string_view password);
    void SetRefusedHandler(std::function<void()> refused) { refused_ = std::move(refused); }
    // The delay is over: the next login is tried.
    void Due();
    // After a resume or a network change: a wait is cut short, a live session is checked.
    void CheckNow();

    // Waiting out a delay, or logging in again.
    bool Reconnecting() const { return reconnecting_; }
    const Reconnection& State() const { return reconnection_; }

private:
    void SessionLost();
    void Attempt();
    void Attempted(unsigned attempt);
    void Refused();

    SessionDocument& doc_;
    SessionControl& session_;
    ReconnectTimer& timer_;
    TaskPoster post_;
    const Clock& clock_;
    Reconnection reconnection_;
    std::function<void()> refused_;
    bool reconnecting_ = false;   // a lost session is being brought back
    bool automatic_ = false;      // the login in progress was not the user's own
    bool refusedByHand_ = false;  // the host refused the user's own login: its end is no loss
    unsigned attempt_ = 0;        // the login whose result still counts
    // Whether this keeper is still there when a login thread's result comes due (keeper's thread only).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ostravel
