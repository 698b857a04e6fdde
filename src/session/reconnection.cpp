#include "session/reconnection.h"

#include <algorithm>
#include <random>

namespace ostravel {

namespace {

constexpr std::chrono::seconds kFirstDelay{2};
constexpr std::chrono::seconds kLongestDelay{60};
constexpr double kJitterShare = 0.2;

Reconnection::Random DefaultRandom() {
    return [engine = std::minstd_rand(std::random_device{}())]() mutable {
        return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
    };
}

}  // namespace

std::string ReconnectingMessage(std::chrono::milliseconds delay) {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(delay).count();
    return FillIn(Translated(N_("Connection lost. Reconnecting in {1} s.")), {std::to_string(seconds)});
}

Reconnection::Reconnection(const Clock& clock, Random random)
    : clock_(clock), random_(random ? std::move(random) : DefaultRandom()) {}

std::chrono::milliseconds Reconnection::Delay(int attempt, double random) {
    // 2 s doubled per attempt (2, 4, 8, 16, 32), then the longest.
    const std::chrono::milliseconds base =
        attempt >= 5 ? kLongestDelay : std::chrono::milliseconds(kFirstDelay * (1 << std::max(attempt, 0)));
    const double share = std::clamp(random, 0.0, 1.0) * kJitterShare;
    return base +
           std::chrono::milliseconds(static_cast<std::int64_t>(static_cast<double>(base.count()) * share));
}

std::optional<std::chrono::milliseconds> Reconnection::SessionLost() {
    if (state_ == State::Stopped) return std::nullopt;
    if (sessionWasUp_) {
        const std::int64_t now = clock_.Now();
        shortSessionEnds_.push_back(now);
        std::erase_if(shortSessionEnds_,
                      [now](std::int64_t end) { return now - end > kFlappingWindowSeconds; });
        if (static_cast<int>(shortSessionEnds_.size()) >= kFlappingSessions) {
            Stop(kReconnectFlappingMessage);
            return std::nullopt;
        }
        sessionWasUp_ = false;
    }
    state_ = State::Waiting;
    return Delay(attempt_++, random_());
}

void Reconnection::LoggedIn() {
    state_ = State::Idle;
    attempt_ = 0;
    sessionWasUp_ = true;
}

void Reconnection::LoginRefused() { Stop(kReconnectRefusedMessage); }

void Reconnection::UserActed() {
    state_ = State::Idle;
    attempt_ = 0;
    sessionWasUp_ = false;
    shortSessionEnds_.clear();
    stopReason_.clear();
}

void Reconnection::Stop(std::string reason) {
    state_ = State::Stopped;
    stopReason_ = std::move(reason);
}

}  // namespace ostravel
