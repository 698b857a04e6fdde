// The receiver: the one thread that reads the service connection. Each chunk it receives is one
// reply, routed by the first keyword of a fixed table that it contains.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/blockingsocket.h"
#include "platform/clock.h"
#include "platform/translate.h"
#include "protocol/replyroutes.h"
#include "protocol/statusreport.h"
#include "session/sessioncontrol.h"
#include "session/sessionview.h"
#include "session/statustracker.h"

namespace ostravel {

class SessionDocument;

inline constexpr int kReceiveBufferSize = 25600;
inline constexpr int kReceiveSeconds = 1;
// How long a logged-off receiver waits for the host to close before it closes itself.
inline constexpr std::chrono::milliseconds kLogOffDrain{1000};
inline constexpr std::int64_t kIdleSeconds = 30;
// With the live status or reconnection switched on (extensions), the status is asked at least this
// often while logged in (the live status's own period may be shorter or, without reconnection, longer).
inline constexpr std::int64_t kAutoRefreshSeconds = 20;

inline constexpr const char* kTimedOutMessage = N_("Connection timed out.");
inline constexpr const char* kFarewellMessage = N_("Logging off... Have a great day!");
// Shown whenever the session ends without the user logging off.
inline constexpr const char* kSessionEndedMessage =
    N_("Connection to the server ended. Please log in again.");
// Also for settings cut short at a NUL byte.
inline constexpr const char* kIncompleteSettingsMessage =
    N_("The server's settings reply did not arrive whole, so the settings dialog was not opened. Please "
       "try again.");

// A reply that feeds a parser or a window is read until its end marker, until the next reply
// begins (a read that opens with a reply's keyword, "Logged In: " or "/bye"), or until the
// connection has been quiet this long. The host leaves at least 50 ms between replies, so the next
// one nearly always opens a read of its own; the gap only has to outlast a pause in the middle of a
// reply (a busy sender, a lost segment), and a tenth of a second is not felt when a window opens.
inline constexpr std::chrono::milliseconds kReplyQuietGap{100};
// A reply is never gathered past this size or for longer than this: a host that sends without end
// cannot hold the receiver. Far above the 25,600 bytes one receive reads.
inline constexpr std::size_t kReplyCap = 1 << 20;
inline constexpr std::chrono::seconds kReplyTimeCap{20};

class Receiver : public ReceiverThread, public ReplyHandler {
public:
    explicit Receiver(SessionDocument& doc, const Clock& clock = SystemClock::Instance());
    ~Receiver() override;
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // ReceiverThread
    void Start() override;
    bool IsRunning() const override { return running_.load() != 0; }
    void LogOff() override;
    void Stop() override;
    void Join() override;
    void CheckAlive(std::chrono::seconds within) override;

    // The receive loop (run by Start on the new thread); returns the thread's exit code, 0.
    int Run();
    // Sends the status request if logged in; false when the send failed (nothing is shown).
    bool RequestServerStatus();
    void TouchActivity();

    // Routes one reply by the table; true when a row took it.
    bool Dispatch(const std::string& reply);
    bool ParseServerStatus(const std::string& reply);

private:
    // ReplyHandler: what each row of the table does with its replies (called by Dispatch only).
    bool OnMessageListReply(const std::string& reply) override;
    bool OnServerConfigReply(const std::string& reply) override;
    bool OnServerContentReply(const std::string& reply) override;
    bool OnDjConfigReply(const std::string& reply) override;
    bool OnTvConfigReply(const std::string& reply) override;
    bool OnDjLogsReply(const std::string& reply) override;
    bool OnTvLogsReply(const std::string& reply) override;
    bool OnAccountSummaryReply(const std::string& reply) override;
    bool OnServerStatusReply(const std::string& reply) override;

    enum class End { LoggedOff, Closed, Bye, Failed };

    // Routes one whole reply and acts on "/bye" and "Logged In: "; false when the loop must end.
    bool Deliver(const std::string& reply, End& end);
    // One piece as received: gathered, delivered, or both when it ends one reply and starts the
    // next; false when the loop must end.
    bool TakePiece(std::string piece, End& end);
    // Gathers the pieces of a reply that must be whole before use; true when all of `piece` was
    // taken. False with a reply gathered: that reply is whole and `piece` keeps what follows it.
    bool Gather(std::string& piece);
    // Its end marker has come, or a cap stopped it.
    bool GatheredWhole() const;
    // The gathered reply, taken out; a settings reply cut short by the caps becomes nothing.
    std::string TakeGathered();
    void HandleLoggedIn(std::string reply);
    // Keeps a log or summary reply and opens a viewer for it.
    bool ShowTextReply(const std::string& reply, void (SessionView::*show)(const std::string&));
    void EndOfLoop(End end);
    void DrainAfterLogOff(BlockingSocket& connection);
    // The live status: the catalogue's status request once its time has come.
    void RefreshIfDue();
    std::int64_t RefreshPeriod() const;
    // The session ended without the user logging off: the tracker's notice, if any, goes out.
    // Called with sessionMutex_ held.
    void AnnounceSessionLost();
    // The 30-second rule or an unanswered check: the session is logged off and reported lost.
    void EndSilentSession();

    SessionDocument& document_;
    const Clock& clock_;
    SOCKET handle_ = BlockingSocket::kNoSocket;  // the connection this receiver reads, fixed at start
    std::atomic<int> running_{1};
    std::atomic<bool> loggedOff_{false};  // the session's reset has been done, by whoever ended it
    std::atomic<std::int64_t> lastActivity_{0};
    std::atomic<std::int64_t> checkDue_{0};  // an answer is due by then (0: none asked for)
    // The live status's next request (receiver thread only).
    std::int64_t refreshDue_ = 0;
    // Changes of state and since when (under sessionMutex_).
    StatusTracker tracker_;
    std::int64_t currentTime_ = 0;
    // Orders a log-off's reset against whatever the receiver writes into the session (a login
    // confirmation, a status report), so nothing of an ended session lands after its reset.
    std::mutex sessionMutex_;
    std::stop_source stop_;
    std::thread thread_;
    // One receiver per object: the buffers are its own, never shared with a replaced one.
    std::string receiveBuffer_;
    // A reply being gathered, the row it goes to, and when its first piece came.
    std::string gathered_;
    const ReplyRoute* gatheredRoute_ = nullptr;
    std::chrono::steady_clock::time_point gatheredSince_;
    bool gatheredCut_ = false;     // stopped by a cap, not by its end
    bool discarding_ = false;      // the rest of a capped reply, dropped until the connection is quiet
    bool pieceLostBytes_ = false;  // the piece being handled was cut at a NUL
};

}  // namespace ostravel
