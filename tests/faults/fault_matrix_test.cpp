// The fault matrix: the real main window with the real receiver against the host stand-in
// misbehaving in each way it can (rows) at each phase of a session (columns). Every cell checks
// that the program survives, keeps answering, tells the user something clear, leaks no descriptor,
// logs in again in the same run and exits at once. The receiver gets a fake clock, so the
// 30-second rule is reached by moving it rather than by waiting.
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/init.h>

#include "config/preferences.h"
#include "desktop/mainframe.h"
#include "desktop/mainview.h"
#include "desktop/textviewdialog.h"
#include "fakes/fake_clock.h"
#include "gui/toolkit_scope.h"
#include "matrix_support.h"
#include "protocol/commands.h"
#include "session/receiver.h"
#include "session/sessiondocument.h"

namespace ostravel::faults {
namespace {

enum class Phase { Login, Command, Settings, Logs, Logout };
constexpr Phase kPhases[] = {Phase::Login, Phase::Command, Phase::Settings, Phase::Logs, Phase::Logout};
constexpr const char* kPhaseNames[] = {"login", "command (Start Server)", "settings (Configure AutoDJ)",
                                       "log (View DJ Logs)", "logout"};

struct FaultRow {
    const char* name;       // the row as the table shows it
    const char* switches;   // the stand-in's switches; N counts from the connection's start, so a
                            // count of 0 hits the next reply wherever the session stands
    const char* expected;   // what the user must be told from login to the log phase; null: anything
                            // clear (the logout always ends in its farewell, or the session's end)
    const char* loginOnly;  // why the later phases do not apply, or null
};

const FaultRow kRows[] = {
    {"none (control)", "none", "reply", nullptr},
    {"close", "close-after=0", "ended", nullptr},
    {"reset", "reset-after=0", "ended", nullptr},
    {"stall", "stall", "timed out", nullptr},
    {"trickle (1 byte / 10 ms)", "trickle", nullptr, nullptr},
    {"1 MiB without NUL", "flood", nullptr, nullptr},
    {"embedded NULs", "nuls", nullptr, nullptr},
    {"reply over 25,600 bytes", "oversize", nullptr, nullptr},
    {"SYN never answered", "deaf", "connect failed",
     "only a login connects; an open session's connection is not touched by a deaf listener"},
    {"\"/bye\"", "bye-after=0", "ended", nullptr},
};

// The lines with which a session that did not go through tells the user so.
const std::map<std::string, std::string> kEndLines = {
    {kSessionEndedMessage, "ended"},
    {kTimedOutMessage, "timed out"},
    {kConnectFailedMessage, "connect failed"},
    {kIncompleteSettingsMessage, "settings incomplete"},
};

constexpr Ms kReplyWait = 2s;       // what a working phase takes at most, with room for a busy machine
constexpr Ms kAnswerLimit = 100ms;  // the window must run posted work this soon
// ... except while it builds what the user asked for: a settings dialog (tens of controls, slow in
// a sanitized build on a busy machine), or a list row of a whole 25,600-byte receive, which the list
// box measures in full (hundreds of lines in the oversize filler). Slow, not stuck: a window held
// by the network waits seconds, and still fails.
constexpr Ms kDialogAnswerLimit = 300ms;
constexpr std::size_t kLongRow = 4096;
constexpr Ms kLongRowAnswerLimit = 1s;
constexpr Ms kExitLimit = 1s;
constexpr int kConnectSeconds = 1;  // the connect limit, shortened: the deaf row waits it out
constexpr int kMostIdleAdvances = 20;

struct Cell {
    enum class State { NotRun, Pass, Fail, NotApplicable } state = State::NotRun;
    std::string where;    // list, status, dialog, viewer, box
    std::string outcome;  // "reply" when the phase went through, else what the user was told
    std::string line;     // the line itself
    long ms = 0;          // from the trigger to the line (after the clock was moved, if it was)
    bool idleRule = false;
    long worstAnswerMs = 0, exitMs = 0;
    bool answeredLate = false;  // the window answered later than its limit (one of the problems)
    int descriptorsBefore = 0, descriptorsAfter = 0;
    std::vector<std::string> problems;
    std::string note;  // something the user meets that the checks let pass, for the table's notes
    std::vector<std::string> lines;  // the message list when the phase settled, newest first

