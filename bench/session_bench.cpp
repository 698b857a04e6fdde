// The real main window, view, session and receiver against the host stand-in, for two figures:
//  - the UI thread's longest stall while the status is asked for every second (as F5 does; the
//    live status cannot be set below ten seconds) for a minute: a thread hands the UI thread an
//    empty task every 2 ms through the queue the session's replies take, and the longest any of
//    them waited is the longest the window could not have answered;
//  - reconnection: a stand-in that closes every connection after a number of replies; from the
//    moment the reconnection delay is over (its timer goes off and the status bar's countdown gives
//    way to "Ready") until the session is logged in again, beside the command round trip measured
//    on the same connection.
// Run under a display, e.g.  xvfb-run -a build/release/bench/bench_session [STALL_SECONDS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <wx/init.h>
#include <wx/statusbr.h>
#include <wx/timer.h>

#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "desktop/uithreadview.h"
#include "desktop_bench.h"
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"
#include "session/shellrules.h"

namespace {

using namespace ostravel;
using Clock = std::chrono::steady_clock;

// Notes when the last timer went off: the reconnection's delay ends with its timer's event, whose
// handler puts "Ready" back before it starts the login.
class SessionBenchApp : public BenchApp {
public:
    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == wxEVT_TIMER) lastTimer = Clock::now();
        return -1;  // processed as usual
    }
    Clock::time_point lastTimer;
};

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, int percent) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * percent / 100)];
}

bool LogIn(MainView& view, const std::string& user, const std::string& password) {
    const auto start = Clock::now();
    bool finished = false;
    view.Session().BeginLogin(user, password, [&] { wxTheApp->CallAfter([&] { finished = true; }); });
    if (!PumpUntil([&] { return finished; })) return false;
    view.Session().LoginAccepted();
    const auto connected = Clock::now();
    if (!PumpUntil([&] { return view.GetDocument().LoginId() != 0; })) return false;
    std::printf("login: connected and sent %.2f ms, logged in %.2f ms\n", Millis(connected - start),
                Millis(Clock::now() - start));
    return PumpUntil([&] { return !view.StatusBox()->IsEmpty(); });
}

// One status request until its reply is in the status box, in milliseconds; negative if none came.
double StatusRound(MainView& view) {
    view.StatusBox()->ChangeValue(wxEmptyString);
    const auto start = Clock::now();
    view.RunCommand(cmd::kServerStatus);
    if (!PumpUntil([&] { return !view.StatusBox()->IsEmpty(); }, 1s)) return -1;
    return Millis(Clock::now() - start);
}

// How long each of the probe's tasks waited for the UI thread while the status is asked for every
// second (`refreshing`), or while nothing else happens: what the machine itself costs the loop.
std::vector<double> StallRun(MainFrame& frame, MainView& view, int seconds, bool refreshing) {
    struct Waits {
        std::mutex mutex;
        std::vector<double> millis;
        std::vector<std::pair<double, double>> longest;  // wait, and how long after a status request
        Clock::time_point asked;
    };
    auto waits = std::make_shared<Waits>();  // shared with tasks that may run late
    std::atomic<bool> stop{false};
    std::thread probe([&, poster = frame.UiThread().Poster()] {
        while (!stop) {
            poster([waits, posted = Clock::now()] {
                std::lock_guard lock(waits->mutex);
                const double wait = Millis(Clock::now() - posted);
                waits->millis.push_back(wait);
                if (wait > 4) waits->longest.emplace_back(wait, Millis(posted - waits->asked));
            });
            std::this_thread::sleep_for(2ms);  // the probe's pace, not a wait for anything
        }
    });
    wxTimer refresh;
    int asked = 0;
    refresh.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        ++asked;
        {
            std::lock_guard lock(waits->mutex);
            waits->asked = Clock::now();
        }
        view.RunCommand(cmd::kServerStatus);
    });
    if (refreshing) refresh.Start(1000);
    PumpUntil([] { return false; }, std::chrono::seconds(seconds));
    refresh.Stop();
    stop = true;
    probe.join();
    std::lock_guard lock(waits->mutex);
    std::printf("%d status requests in %d s, %zu probes\n", asked, seconds, waits->millis.size());
    std::sort(waits->longest.rbegin(), waits->longest.rend());
    for (std::size_t i = 0; i < std::min<std::size_t>(5, waits->longest.size()); ++i)
        std::printf("  waited %.2f ms, posted %.1f ms after a status request\n", waits->longest[i].first,
                    waits->longest[i].second);
    return waits->millis;
}

