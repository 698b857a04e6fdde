// The receiver: the one thread that reads the service connection. Each chunk it receives is one
// reply, routed by the first keyword of a fixed table that it contains.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "app/login.h"
#include "app/sessionview.h"
#include "net/blocksock.h"
#include "platform/clock.h"

namespace ostravel {

class CzandrelDoc;

inline constexpr int kReceiveBufferSize = 25600;
inline constexpr int kReceiveSeconds = 1;
inline constexpr std::int64_t kIdleSeconds = 30;

inline constexpr char kTimedOutMessage[] = "Connection timed out.";
inline constexpr char kFarewellMessage[] = "Logging off... Have a great day!";

class ClientThread : public Receiver {
public:
    explicit ClientThread(CzandrelDoc& doc, const Clock& clock = SystemClock::Instance());
    ~ClientThread() override;
    ClientThread(const ClientThread&) = delete;
    ClientThread& operator=(const ClientThread&) = delete;

    // Receiver
    void Start() override;
    bool IsRunning() const override { return running_.load() != 0; }
    void LogOff() override;
    void Stop() override;
    void Join() override;

    // The receive loop (run by Start on the new thread); returns the thread's exit code, 0.
    int Run();
    // Sends the status request if logged in; false when the send failed (nothing is shown).
    bool RequestServerStatus();
    void TouchActivity();

    // Routes one reply by the table; true when a row took it.
    bool Dispatch(const std::string& reply);
    bool ParseServerStatus(const std::string& reply);

    bool OnServerConfigReply(const std::string& reply);
    bool OnServerContentReply(const std::string& reply);
    bool OnDjConfigReply(const std::string& reply);
    bool ParseAutoTVConfig(const std::string& reply);
    bool OnDjLogsReply(const std::string& reply);
    bool OnTvLogsReply(const std::string& reply);
    bool OnAccountSummaryReply(const std::string& reply);

private:
    void HandleLoggedIn(std::string reply);
    // Keeps a log or summary reply and shows it in the viewer, holding this thread until it closes.
    bool ShowTextReply(const std::string& reply, void (SessionView::*show)(const std::string&, std::stop_token));
    void EndOfLoop();

    CzandrelDoc& document_;
    const Clock& clock_;
    SOCKET handle_ = 0;  // the connection this receiver reads, fixed at start
    std::atomic<int> running_{1};
    std::atomic<bool> loggedOff_{false};
    std::atomic<std::int64_t> lastActivity_{0};
    std::int64_t currentTime_ = 0;
    std::mutex sessionMutex_;  // orders a log-off's reset against a login confirmation
    std::stop_source stop_;
    std::thread thread_;
    // One receiver per object: the buffers are its own, never shared with a replaced one.
    std::string receiveBuffer_;
};

// Parsing helpers, exposed for tests and benchmarks.
// The first token of `text` (up to its first NUL) with separators ": ,\t\n"; empty if none.
std::string_view FirstToken(std::string_view text);
// A decimal integer as C's atoi reads it: leading blanks, a sign, digits up to the first other
// character; 0 if there are none. Out-of-range values are clamped.
int ParseLeadingInt(std::string_view text);
// Word `index` of `field`, words separated by single blanks (two blanks make an empty word).
std::string NthWord(std::string_view field, std::size_t index);

}  // namespace ostravel