    std::string Text() const {
        if (state == State::NotApplicable) return "n/a";
        if (state == State::NotRun) return "not run";
        std::ostringstream out;
        out << (state == State::Pass ? "pass" : "FAIL") << " · ";
        if (!outcome.empty()) out << where << ": " << outcome << " · ";
        if (idleRule) out << "30 s + ";
        if (ms < 1000) {
            out << ms << " ms";
        } else {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f s", static_cast<double>(ms) / 1000);
            out << seconds;
        }
        return out.str();
    }
};

std::map<std::pair<int, int>, Cell> g_cells;  // (row, phase)
std::vector<std::string> g_hostSettings;      // what the AutoDJ dialog showed over the control row's reply

std::string Shorten(std::string text, std::size_t most = 60) {
    for (char& ch : text)
        if (ch == '\r' || ch == '\n' || ch == '\0') ch = ' ';
    if (text.size() > most) text = text.substr(0, most) + "...";
    return text;
}

// One cell: a frame of its own, so that each starts from a freshly started program's state.
class CellRun {
public:
    CellRun(StandIn& host, Phase phase, Cell& cell) : host_(host), phase_(phase), cell_(cell) {}

    void Run(const FaultRow& row) {
        const std::vector<std::string> before = DescriptorTargets();
        cell_.descriptorsBefore = static_cast<int>(before.size());
        auto doc = std::make_unique<SessionDocument>();
        auto clock = std::make_unique<testing::FakeClock>();
        doc_ = doc.get();
        clock_ = clock.get();
        frame_ = new MainFrame(
            *doc_, HostOf(SocketAddress("127.0.0.1", host_.ServicePort())),
            [clock = clock_](SessionDocument& d) { return std::make_unique<Receiver>(d, *clock); });
        frame_->Show();
        alive_ = frame_;
        view_ = frame_->GetActiveView();
        view_->Session().SetConnectSeconds(kConnectSeconds);
        {
            ModalUser user;
            user_ = &user;
            Exercise(row);
            Exit();
            user_ = nullptr;
        }
        const std::vector<std::string> after = DescriptorTargets();
        cell_.descriptorsAfter = static_cast<int>(after.size());
        if (after != before) {
            std::string added;
            for (const std::string& fd : after)
                if (std::find(before.begin(), before.end(), fd) == before.end()) added += " [" + fd + "]";
            Problem("descriptors: " + std::to_string(before.size()) + " before, " +
                    std::to_string(after.size()) + " after; new:" + added);
        }
        if (alive_) {
            // Whatever still runs there may touch the session and the clock: keep them.
            doc.release();
            clock.release();
        }
        cell_.state = cell_.problems.empty() ? Cell::State::Pass : Cell::State::Fail;
    }

private:
    void Problem(const std::string& what) { cell_.problems.push_back(what); }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const wxString& line : view_->MessageList()->GetStrings()) lines.push_back(NarrowText(line));
        return lines;
    }
    bool Pump(const std::function<bool()>& done, Ms timeout) { return PumpUntil(done, timeout, answering_); }

    bool LogIn() {
        view_->RunCommand(cmd::kLogin);
        return Pump([&] { return doc_->LoginId() != 0 && !view_->StatusBox()->IsEmpty(); }, 5s);
    }

    void Trigger() {
        switch (phase_) {
            case Phase::Login:
                view_->RunCommand(cmd::kLogin);
                break;
            case Phase::Command:
                view_->RunCommand(cmd::kServerStart);
                break;
            case Phase::Settings:
                view_->RunCommand(cmd::kDjConfigure);
                break;
            case Phase::Logs:
                view_->RunCommand(cmd::kDjLogs);
                break;
            case Phase::Logout:
                // A reply is on its way as the user logs out: the fault hits it, racing the notice.
                view_->RunCommand(cmd::kServerStatus);
                view_->RunCommand(cmd::kLogout);
                break;
        }
    }

