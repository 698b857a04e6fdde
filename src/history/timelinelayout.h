// How the history window lays a period out across the pixels of its band: which span each pixel
// shows, and where the ticks go and which of them carry a label. Times are UTC seconds; the ticks
// fall on whole local hours and local midnights.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/historystore.h"

namespace ostravel {

// Pixels [x0, x1) of the band in one state.
struct BandRun {
    int x0 = 0;
    int x1 = 0;
    int state = 0;
    bool operator==(const BandRun&) const = default;
};

class TimelineBand {
public:
    // `clipped`: the spans already cut to [from, to) (ClipSpans), oldest first, laid across `width`
    // pixels. A pixel that several spans share shows the one that matters most (down, then no
    // source, then on air, then the session lost), so that an outage of a minute still shows in a
    // month, and pointing at it names it.
    TimelineBand(std::vector<HistorySpan> clipped, std::int64_t from, std::int64_t to, int width);

    // Runs of pixels in one state, left to right; none where nobody watched.
    std::vector<BandRun> Runs() const;
    // The span shown at pixel `x`; nullptr where nobody watched and outside the band.
    const HistorySpan* SpanAt(int x) const;
    // The pixel that the time `at` falls in.
    int X(std::int64_t at) const;

private:
    std::vector<HistorySpan> spans_;
    std::int64_t from_, to_;
    std::vector<int> shown_;  // per pixel: the index of the span it shows, or -1
};

struct TimelineTick {
    int x = 0;
    std::string label;      // empty for a tick without one
    bool dayStart = false;  // a local midnight
};

// The ticks across [from, to) on a band `width` pixels wide: every local hour for a period of up to
// two days, else every local midnight. Labelled ticks stay at least `labelWidth` pixels apart and
// fall on whole steps (every 1, 2, 3, 6 or 12 hours; every day, second day, Monday or second Monday),
// so that they stay where they are while the period moves on. Labels: "14:00", a midnight's
// "Tue 9", and "Dec 9" for a period longer than a week.
std::vector<TimelineTick> TimelineTicks(std::int64_t from, std::int64_t to, int width, int labelWidth);

}  // namespace ostravel
