// Login and logout as the main view runs them: the login dialog's OK connects and sends the two
// login blocks; the Login command then starts the one receiver; Logout logs the session off.
// Runs on the UI thread only; the receiver reference is never touched from another thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/blockingsocket.h"
#include "net/hostaddress.h"
#include "platform/translate.h"

namespace ostravel {

class SessionDocument;

inline constexpr unsigned short kServicePort = 28000;
inline constexpr const char* kConnectFailedMessage = N_("Failed to connect to login server.");

// The thread that reads the service connection.
class ReceiverThread {
public:
    virtual ~ReceiverThread() = default;
    virtual void Start() = 0;
    // Still inside its receive loop.
    virtual bool IsRunning() const = 0;
    // Sends the log-off notice, ends the session and tells the loop to stop. Throws
    // BlockingSocketException when the notice cannot be sent.
    virtual void LogOff() = 0;
    // Tells the loop to stop without a word to the server, and releases it from any wait for a
    // window, so that Join cannot hang.
    virtual void Stop() = 0;
    // Waits until the thread has ended.
    virtual void Join() = 0;
    // Asks the host for the status now; a session whose host sends nothing within `within` is ended
    // as lost. For after a sleep or a network change, when a connection may be dead without a word.
    virtual void CheckAlive(std::chrono::seconds within) { (void)within; }
};

using ReceiverFactory = std::function<std::unique_ptr<ReceiverThread>(SessionDocument&)>;

// The service server's built-in address (a build-time setting) and port 28000, where the settings
// name no other.
HostAddress ServiceEndpoint();
// The host of an IPv4 socket address.
HostAddress HostOf(const SocketAddress& address);

class SessionControl {
public:
    SessionControl(SessionDocument& doc, HostAddress endpoint, ReceiverFactory makeReceiver);
    SessionControl(SessionDocument& doc, const SocketAddress& endpoint, ReceiverFactory makeReceiver)
        : SessionControl(doc, HostOf(endpoint), std::move(makeReceiver)) {}
    ~SessionControl();  // stops and joins every receiver
    SessionControl(const SessionControl&) = delete;
    SessionControl& operator=(const SessionControl&) = delete;

    // The login dialog's OK: logs an earlier connected session off, connects (waiting at most the
    // connect time-out) and sends the two login blocks; clears `disconnected` when that worked.
    // Socket failures are swallowed. Returns when it is done.
    void LoginProcedure(std::string_view userName, std::string_view password);
    // The same, but the connect and the login blocks go on a thread of their own: this returns at
    // once, and `done` (if any) is called on that thread when the attempt has finished, cancelled
    // or not. The caller then runs LoginAccepted on the UI thread.
    void BeginLogin(std::string_view userName, std::string_view password, std::function<void()> done);
    // Gives up a connect in progress (it fails as if refused) and waits for its thread.
    void CancelLogin();
    // How long a connect (the name's look-up included) may take.
    void SetConnectSeconds(int seconds) { connectSeconds_ = seconds; }
    // Where the next login connects to; a login in progress keeps its own.
    void SetHost(HostAddress host) { endpoint_ = std::move(host); }
    const HostAddress& Host() const { return endpoint_; }
    // The credentials of the last login, kept in memory for the run so that a lost session can log
    // in again (see session/sessionkeeper.h). False before any login.
    bool HasCredentials() const { return hasCredentials_; }
    // BeginLogin with the last login's credentials.
    void BeginLoginAgain(std::function<void()> done) {
        BeginLogin(lastUser_, lastPassword_, std::move(done));
    }
    // The Login command once its dialog ended with OK: starts the receiver, or reports the failure.
    void LoginAccepted();
    // The Logout command. Throws BlockingSocketException when the log-off notice cannot be sent
    // (the caller shows it); the remaining steps are then skipped.
    void Logout();
    // The frame's final destruction: a running receiver is logged off; every receiver is ended.
    void Shutdown();

    ReceiverThread* CurrentReceiver() const { return receiver_.get(); }

private:
    // Receivers that were logged off or replaced, kept until their thread has ended.
    void Retire();
    void JoinRetired();
    void JoinConnect();

    SessionDocument& doc_;
    HostAddress endpoint_;
    std::string lastUser_, lastPassword_;
    bool hasCredentials_ = false;
    ReceiverFactory makeReceiver_;
    std::unique_ptr<ReceiverThread> receiver_;  // this session's receiver, the one that reads
    std::vector<std::unique_ptr<ReceiverThread>> retired_;
    int connectSeconds_;
    std::stop_source connectStop_;
    std::thread connect_;  // the login's connect, when one is in progress
};

}  // namespace ostravel
