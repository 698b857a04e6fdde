// What a period of the history says: the spans cut to the period, the share of the watched time on
// air, the outages; and the same as CSV and JSON for export. Shared by the history window and
// `ostravel-ctl history`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/historystore.h"

namespace ostravel {

// The spans that overlap [from, to), each cut to it; one still open ends at `to`.
std::vector<HistorySpan> ClipSpans(const std::vector<HistorySpan>& spans, std::int64_t from, std::int64_t to);

struct HistorySummary {
    std::int64_t watched = 0;          // seconds in a known state of the server (a lost session is not)
    std::int64_t onAir = 0;            // of those, up and public
    std::vector<HistorySpan> outages;  // the spans down or without a source, oldest first
    std::int64_t longestOutage = 0;
};
// Of spans already cut to a period.
HistorySummary Summarise(const std::vector<HistorySpan>& clipped);

// "On air 99.2% of the watched time; 3 outages, longest 14 min".
std::string SummaryLine(const HistorySummary& summary);
// "45 s", "14 min", "2 h 5 min", "3 d 4 h".
std::string DurationText(std::int64_t seconds);
// "Server Down", "Server Up, Stream Down", "Server Up, Stream Up", "Session Lost".
std::string_view HistoryStateLabel(int state);
// The same for machines: "down", "no-source", "on-air", "lost".
std::string_view HistoryStateWord(int state);
// ISO 8601 in local time with its offset: "2026-12-09T01:02:03+01:00".
std::string IsoLocalTime(std::int64_t utcSeconds);

// RFC 4180 (CRLF, quoted where needed): start,end,seconds,state,label; one row per span.
std::string SpansCsv(const std::vector<HistorySpan>& clipped);
// {"account":..., "from":..., "to":..., "onAirShare":..., "outages":N, "spans":[...]}.
std::string SpansJson(const std::string& account, std::int64_t from, std::int64_t to,
                      const std::vector<HistorySpan>& clipped);

}  // namespace ostravel