// Waits for the connection to be lost and the session to be back; the time from the end of the
// reconnection delay to the login, in milliseconds, or negative.
double Reconnected(MainFrame& frame, SessionDocument& doc) {
    wxStatusBar* bar = frame.GetStatusBar();
    auto reconnecting = [bar] { return bar->GetStatusText(0).StartsWith("Reconnecting"); };
    // Status requests until the stand-in closes the connection and the countdown shows.
    for (int i = 0; i < 40 && !reconnecting(); ++i) {
        StatusRound(*frame.GetActiveView());
        PumpUntil(reconnecting, 20ms);
    }
    if (!reconnecting()) return -1;
    if (!PumpUntil([&] { return bar->GetStatusText(0) == kReadyPrompt; }, 70s)) return -1;
    const auto due = static_cast<SessionBenchApp*>(wxTheApp)->lastTimer;
    if (!PumpUntil([&] { return doc.LoginId() != 0; }, 10s)) return -1;
    return Millis(Clock::now() - due);
}

}  // namespace

int main(int argc, char** argv) {
    const int stallSeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    wxApp::SetInstance(new SessionBenchApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "bench_session: no display\n");
        return 1;
    }
    int status = 0;
    {
        HostSim steady, closing;
        // Each connection to the second stand-in ends after its 25th reply.
        if (!steady.Start("session") || !closing.Start("session", {"--fault", "close-after=25"})) {
            std::fprintf(stderr, "bench_session: the host stand-in did not start\n");
            return 1;
        }
        SessionDocument doc;
        MainFrame* frame = ShowMainFrame(doc, steady.ServicePort());
        MainView& view = *frame->GetActiveView();
        view.Session().SetHost(HostOf(SocketAddress("127.0.0.1", steady.ServicePort())));
        if (!LogIn(view, "dj", "djpass")) {
            std::fprintf(stderr, "bench_session: no status after the login\n");
            return 2;
        }
        const std::vector<double> waits = StallRun(*frame, view, stallSeconds, true);
        const std::vector<double> quiet = StallRun(*frame, view, std::max(5, stallSeconds / 3), false);
        const double longest = waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
        const double quietLongest = quiet.empty() ? 0 : *std::max_element(quiet.begin(), quiet.end());
        std::printf(
            "UI thread: longest wait of a posted task %.2f ms, p99 %.2f ms, median %.3f ms; "
            "with nothing asked, longest %.2f ms, p99 %.2f ms\n",
            longest, Percentile(waits, 99), Percentile(waits, 50), quietLongest, Percentile(quiet, 99));
        std::printf(
            "= stall_seconds %d\n= stall_max_ms %.2f\n= stall_p99_ms %.3f\n= quiet_max_ms %.2f\n"
            "= quiet_p99_ms %.3f\n",
            stallSeconds, longest, Percentile(waits, 99), quietLongest, Percentile(quiet, 99));

        // Reconnection, twice (a third loss this soon would stop the retries).
        view.RunCommand(cmd::kLogout);
        PumpUntil([&] { return doc.LoginId() == 0; });
        view.Session().SetHost(HostOf(SocketAddress("127.0.0.1", closing.ServicePort())));
        doc.SetReconnect(true);
        if (!LogIn(view, "dj", "djpass")) {
            std::fprintf(stderr, "bench_session: no login to the closing stand-in\n");
            return 2;
        }
        std::vector<double> rounds;
        for (int i = 0; i < 20; ++i) rounds.push_back(StatusRound(view));
        const double round = Percentile(rounds, 50);
        std::vector<double> overheads;
        for (int i = 0; i < 2; ++i) {
            const double overhead = Reconnected(*frame, doc);
            if (overhead < 0) {
                std::fprintf(stderr,
                             "bench_session: reconnection %d did not come back; the status bar says \"%s\", "
                             "the messages:\n",
                             i + 1, frame->GetStatusBar()->GetStatusText(0).utf8_str().data());
                for (const wxString& line : view.MessageList()->GetStrings())
                    std::fprintf(stderr, "  %s\n", line.utf8_str().data());
                status = 2;
                break;
            }
            overheads.push_back(overhead);
            std::printf("reconnection %d: logged in %.2f ms after its delay was over\n", i + 1, overhead);
        }
        if (!overheads.empty()) {
            std::printf("= round_trip_ms %.3f\n= reconnect_fast_ms %.2f\n= reconnect_slow_ms %.2f\n", round,
                        *std::min_element(overheads.begin(), overheads.end()),
                        *std::max_element(overheads.begin(), overheads.end()));
        }
        frame->ExitProgram();
        PumpUntil([&] { return wxTopLevelWindows.empty(); }, 5s);
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return status;
}
