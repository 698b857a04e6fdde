// One whole reply through the routing table, into a recording view: a reply without a keyword
// touches nothing; a list reply (or one with its row's error keyword) is the one line on top,
// whole; a status reply fills the status box and the tray with known states only; a settings
// reply opens its own dialog over a complete model; a log or summary opens the viewer with the
// reply as it came.
#include "session/sessiondocument.h"
#include "fakes/fake_clock.h"
#include "fakes/recording_view.h"
#include "fuzz_support.h"
#include "session/receiver.h"

using namespace ostravel;

namespace {

using Shown = std::vector<std::pair<std::string, std::string>>;

const char* ViewerKind(ReplyAction action) {
    switch (action) {
        case ReplyAction::DjLogs: return "dj";
        case ReplyAction::TvLogs: return "tv";
        case ReplyAction::AccountSummary: return "summary";
        case ReplyAction::ServerContent: return "server";
        case ReplyAction::DjConfig: return "autodj";
        case ReplyAction::TvConfig: return "autotv";
        default: return nullptr;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = fuzz::AsString(data, size);
    testing::RecordingView view;
    // The user presses Save once; a refused Save reopens the dialog and is then cancelled.
    int saves = 0;
    view.SetEditor([&](const std::string&, DialogModel&) { return saves++ == 0; });
    testing::FakeClock clock;
    SessionDocument doc;
    doc.SetView(&view);
    Receiver receiver(doc, clock);

    const ReplyRoute* route = FindReplyRoute(reply);
    FUZZ_CHECK(receiver.Dispatch(reply) == (route != nullptr));
    const std::vector<std::string> lines = view.Lines();
    const Shown shown = view.Shown();
    const std::vector<DialogModel> opened = view.Opened();
    const std::vector<testing::TrayCall> tray = view.Tray();
    const SettingsRecords settings = doc.Settings();

    if (route == nullptr) {
        FUZZ_CHECK(lines.empty() && shown.empty() && tray.empty() && view.Status().empty());
        FUZZ_CHECK(settings.server == ServerSettings{} && settings.autoDJ == AutoDJSettings{});
        return 0;
    }
    if (route->action == ReplyAction::MessageList || HasErrorKeyword(*route, reply)) {
        FUZZ_CHECK(lines == std::vector<std::string>{reply});
        FUZZ_CHECK(shown.empty() && tray.empty() && view.Status().empty());
        return 0;
    }
    if (route->action == ReplyAction::ServerStatus) {
        const StatusReport report = ParseStatusReport(reply);
        FUZZ_CHECK(lines.empty() && shown.empty());
        FUZZ_CHECK(view.Status() == report.display);
        FUZZ_CHECK(tray.size() == report.states.size());
        const int icons[] = {kIconServerDown, kIconServerUpStreamDown, kIconServerUpStreamUp};
        for (std::size_t i = 0; i < tray.size(); ++i) FUZZ_CHECK(tray[i].iconId == icons[report.states[i]]);
        FUZZ_CHECK(doc.Snapshot().serverState == (report.states.empty() ? 3 : report.states.back()));
        return 0;
    }
    FUZZ_CHECK(tray.empty() && view.Status().empty());
    if (route->action == ReplyAction::ServerConfig) {
        FUZZ_CHECK(settings.server.serverConfigReply == reply);
        FUZZ_CHECK(lines.empty() && shown.empty());
        return 0;
    }
    const std::string kind = ViewerKind(route->action);
    FUZZ_CHECK(!shown.empty() && shown.front().first == kind);
    if (route->action == ReplyAction::DjLogs || route->action == ReplyAction::TvLogs ||
        route->action == ReplyAction::AccountSummary) {
        FUZZ_CHECK(shown == (Shown{{kind, reply}}) && doc.TextReply() == reply && lines.empty());
        return 0;
    }
    // A settings dialog: opened over a full model; Save refused at most once, with the reason.
    FUZZ_CHECK(shown.size() == opened.size() && opened.size() == 1 + lines.size() && lines.size() <= 1);
    for (const auto& [k, text] : shown) FUZZ_CHECK(k == kind && text.empty());
    for (const DialogModel& model : opened) fuzz::CheckDialogModel(kind, model);
    if (!lines.empty()) FUZZ_CHECK(lines[0].rfind("Settings not sent: \"", 0) == 0);
    if (route->action == ReplyAction::ServerContent) FUZZ_CHECK(settings.server.serverContentReply == reply);
    if (route->action == ReplyAction::DjConfig) FUZZ_CHECK(settings.autoDJ.djConfigReply == reply);
    return 0;
}
