#include "ctl/ctlhistory.h"

#include <system_error>

#include "ctl/ctl.h"
#include "history/historystore.h"
#include "history/timeline.h"
#include "platform/translate.h"

namespace ostravel::ctl {

namespace {

// Padded to `width` characters (a translated word may take more bytes than characters).
std::string Padded(std::string text, std::size_t width) {
    std::size_t characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return text + std::string(std::max<std::size_t>(2, width > characters ? width - characters : 0), ' ');
}

std::string Table(const std::string& account, std::int64_t from, std::int64_t to,
                  const std::vector<HistorySpan>& clipped) {
    constexpr std::size_t kTime = 27, kLasted = 12;
    std::string text = FillIn(Translated(N_("Station history of {1} from {2} to {3}")),
                              {account, IsoLocalTime(from), IsoLocalTime(to)}) +
                       "\n";
    if (clipped.empty()) return text + Translated(N_("Nobody watched the station in this period.")) + "\n";
    text += Padded(Translated(N_("FROM")), kTime) + Padded(Translated(N_("TO")), kTime) +
            Padded(Translated(N_("LASTED")), kLasted) + Translated(N_("STATE")) + "\n";
    for (const HistorySpan& span : clipped) {
        text += Padded(IsoLocalTime(span.start), kTime) + Padded(IsoLocalTime(span.end), kTime) +
                Padded(DurationText(span.end - span.start), kLasted) +
                Translated(HistoryStateLabel(span.state).data()) + "\n";
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
            error = FillIn(Translated(N_("the station history cannot be read from {1}: {2}")),
                           {request.file.string(), store->LastError()});
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