    TextViewDialog* Viewer() const {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* viewer = dynamic_cast<TextViewDialog*>(window); viewer != nullptr && viewer->IsShown())
                return viewer;
        return nullptr;
    }

    // What the user has been shown so far that settles the phase: true once there is something.
    bool Observe() {
        const std::vector<std::string> lines = Lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (auto end = kEndLines.find(*it); end != kEndLines.end())
                return Settle("list", end->second, *it);
        }
        if (const ModalUser::Seen* box = user_->First("box")) return Settle("box", "message box", box->text);
        switch (phase_) {
            case Phase::Login:
                if (doc_->LoginId() != 0 && !view_->StatusBox()->IsEmpty())
                    return Settle("status", "reply", NarrowText(view_->StatusBox()->GetValue()));
                break;
            case Phase::Command:
                for (const std::string& line : lines)
                    if (line.find("Shoutcast server") != std::string::npos)
                        return Settle("list", "reply", line);
                break;
            case Phase::Settings:
                if (const ModalUser::Seen* dialog = user_->First("settings")) {
                    CompareSettings(dialog->values);
                    return Settle("dialog", "reply", dialog->text);
                }
                break;
            case Phase::Logs:
                if (TextViewDialog* viewer = Viewer())
                    return Settle("viewer", "reply", NarrowText(viewer->m_text));
                break;
            case Phase::Logout:
                if (!lines.empty() && lines.front() == kFarewellMessage && doc_->LoginId() == 0)
                    return Settle("list", "reply", lines.front());
                break;
        }
        return false;
    }
    // Every cell's stand-in starts from the same settings, so each dialog should show what the
    // control row's did.
    void CompareSettings(const std::vector<std::string>& shown) {
        if (g_hostSettings.empty()) {
            g_hostSettings = shown;
            return;
        }
        int differ = 0;
        for (std::size_t i = 0; i < std::max(shown.size(), g_hostSettings.size()); ++i)
            if (i >= shown.size() || i >= g_hostSettings.size() || shown[i] != g_hostSettings[i]) ++differ;
        if (differ > 0)
            cell_.note = "the dialog opened, but " + std::to_string(differ) + " of its " +
                         std::to_string(g_hostSettings.size()) +
                         " controls show other values than the host holds";
    }
    bool Settle(const char* where, const std::string& outcome, const std::string& line) {
        cell_.lines.clear();
        for (const std::string& shown : Lines()) {
            cell_.lines.push_back(Shorten(shown, 40));
            longestRow_ = std::max(longestRow_, shown.size());
        }
        if (phase_ == Phase::Command && outcome == "reply" && line.rfind("Shoutcast server", 0) != 0)
            cell_.note = "the reply is the end of a " + std::to_string(line.size()) +
                         "-character row that opens with what came before it";
        if (outcome != "reply") {
            // Anything else the session showed on its way to the end.
            for (const std::string& shown : Lines())
                if (kEndLines.count(shown) == 0 && shown != kFarewellMessage)
                    cell_.note += (cell_.note.empty() ? "before that the list showed \"" : ", \"") +
                                  Shorten(shown) + "\"";
        }
        cell_.where = where;
        cell_.outcome = outcome;
        cell_.line = Shorten(line);
        return true;
    }

    void Exercise(const FaultRow& row) {
        if (phase_ != Phase::Login) {
            if (!LogIn()) return Problem("the login before the phase did not go through");
            if (!host_.SetFaults(row.switches, true)) return Problem("the stand-in refused the switches");
        }
        view_->MessageList()->Clear();
        answering_ = Answering{};
        const auto triggered = SteadyClock::now();
        Trigger();
        answering_.Note(SteadyClock::now() -
                        triggered);  // the command's own handler held the window this long
        auto from = triggered;
        bool seen = Pump([&] { return Observe(); }, kReplyWait);
        // Nothing settled it: time passes without a word from the host, as far as the receiver knows.
        for (int i = 0; !seen && i < kMostIdleAdvances; ++i) {
            cell_.idleRule = true;
            from = SteadyClock::now();
            clock_->Advance(kIdleSeconds);
            seen = Pump([&] { return Observe(); }, kReplyWait);
        }
        cell_.ms = ToMs(SteadyClock::now() - from);
        if (!seen) Problem("no line for the user");
        if (seen && phase_ == Phase::Logout && cell_.outcome != "reply" && cell_.outcome != "ended")
            Problem("the logout ended in \"" + cell_.line + "\"");
        if (seen && phase_ != Phase::Logout && row.expected != nullptr && cell_.outcome != row.expected)
            Problem(std::string("expected the user to be told \"") + row.expected + "\", got \"" +
                    cell_.line + "\"");
        if (seen && cell_.outcome == "settings incomplete" && doc_->LoginId() == 0)
            Problem("a settings reply that did not arrive whole ended the session");
        if (seen && cell_.outcome != "reply" && cell_.outcome != "settings incomplete" &&
            cell_.where == "list") {
            // A session that ended is reset like a log-off.
            if (!Pump(
                    [&] {
                        return doc_->Disconnected() && doc_->LoginId() == 0 && view_->StatusBox()->IsEmpty();
                    },
                    2s))
                Problem("the ended session was not reset");
        }

        if (!host_.SetFaults("none", true)) Problem("the stand-in refused to clear the switches");
        std::vector<TextViewDialog*> viewers;
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* viewer = dynamic_cast<TextViewDialog*>(window)) viewers.push_back(viewer);
        for (TextViewDialog* viewer : viewers) viewer->Destroy();
        const int before = doc_->LoginId();
        if (!LogIn() || doc_->LoginId() == before) Problem("the login afterwards did not go through");
        // From the trigger to here, the window must always have answered promptly.
        cell_.worstAnswerMs = ToMs(answering_.worst);
        const bool longRow = longestRow_ > kLongRow;
        const Ms limit = longRow                  ? kLongRowAnswerLimit
                         : user_->Saw("settings") ? kDialogAnswerLimit
                                                  : kAnswerLimit;
        if (answering_.worst > limit) {
            cell_.answeredLate = true;
            Problem("the window took " + std::to_string(cell_.worstAnswerMs) + " ms to answer");
        }
        if (longRow && answering_.worst > kAnswerLimit && cell_.note.empty())
            cell_.note = "a " + std::to_string(longestRow_) + "-character row held the window " +
                         std::to_string(cell_.worstAnswerMs) + " ms";
    }

    void Exit() {
        const auto asked = SteadyClock::now();
        frame_->ExitProgram();
        Answering ignored;
        const bool gone = PumpUntil([&] { return !alive_; }, kExitLimit, ignored);
        cell_.exitMs = ToMs(SteadyClock::now() - asked);
        if (!gone) {
            Problem("Exit took longer than 1 s");
            PumpUntil([&] { return !alive_; }, 10s, ignored);
        }
    }

    StandIn& host_;
    const Phase phase_;
    Cell& cell_;
    SessionDocument* doc_ = nullptr;
    testing::FakeClock* clock_ = nullptr;
    MainFrame* frame_ = nullptr;
    MainView* view_ = nullptr;
    wxWeakRef<MainFrame> alive_;
    ModalUser* user_ = nullptr;
    Answering answering_;
    std::size_t longestRow_ = 0;
};

