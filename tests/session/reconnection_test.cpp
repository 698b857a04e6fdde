// When a lost session logs in again, on the fake clock: the delays and their random part, and what
// stops the retries.
#include "session/reconnection.h"

#include <gtest/gtest.h>

#include "fakes/fake_clock.h"

namespace ostravel {
namespace {

using std::chrono::milliseconds;

TEST(Reconnection, DelaysDoubleToAMinuteWithAtMostAFifthAddedAndStartAfreshAfterALogin) {
    testing::FakeClock clock;
    double random = 0.0;
    Reconnection reconnection(clock, [&random] { return random; });
    for (const int seconds : {2, 4, 8, 16, 32, 60, 60})
        EXPECT_EQ(reconnection.SessionLost(), milliseconds(seconds * 1000));
    EXPECT_EQ(Reconnection::Delay(0, 0.999), milliseconds(2399));
    EXPECT_EQ(Reconnection::Delay(9, 0.5), milliseconds(66000));
    reconnection.LoggedIn();
    random = 0.5;
    clock.Advance(3600);
    EXPECT_EQ(reconnection.SessionLost(), milliseconds(2200));
    EXPECT_EQ(ReconnectingMessage(milliseconds(2200)), "Connection lost. Reconnecting in 3 s.");
}

TEST(Reconnection, ARefusedLoginOrThreeQuickEndsStopItUntilTheUserActs) {
    testing::FakeClock clock;
    Reconnection reconnection(clock, [] { return 0.0; });
    reconnection.LoginRefused();
    EXPECT_EQ(reconnection.SessionLost(), std::nullopt);
    EXPECT_EQ(reconnection.StopReason(), kReconnectRefusedMessage);
    reconnection.UserActed();
    for (int session = 0; session < 2; ++session) {
        reconnection.LoggedIn();
        clock.Advance(100);
        EXPECT_TRUE(reconnection.SessionLost()) << session;
    }
    reconnection.LoggedIn();
    clock.Advance(100);  // the third end within five minutes of the first
    EXPECT_EQ(reconnection.SessionLost(), std::nullopt);
    EXPECT_EQ(reconnection.CurrentState(), Reconnection::State::Stopped);
    EXPECT_EQ(reconnection.StopReason(), kReconnectFlappingMessage);
}

}  // namespace
}  // namespace ostravel
