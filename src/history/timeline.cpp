#include "history/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/clock.h"
#include "platform/translate.h"

namespace ostravel {

namespace {

bool IsOutage(int state) { return state == kHistoryDown || state == kHistoryNoSource; }

std::string Quoted(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

}  // namespace

std::vector<HistorySpan> ClipSpans(const std::vector<HistorySpan>& spans, std::int64_t from,
                                   std::int64_t to) {
    std::vector<HistorySpan> clipped;
    for (HistorySpan span : spans) {
        if (span.end == HistorySpan::kOpenEnd) span.end = to;
        span.start = std::max(span.start, from);
        span.end = std::min(span.end, to);
        if (span.end > span.start) clipped.push_back(span);
    }
    return clipped;
}

HistorySummary Summarise(const std::vector<HistorySpan>& clipped) {
    HistorySummary summary;
    for (const HistorySpan& span : clipped) {
        const std::int64_t length = span.end - span.start;
        if (span.state == kHistoryLost) continue;
        summary.watched += length;
        if (span.state == kHistoryOnAir) summary.onAir += length;
        if (IsOutage(span.state)) {
            summary.outages.push_back(span);
            summary.longestOutage = std::max(summary.longestOutage, length);
        }
    }
    return summary;
}

std::string DurationText(std::int64_t seconds) {
    const std::int64_t minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
    if (seconds < 60) {
        return FillIn(Translated(N_("{1} s")), {std::to_string(seconds)});
    } else if (hours == 0) {
        return FillIn(Translated(N_("{1} min")), {std::to_string(minutes)});
    } else if (days == 0) {
        return FillIn(Translated(N_("{1} h {2} min")), {std::to_string(hours), std::to_string(minutes % 60)});
    }
    return FillIn(Translated(N_("{1} d {2} h")), {std::to_string(days), std::to_string(hours % 24)});
}

std::string SummaryLine(const HistorySummary& summary) {
    if (summary.watched == 0) return Translated(N_("Nobody watched the station in this period."));
    // Rounded down, so that a single lost minute never shows as 100%.
    const double share = std::floor(1000.0 * summary.onAir / summary.watched) / 10.0;
    char percent[16];
    std::snprintf(percent, sizeof percent, "%.1f%%", share);
    const std::size_t count = summary.outages.size();
    if (count == 0) return FillIn(Translated(N_("On air {1} of the watched time; no outages")), {percent});
    return FillIn(TranslatedPlural("On air {1} of the watched time; {2} outage, longest {3}",
                                   "On air {1} of the watched time; {2} outages, longest {3}", count),
                  {percent, std::to_string(count), DurationText(summary.longestOutage)});
}

namespace {

// Each state's words: for people, and for machines (CSV, JSON, the watch's environment).
struct StateWords {
    int state;
    std::string_view label;
    std::string_view word;
};
constexpr StateWords kStateWords[] = {
    {kHistoryDown, N_("Server Down"), "down"},
    {kHistoryNoSource, N_("Server Up, Stream Down"), "no-source"},
    {kHistoryOnAir, N_("Server Up, Stream Up"), "on-air"},
    {kHistoryLost, N_("Session Lost"), "lost"},
};
constexpr StateWords kUnknownState{0, N_("Unknown"), "unknown"};

const StateWords& WordsOf(int state) {
    for (const StateWords& words : kStateWords) {
        if (words.state == state) return words;
    }
    return kUnknownState;
}

}  // namespace

std::string_view HistoryStateLabel(int state) { return WordsOf(state).label; }

std::string_view HistoryStateWord(int state) { return WordsOf(state).word; }

std::string IsoLocalTime(std::int64_t utcSeconds) {
    const std::tm local = LocalCalendar(utcSeconds), utc = UtcCalendar(utcSeconds);
    // The offset from the two broken-down times (strftime's %z is a zone name on Windows).
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
    const int offset = days * 24 * 60 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
    return text;
}

std::string SpansCsv(const std::vector<HistorySpan>& clipped) {
    std::string csv = "start,end,seconds,state,label\r\n";
    for (const HistorySpan& span : clipped) {
        csv += IsoLocalTime(span.start) + ',' + IsoLocalTime(span.end) + ',' +
               std::to_string(span.end - span.start) + ',' + std::string(HistoryStateWord(span.state)) + ',' +
               Quoted(HistoryStateLabel(span.state)) + "\r\n";
    }
    return csv;
}

std::string SpansJson(const std::string& account, std::int64_t from, std::int64_t to,
                      const std::vector<HistorySpan>& clipped) {
    const HistorySummary summary = Summarise(clipped);
    char share[32] = "null";
    if (summary.watched > 0)
        std::snprintf(share, sizeof share, "%.4f", double(summary.onAir) / summary.watched);
    std::string json = "{\"account\":" + JsonString(account) + ",\"from\":" + JsonString(IsoLocalTime(from)) +
                       ",\"to\":" + JsonString(IsoLocalTime(to)) +
                       ",\"watchedSeconds\":" + std::to_string(summary.watched) + ",\"onAirShare\":" + share +
                       ",\"outages\":" + std::to_string(summary.outages.size()) + ",\"spans\":[";
    for (std::size_t i = 0; i < clipped.size(); ++i) {
        const HistorySpan& span = clipped[i];
        json += (i == 0 ? "" : ",");
        json += "{\"start\":" + JsonString(IsoLocalTime(span.start)) +
                ",\"end\":" + JsonString(IsoLocalTime(span.end)) +
                ",\"seconds\":" + std::to_string(span.end - span.start) +
                ",\"state\":" + JsonString(HistoryStateWord(span.state)) + '}';
    }
    return json + "]}\n";
}

}  // namespace ostravel
