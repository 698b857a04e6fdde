// When a lost session logs in again: after 2, 4, 8, 16, 32, then every 60 seconds, each delay
// lengthened by up to a fifth at random so that many clients of one host do not come back at once.
// It stops for a refused login, for the user's own Logout or Login, and for a session that keeps
// ending right after each login. Only the decisions live here; whoever waits out the delay (a timer
// on the desktop, the command line's loop) asks it what to do.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/translate.h"

namespace ostravel {

inline constexpr const char* kReconnectRefusedMessage =
    N_("The server refused the login, so Ostravel stopped reconnecting.");
inline constexpr const char* kReconnectFlappingMessage =
    N_("The connection ended right after each of the last three logins, so Ostravel stopped reconnecting.");
// "Connection lost. Reconnecting in N s.", N the delay in whole seconds, rounded up.
std::string ReconnectingMessage(std::chrono::milliseconds delay);

class Reconnection {
public:
    enum class State { Idle, Waiting, Stopped };
    // A number from 0 up to (not including) 1 for each delay's random part.
    using Random = std::function<double()>;

    explicit Reconnection(const Clock& clock, Random random = {});

    // The session ended without the user's Logout or Exit. The delay until the next login, or nothing
    // when it is not to be tried (stopped, see StopReason).
    std::optional<std::chrono::milliseconds> SessionLost();
    // A login went through: the next loss starts the delays from the beginning again.
    void LoggedIn();
    // The host refused the credentials: trying again cannot help.
    void LoginRefused();
    // The user logged out or in by hand: any waiting ends and the next loss starts afresh.
    void UserActed();

    State CurrentState() const { return state_; }
    // Why it stopped, a sentence for the user; empty unless stopped.
    const std::string& StopReason() const { return stopReason_; }

    // The delay before attempt `attempt` (0 first) with its random part `random` in [0, 1).
    static std::chrono::milliseconds Delay(int attempt, double random);
    // Three sessions that each ended within this long of the first of them stop the retries.
    static constexpr std::int64_t kFlappingWindowSeconds = 300;
    static constexpr int kFlappingSessions = 3;

private:
    void Stop(std::string reason);

    const Clock& clock_;
    Random random_;
    State state_ = State::Idle;
    int attempt_ = 0;
    bool sessionWasUp_ = false;                   // a login went through since the last loss
    std::vector<std::int64_t> shortSessionEnds_;  // when recent sessions ended, oldest first
    std::string stopReason_;
};

}  // namespace ostravel
