// The Station History window over a year of spans, opened from the Account menu while logged in to
// the host stand-in: it shows the logged-in account, with the state the session just recorded.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>

#include <wx/listctrl.h>

#include "desktop/historyband.h"
#include "desktop/historywindow.h"
#include "desktop/wxtext.h"
#include "desktop_fixture.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "history/timeline.h"

namespace ostravel {
namespace {

constexpr std::int64_t kSlot = 10 * 60;
constexpr int kSlotsPerDay = 144;
// A change every ten minutes, in a cycle of eight that divides a day: on air 4 slots in 7 watched
// (57.1%), two outages down and one without a source.
constexpr int kCycle[] = {kHistoryOnAir, kHistoryNoSource, kHistoryOnAir, kHistoryDown,
                          kHistoryOnAir, kHistoryLost,     kHistoryOnAir, kHistoryDown};

// 400 days of the cycle, 57,600 spans, the last one (on air) still open from `end` on; in one
// transaction (through the store one change at a time it takes half a minute here).
void WriteYear(const std::string& account, std::int64_t end) {
    std::string notice;
    const auto store = HistoryStore::Open(HistoryFile(), &notice);
    ASSERT_TRUE(store) << notice;
    std::vector<HistorySpan> spans;
    for (int slot = 400 * kSlotsPerDay; slot >= 0; --slot) {
        const std::int64_t start = end - slot * kSlot;
        spans.push_back({start, slot > 0 ? start + kSlot : HistorySpan::kOpenEnd, kCycle[slot % 8]});
    }
    ASSERT_TRUE(store->Import(account, spans)) << store->LastError();
}

// The outages of the cycle in a period of `days` that ends within the open span's first ten
// minutes: every slot but the one the period starts in (on air, like the open one).
int CycleOutages(int days) {
    int outages = 0;
    for (int slot = 1; slot < days * kSlotsPerDay; ++slot) {
        const int state = kCycle[slot % 8];
        outages += state == kHistoryDown || state == kHistoryNoSource;
    }
    return outages;
}

class HistoryWindowTest : public DesktopTest {
protected:
    void SetUp() override {
        state_ = fs::temp_directory_path() / ("ostravel-history-" + std::to_string(::getpid()));
        ::setenv("XDG_STATE_HOME", state_.c_str(), 1);
    }
    void TearDown() override {
        DesktopTest::TearDown();
        doc_.SetHistory(nullptr);
        recorder_.reset();
        ::unsetenv("XDG_STATE_HOME");
        fs::remove_all(state_);
    }

    fs::path state_;
    std::unique_ptr<HistoryRecorder> recorder_;
};

TEST_F(HistoryWindowTest, ShowsTheLoggedInAccountsPeriodsOverAYearOfSpans) {
    RequireHost();
    const std::string account = HistoryStore::AccountKey(
        FormatHostAddress(HostOf(SocketAddress("127.0.0.1", g_host.ServicePort()))), "dj");
    // The open span began five minutes ago: the day's first slot is cut in the middle, and the
    // two on-air halves make one whole slot whenever the window reads.
    WriteYear(account, std::time(nullptr) - kSlot / 2);
    if (HasFatalFailure()) return;
    recorder_ = std::make_unique<HistoryRecorder>(HistoryFile());
    Open(g_host.ServicePort());
    frame_->SetHistory(recorder_.get());
    LogIn("dj", "djpass");
    // The state the host reports now ends the open span unless it is on air too; seconds long,
    // it moves the share by less than the line shows.
    const int live = doc_.Snapshot().serverState;
    const int liveOutage = live == kHistoryDown || live == kHistoryNoSource ? 1 : 0;
    // A span is counted from its first whole second on.
    const std::time_t loggedIn = std::time(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return std::time(nullptr) > loggedIn; }));

    const auto opened = std::chrono::steady_clock::now();
    wxCommandEvent choose(wxEVT_MENU, WindowIdFromCommand(cmd::kAccountHistory));
    frame_->ProcessWindowEvent(choose);
    HistoryWindow* window = frame_->HistoryViewer();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return window->Band()->Paints() > 0; }));
    const auto drawn = std::chrono::steady_clock::now();
    EXPECT_EQ(window->ShownAccount(), account);
    const int dayOutages = CycleOutages(1) + liveOutage;
    EXPECT_EQ(window->Summary(),
              wxString::Format("On air 57.1%% of the watched time; %d outages, longest 10 min", dayOutages));
    EXPECT_EQ(window->Outages()->GetItemCount(), dayOutages);
    // Newest first: the live state when it is an outage, else the cycle's last slot.
    EXPECT_EQ(window->Outages()->GetItemText(0, 3),
              WxText(HistoryStateLabel(liveOutage != 0 ? live : kCycle[1])));

    // A month: read again when chosen.
    window->Period()->SetSelection(2);
    wxCommandEvent period(wxEVT_CHOICE, window->Period()->GetId());
    period.SetEventObject(window->Period());
    const int paints = window->Band()->Paints();
    const auto chosen = std::chrono::steady_clock::now();
    window->Period()->ProcessWindowEvent(period);
    ASSERT_TRUE(PumpUntil([&] { return window->Band()->Paints() > paints; }));
    const auto redrawn = std::chrono::steady_clock::now();
    const int monthOutages = CycleOutages(30) + liveOutage;
    EXPECT_EQ(
        window->Summary(),
        wxString::Format("On air 57.1%% of the watched time; %d outages, longest 10 min", monthOutages));
    EXPECT_EQ(window->Outages()->GetItemCount(), monthOutages);
    using std::chrono::milliseconds;
    std::printf("[ bench    ] history window: %lld ms from the menu to drawn (a day), %lld ms to a month\n",
                static_cast<long long>(std::chrono::duration_cast<milliseconds>(drawn - opened).count()),
                static_cast<long long>(std::chrono::duration_cast<milliseconds>(redrawn - chosen).count()));

    // The month's spans as CSV; a file that cannot be written says so.
    const fs::path csv = state_ / "month.csv";
    ASSERT_TRUE(window->ExportTo(csv));
    std::ifstream in(csv);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    // The header, the month's slots (the first cut in two), and the live span when it is one of its own.
    EXPECT_EQ(lines, 1 + 30 * kSlotsPerDay + 1 + (live != kHistoryOnAir ? 1 : 0));
    EXPECT_FALSE(window->ExportTo(state_ / "no such folder" / "month.csv"));
    EXPECT_TRUE(window->Note().StartsWith("Could not write ")) << window->Note();
}

}  // namespace
}  // namespace ostravel
