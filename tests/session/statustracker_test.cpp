// The tracker that decides when the desktop announces a change of state, and the since-time.
#include "session/statustracker.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace ostravel {
namespace {

constexpr std::int64_t kT0 = 1'700'000'000;

TEST(StatusTracker, OneNoticePerChangeNeverPerReport) {
    StatusTracker tracker;
    tracker.SessionStarted();
    EXPECT_EQ(tracker.State(), -1);
    EXPECT_FALSE(tracker.Since());
    // The session's first report sets the state: the user has just seen it.
    EXPECT_FALSE(tracker.OnState(2, kT0));
    EXPECT_EQ(tracker.State(), 2);
    EXPECT_EQ(tracker.Since(), kT0);
    // The same state again, however often: nothing, and the since-time stays.
    EXPECT_FALSE(tracker.OnState(2, kT0 + 10));
    EXPECT_FALSE(tracker.OnState(2, kT0 + 20));
    EXPECT_EQ(tracker.Since(), kT0);
    // Down: one notice, the since-time moves.
    auto down = tracker.OnState(0, kT0 + 30);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->state, 0);
    EXPECT_EQ(down->title, "Server Down");
    EXPECT_EQ(down->icon, kIconServerDown);
    EXPECT_EQ(down->since, kT0 + 30);
    EXPECT_NE(down->text.find("Your radio server is down. Since "), std::string::npos) << down->text;
    EXPECT_FALSE(tracker.OnState(0, kT0 + 40));
    EXPECT_EQ(tracker.Since(), kT0 + 30);
    auto noSource = tracker.OnState(1, kT0 + 50);
    ASSERT_TRUE(noSource);
    EXPECT_EQ(noSource->title, "Server Up, Stream Down");
    EXPECT_EQ(noSource->icon, kIconServerUpStreamDown);
    auto up = tracker.OnState(2, kT0 + 60);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->title, "Server Up, Stream Up");
    EXPECT_EQ(up->icon, kIconServerUpStreamUp);
    // Anything that is not a state is no change.
    EXPECT_FALSE(tracker.OnState(3, kT0 + 70));
    EXPECT_FALSE(tracker.OnState(-1, kT0 + 70));
    EXPECT_EQ(tracker.State(), 2);
}

TEST(StatusTracker, SessionLostOnceAndOnlyForALiveSession) {
    StatusTracker tracker;
    // No login confirmed: nothing to lose.
    EXPECT_FALSE(tracker.OnSessionLost(kT0));
    tracker.SessionStarted();
    // Lost before any report: still a session the user had.
    auto lost = tracker.OnSessionLost(kT0 + 5);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->state, kStateSessionLost);
    EXPECT_EQ(lost->title, "Logged Off");
    EXPECT_EQ(lost->icon, kIconApplication);
    EXPECT_NE(lost->text.find("Connection to the server ended. Please log in again. At "), std::string::npos);
    EXPECT_FALSE(tracker.OnSessionLost(kT0 + 6));  // the receiver's end after the time-out
    EXPECT_FALSE(tracker.Since());

    tracker.SessionStarted();
    EXPECT_FALSE(tracker.OnState(0, kT0 + 100));
    ASSERT_TRUE(tracker.OnSessionLost(kT0 + 110));
}

TEST(StatusTracker, LoggingOffIsTheUsersOwnAndSaysNothing) {
    StatusTracker tracker;
    tracker.SessionStarted();
    EXPECT_FALSE(tracker.OnState(2, kT0));
    tracker.OnLoggedOff();
    EXPECT_FALSE(tracker.OnSessionLost(kT0 + 1));
    EXPECT_EQ(tracker.State(), -1);
    // A report after the log-off (no live session) is never announced.
    EXPECT_FALSE(tracker.OnState(2, kT0 + 2));
    EXPECT_FALSE(tracker.OnState(0, kT0 + 3));
    // The next session starts afresh: its first report is the baseline again.
    tracker.SessionStarted();
    EXPECT_FALSE(tracker.OnState(0, kT0 + 4));
    EXPECT_TRUE(tracker.OnState(1, kT0 + 5));
}

TEST(TimeOfDay, TheLocalesFormatWithoutSeconds) {
    EXPECT_EQ(TimeOfDayFormat("%H:%M:%S"), "%H:%M");  // C, en_GB, most of Europe
    EXPECT_EQ(TimeOfDayFormat("%T"), "%H:%M");        // de_DE
    EXPECT_EQ(TimeOfDayFormat("%r"), "%I:%M %p");     // en_US
    EXPECT_EQ(TimeOfDayFormat("%I:%M:%S %p"), "%I:%M %p");
    EXPECT_EQ(TimeOfDayFormat("%p %I:%M:%S"), "%p %I:%M");   // ko_KR
    EXPECT_EQ(TimeOfDayFormat("%H.%M.%S"), "%H.%M");         // fi_FI
    EXPECT_EQ(TimeOfDayFormat("%H时%M分%S秒"), "%H时%M分");  // zh_CN
    EXPECT_EQ(TimeOfDayFormat("%l:%M:%S %p %Z"), "%l:%M %p %Z");
    EXPECT_EQ(TimeOfDayFormat("%H:%M"), "%H:%M");
    EXPECT_EQ(TimeOfDayFormat("%%S %H:%M:%S"), "%%S %H:%M");  // a literal "%S" stays
    EXPECT_EQ(TimeOfDayFormat(""), "%H:%M");
    EXPECT_EQ(TimeOfDayFormat("%S"), "%H:%M");
}

TEST(TimeOfDay, SinceTextInTheCurrentLocale) {
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    const std::string text = TimeOfDay(kT0);
    // "HH:MM" in the C locale, whatever the time zone.
    ASSERT_EQ(text.size(), 5u) << text;
    EXPECT_EQ(text[2], ':');
    EXPECT_EQ(SinceText(2, kT0), "Server Up, Stream Up since " + text);
    EXPECT_EQ(SinceText(0, kT0), "Server Down since " + text);
    // A locale with a 12-hour clock, where the machine has one.
    if (std::setlocale(LC_TIME, "en_US.UTF-8") != nullptr) {
        const std::string us = TimeOfDay(kT0);
        EXPECT_TRUE(us.ends_with("AM") || us.ends_with("PM")) << us;
        EXPECT_EQ(us.find(':', us.find(':') + 1), std::string::npos) << us;  // no seconds
    }
    std::setlocale(LC_TIME, saved.c_str());
}

}  // namespace
}  // namespace ostravel
