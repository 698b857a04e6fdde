#include "history/timelinelayout.h"

#include <algorithm>
#include <ctime>
#include <initializer_list>

#include "platform/clock.h"

namespace ostravel {

namespace {

// Which state wins a pixel that several spans share.
int Weight(int state) {
    switch (state) {
        case kHistoryDown:
            return 4;
        case kHistoryNoSource:
            return 3;
        case kHistoryOnAir:
            return 2;
        default:
            return 1;
    }
}

std::tm Local(std::int64_t at) { return LocalCalendar(at); }

// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
std::int64_t DayNumber(const std::tm& date) {
    const int month = date.tm_mon + 1;
    const std::int64_t year = date.tm_year + 1900 - (month <= 2 ? 1 : 0);
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + date.tm_mday - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::string Format(const char* format, const std::tm& local) {
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length) + ' ' + std::to_string(local.tm_mday);
}

// The smallest of `steps` whose labels, `pixelsPerStep` apart for a step of one, keep `labelWidth`
// apart; the largest when none does.
int LabelStep(std::initializer_list<int> steps, double pixelsPerStep, int labelWidth) {
    for (const int step : steps)
        if (step * pixelsPerStep >= labelWidth) return step;
    return *(steps.end() - 1);
}

std::vector<TimelineTick> HourTicks(std::int64_t from, std::int64_t to, const TimelineBand& band, int width,
                                    int labelWidth) {
    std::vector<TimelineTick> ticks;
    const int step = LabelStep({1, 2, 3, 6, 12, 24}, width * 3600.0 / (to - from), labelWidth);
    const std::tm first = Local(from);
    // Local whole hours are whole hours apart, whatever the zone's offset and its summer time.
    std::int64_t at = from - first.tm_min * 60 - first.tm_sec;
    if (at < from) at += 3600;
    for (; at < to; at += 3600) {
        const std::tm local = Local(at);
        TimelineTick tick{.x = band.X(at), .label = {}, .dayStart = local.tm_hour == 0};
        if (local.tm_hour % step == 0) {
            char text[8];
            std::strftime(text, sizeof text, "%H:00", &local);
            tick.label = tick.dayStart ? Format("%a", local) : text;
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

std::vector<TimelineTick> DayTicks(std::int64_t from, std::int64_t to, const TimelineBand& band, int width,
                                   int labelWidth) {
    std::vector<TimelineTick> ticks;
    const int step = LabelStep({1, 2, 7, 14}, width * 86400.0 / (to - from), labelWidth);
    const bool weekdays = to - from <= 8 * 86400;
    std::tm day = Local(from);
    day.tm_hour = day.tm_min = day.tm_sec = 0;
    for (;;) {
        day.tm_isdst = -1;  // midnight may be in summer time when `from` was not
        std::tm midnight = day;
        const std::int64_t at = std::mktime(&midnight);
        ++day.tm_mday;  // mktime brings the date back into range on the next turn
        if (at < from) continue;
        if (at >= to) break;
        TimelineTick tick{.x = band.X(at), .label = {}, .dayStart = true};
        // Monday is day 4 since 1970-01-01, a Thursday.
        if ((DayNumber(midnight) + 3) % step == 0) tick.label = Format(weekdays ? "%a" : "%b", midnight);
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

}  // namespace

TimelineBand::TimelineBand(std::vector<HistorySpan> clipped, std::int64_t from, std::int64_t to, int width)
    : spans_(std::move(clipped)), from_(from), to_(std::max(to, from + 1)), shown_(std::max(width, 0), -1) {
    const std::int64_t pixels = static_cast<std::int64_t>(shown_.size());
    for (std::size_t i = 0; i < spans_.size(); ++i) {
        const HistorySpan& span = spans_[i];
        // Every pixel the span touches, if only in part.
        const std::int64_t first = (span.start - from_) * pixels / (to_ - from_);
        const std::int64_t last = ((span.end - from_) * pixels + (to_ - from_) - 1) / (to_ - from_);
        for (std::int64_t x = std::max<std::int64_t>(first, 0);
             x < std::min(std::max(last, first + 1), pixels); ++x) {
            int& shown = shown_[x];
            if (shown < 0 || Weight(span.state) > Weight(spans_[shown].state)) shown = static_cast<int>(i);
        }
    }
}

std::vector<BandRun> TimelineBand::Runs() const {
    std::vector<BandRun> runs;
    for (int x = 0; x < static_cast<int>(shown_.size()); ++x) {
        if (shown_[x] < 0) continue;
        const int state = spans_[shown_[x]].state;
        if (!runs.empty() && runs.back().x1 == x && runs.back().state == state) {
            ++runs.back().x1;
        } else {
            runs.push_back({x, x + 1, state});
        }
    }
    return runs;
}

const HistorySpan* TimelineBand::SpanAt(int x) const {
    if (x < 0 || x >= static_cast<int>(shown_.size()) || shown_[x] < 0) return nullptr;
    return &spans_[shown_[x]];
}

int TimelineBand::X(std::int64_t at) const {
    return static_cast<int>((at - from_) * static_cast<std::int64_t>(shown_.size()) / (to_ - from_));
}

std::vector<TimelineTick> TimelineTicks(std::int64_t from, std::int64_t to, int width, int labelWidth) {
    if (to <= from || width <= 0) return {};
    const TimelineBand band({}, from, to, width);
    return to - from <= 2 * 86400 ? HourTicks(from, to, band, width, labelWidth)
                                  : DayTicks(from, to, band, width, labelWidth);
}

}  // namespace ostravel
