#include "ctl/ctlhistory.h"

#include <system_error>

#include "ctl/ctl.h"
#include "history/historystore.h"
#include "history/timeline.h"

namespace ostravel::ctl {

namespace {

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size() + 2, width), ' ');
    return text;
}

std::string Table(const std::string& account, std::int64_t from, std::int64_t to,
                  const std::vector<HistorySpan>& clipped) {
    constexpr std::size_t kTime = 27, kLasted = 12;
    std::string text =
        "Station history of " + account + " from " + IsoLocalTime(from) + " to " + IsoLocalTime(to) + "\n";
    if (clipped.empty()) return text + "Nobody watched the station in this period.\n";
    text += Padded("FROM", kTime) + Padded("TO", kTime) + Padded("LASTED", kLasted) + "STATE\n";
    for (const HistorySpan& span : clipped) {
        text += Padded(IsoLocalTime(span.start), kTime) + Padded(IsoLocalTime(span.end), kTime) +
                Padded(DurationText(span.end - span.start), kLasted) +
                std::string(HistoryStateLabel(span.state)) + "\n";
    }
    return text + SummaryLine(Summarise(clipped)) + "\n";
}

}  // namespace

int PrintHistory(const HistoryRequest& request, std::ostream& out, std::string& error) {
    const std::int64_t to = request.now;
    const std::int64_t from = to - static_cast<std::int64_t>(request.days) * 24 * 60 * 60;
    std::vector<HistorySpan> clipped;
    std::error_code ec;
    if (std::filesystem::exists(request.file, ec)) {
        std::string notice;
        // Read-only: watch or the desktop program may be writing it right now (WAL).
        const std::unique_ptr<HistoryStore> store = HistoryStore::Open(request.file, &notice, true);
        if (!store) {
            error = notice;
            return kExitLocal;
        }
        clipped = ClipSpans(store->Spans(request.account, from, to), from, to);
        if (!store->LastError().empty()) {
            error = "the station history cannot be read from " + request.file.string() + ": " +
                    store->LastError();
            return kExitLocal;
        }
    }
    switch (request.format) {
        case HistoryFormat::Table:
            out << Table(request.account, from, to, clipped);
            break;
        case HistoryFormat::Csv:
            out << SpansCsv(clipped);
            break;
        case HistoryFormat::Json:
            out << SpansJson(request.account, from, to, clipped);
            break;
    }
    return kExitOk;
}

}  // namespace ostravel::ctl