class FaultMatrix : public ::testing::TestWithParam<int> {};

// The toolkit opens a few descriptors for good with the first window; one window opened and closed
// first keeps them out of the cells' counts.
class FirstWindow : public ::testing::Environment {
public:
    void SetUp() override {
        SessionDocument doc;
        auto* frame = new MainFrame(doc, HostOf(SocketAddress("127.0.0.1", 9)),
                                    [](SessionDocument& d) { return std::make_unique<Receiver>(d); });
        frame->Show();
        wxWeakRef<MainFrame> alive = frame;
        Answering ignored;
        PumpUntil([] { return false; }, 200ms, ignored);
        frame->ExitProgram();
        ASSERT_TRUE(PumpUntil([&] { return !alive; }, 5s, ignored));
    }
};

// One row: a stand-in started with the fault for the login; for each later phase the fault is
// switched on the open session just before the phase, and off again before the next login.
TEST_P(FaultMatrix, EveryPhaseSurvivesAndTellsTheUser) {
    const int r = GetParam();
    const FaultRow& row = kRows[r];
    StandIn host;
#ifndef HOSTSIM_PROGRAM
    GTEST_SKIP() << "the host stand-in is not built";
#endif
    ASSERT_TRUE(host.Start(std::to_string(r), row.switches));
    for (const Phase phase : kPhases) {
        Cell& cell = g_cells[{r, static_cast<int>(phase)}];
        const std::string name = std::string(row.name) + " × " + kPhaseNames[static_cast<int>(phase)];
        if (row.loginOnly != nullptr && phase != Phase::Login) {
            cell.state = Cell::State::NotApplicable;
            continue;
        }
        CellRun(host, phase, cell).Run(row);
        // Late and otherwise right: the cell runs once more. A window the program holds is held
        // again; a busy machine's moment (a probe a few ms over its limit) passes.
        if (cell.answeredLate && cell.problems.size() == 1) {
            const long firstRun = cell.worstAnswerMs;
            cell = Cell{};
            CellRun(host, phase, cell).Run(row);
            if (cell.note.empty())
                cell.note = "answered within " + std::to_string(firstRun) + " ms on a first run";
        }
        std::string lines;
        for (const std::string& line : cell.lines) lines += (lines.empty() ? "\"" : ", \"") + line + "\"";
        std::printf(
            "[cell] %s: %s; %s \"%s\"; list [%s]; window answered within %ld ms; exit %ld ms; "
            "descriptors %d/%d%s%s\n",
            name.c_str(), cell.Text().c_str(), cell.where.c_str(), cell.line.c_str(), lines.c_str(),
            cell.worstAnswerMs, cell.exitMs, cell.descriptorsBefore, cell.descriptorsAfter,
            cell.note.empty() ? "" : "; note: ", cell.note.c_str());
        for (const std::string& problem : cell.problems) ADD_FAILURE() << name << ": " << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::Range(0, static_cast<int>(std::size(kRows))),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = kRows[info.param].switches;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

void PrintMatrix() {
    if (g_cells.empty()) return;
    std::printf("\n| Fault | login | command | settings | log | logout |\n|---|---|---|---|---|---|\n");
    std::vector<std::string> notes;
    for (int r = 0; r < static_cast<int>(std::size(kRows)); ++r) {
        if (g_cells.find({r, 0}) == g_cells.end()) continue;
        std::printf("| %s |", kRows[r].name);
        for (int p = 0; p < static_cast<int>(std::size(kPhases)); ++p) {
            const Cell& cell = g_cells[{r, p}];
            std::string text = cell.Text();
            if (!cell.note.empty()) {
                notes.push_back(std::string(kRows[r].name) + " × " + kPhaseNames[p] + ": " + cell.note + ".");
                text += " (" + std::to_string(notes.size()) + ")";
            }
            std::printf(" %s |", text.c_str());
        }
        std::printf("\n");
    }
    if (!notes.empty()) std::printf("\n");
    for (std::size_t i = 0; i < notes.size(); ++i) std::printf("(%zu) %s\n", i + 1, notes[i].c_str());
    for (const FaultRow& row : kRows)
        if (row.loginOnly != nullptr) std::printf("\nn/a for %s: %s.\n", row.name, row.loginOnly);
    std::fflush(stdout);
}

}  // namespace
}  // namespace ostravel::faults

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ostravel::testing::ToolkitScope toolkit(argc, argv);
    if (!toolkit.Started()) return 1;
    // Each cell is what one fault does to one session: the desktop's reconnecting (a preference, on
    // unless switched off) would start a second one.
    wxConfigBase::Get()->Write(ostravel::pref::kReconnect, false);
    ::testing::AddGlobalTestEnvironment(new ostravel::faults::FirstWindow);
    const int result = RUN_ALL_TESTS();
    ostravel::faults::PrintMatrix();
    return result;
}
