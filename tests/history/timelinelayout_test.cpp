#include "history/timelinelayout.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace ostravel {
namespace {

constexpr std::int64_t kHour = 3600, kDay = 24 * kHour;

// POSIX zone rules, so that no zone database is needed.
constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr char kIndia[] = "IST-5:30";

void UseZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone);
    _tzset();
#else
    ::setenv("TZ", zone, 1);
    ::tzset();
#endif
}

// A local time as UTC seconds, in the zone in use.
std::int64_t LocalAt(int year, int month, int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// A month on 720 pixels (an hour each): an outage of a minute still takes its pixel and is what
// pointing there names; time nobody watched stays empty, also in the pixel after a span that ends
// on a pixel's edge.
TEST(TimelineBand, ShortOutagesShowAndUnwatchedTimeStaysEmpty) {
    const std::int64_t from = 1'700'000'000, to = from + 30 * kDay;
    const std::vector<HistorySpan> spans = {
        {from, from + 10 * kDay + 20 * 60, kHistoryOnAir},
        {from + 10 * kDay + 20 * 60, from + 10 * kDay + 21 * 60, kHistoryDown},
        {from + 10 * kDay + 21 * 60, from + 12 * kDay, kHistoryOnAir},
        {from + 14 * kDay, from + 14 * kDay + 90 * 60, kHistoryLost},
        {from + 14 * kDay + 90 * 60, to, kHistoryNoSource},
    };
    const TimelineBand band(spans, from, to, 720);
    EXPECT_EQ(band.Runs(), (std::vector<BandRun>{{0, 240, kHistoryOnAir},
                                                 {240, 241, kHistoryDown},
                                                 {241, 288, kHistoryOnAir},
                                                 {336, 337, kHistoryLost},
                                                 {337, 720, kHistoryNoSource}}));
    ASSERT_NE(band.SpanAt(240), nullptr);
    EXPECT_EQ(*band.SpanAt(240), spans[1]);
    EXPECT_EQ(band.SpanAt(288), nullptr);  // the on-air span ended exactly at its left edge
    EXPECT_EQ(band.SpanAt(300), nullptr);
    // The pixel the lost session shares with the stream down shows the stream down.
    EXPECT_EQ(band.SpanAt(337)->state, kHistoryNoSource);
    EXPECT_EQ(band.SpanAt(-1), nullptr);
    EXPECT_EQ(band.SpanAt(720), nullptr);
}

TEST(TimelineTicks, FallOnLocalHoursAndMidnightsAcrossSummerTime) {
#ifdef _WIN32
    GTEST_SKIP() << "the C runtime knows no summer-time rules but the United States'";
#endif
    // The day clocks go forward: 02:00 never happens, and the day has 23 hours.
    UseZone(kCentralEurope);
    std::int64_t to = LocalAt(2026, 3, 29, 12, 20), from = to - kDay;
    std::vector<TimelineTick> ticks = TimelineTicks(from, to, 480, 60);  // 20 pixels an hour
    ASSERT_EQ(ticks.size(), 24u);
    std::vector<std::string> labels;
    for (const TimelineTick& tick : ticks)
        if (!tick.label.empty()) labels.push_back(tick.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"12:00", "15:00", "18:00", "21:00", "Sun 29", "03:00",
                                                "06:00", "09:00", "12:00"}));
    EXPECT_EQ(ticks[0].x, 480 * 40 * 60 / kDay);  // 12:00, forty minutes in
    EXPECT_TRUE(ticks[12].dayStart);

    // A month across the change back: one tick each local midnight, 23 and 25 hours apart too;
    // narrow, the labels go to Mondays.
    to = LocalAt(2026, 11, 10, 9, 0), from = to - 30 * kDay;
    ticks = TimelineTicks(from, to, 300, 60);  // 10 pixels a day
    ASSERT_EQ(ticks.size(), 30u);
    for (const TimelineTick& tick : ticks) EXPECT_TRUE(tick.dayStart);
    EXPECT_EQ(ticks[0].x, static_cast<int>((LocalAt(2026, 10, 12, 0, 0) - from) * 300 / (30 * kDay)));
    labels.clear();
    for (const TimelineTick& tick : ticks)
        if (!tick.label.empty()) labels.push_back(tick.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"Oct 12", "Oct 19", "Oct 26", "Nov 2", "Nov 9"}));

    // Half an hour off UTC: the hours still fall on local whole hours.
    UseZone(kIndia);
    to = LocalAt(2026, 6, 1, 10, 0), from = to - kDay;
    ticks = TimelineTicks(from, to, 2400, 60);
    ASSERT_EQ(ticks.size(), 24u);
    EXPECT_EQ(ticks[0].x, 0);
    EXPECT_EQ(ticks[1].label, "11:00");
}

}  // namespace
}  // namespace ostravel
