#include "history/historystore.h"

#include <fstream>

#include <gtest/gtest.h>

#include "fakes/test_platform.h"
#include "history/historyrecorder.h"
#include "history/timeline.h"

namespace ostravel {
namespace {

namespace fs = std::filesystem;

constexpr char kAccount[] = "radio.example.net:28000 dj";

class HistoryStoreTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir); }
    std::unique_ptr<HistoryStore> OpenStore(std::string* notice = nullptr) {
        return HistoryStore::Open(file, notice);
    }
    const fs::path dir = testing::MakeTempDir("ostravel-history");
    const fs::path file = dir / "state" / "history.sqlite";
};

TEST_F(HistoryStoreTest, ChangesMakeSpansRepeatsWriteNothingAndAnUnwatchedGapStaysEmpty) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->Record(kAccount, kHistoryOnAir, 1000));
    EXPECT_TRUE(store->Record(kAccount, kHistoryDown, 1600));
    const auto walSize = fs::file_size(file.string() + "-wal");
    EXPECT_TRUE(store->Record(kAccount, kHistoryDown, 1620));  // a repeat
    EXPECT_EQ(fs::file_size(file.string() + "-wal"), walSize);
    EXPECT_TRUE(store->Record(kAccount, kHistoryOnAir, 1840));
    EXPECT_TRUE(store->Close(kAccount, 2000));  // the program ended
    EXPECT_TRUE(store->Record("other:28000 x", kHistoryLost, 1500));
    EXPECT_EQ(store->Spans(kAccount, 0, 5000),
              (std::vector<HistorySpan>{{1000, 1600, 2}, {1600, 1840, 0}, {1840, 2000, 2}}));
    EXPECT_EQ(store->Spans(kAccount, 1700, 1800), (std::vector<HistorySpan>{{1600, 1840, 0}}));

    // A recorder killed without closing its span: the next one finds it stale and ends it where it
    // was last seen, so the hours in between are nobody's.
    store->Record(kAccount, kHistoryDown, 3000);
    store->Record(kAccount, kHistoryDown, 3000 + kHistorySeenEvery);  // confirmed
    const std::int64_t later = 3000 + kHistorySeenEvery + kHistoryUnwatchedGap + 1;
    EXPECT_EQ(store->Spans(kAccount, 2500, later).back(), (HistorySpan{3000, 3000 + kHistorySeenEvery, 0}));
    store->Record(kAccount, kHistoryDown, later);
    EXPECT_EQ(
        store->Spans(kAccount, 2500, later + 10),
        (std::vector<HistorySpan>{{3000, 3000 + kHistorySeenEvery, 0}, {later, HistorySpan::kOpenEnd, 0}}));
    EXPECT_EQ(store->Accounts(), (std::vector<std::string>{kAccount, "other:28000 x"}));

    // Kept 400 days: what ended before that goes, the open span stays.
    EXPECT_EQ(store->Prune(1900), 2);
    EXPECT_EQ(store->Spans(kAccount, 0, later + 10).size(), 3u);
}

TEST_F(HistoryStoreTest, TwoRecordersOfOneAccountStoreEachChangeOnce) {
    std::vector<int> states;
    for (int i = 0; i < 200; ++i) states.push_back(i % 3);
    {
        // The desktop program and a watch: each sees every change at about the same time, and their
        // writer threads race to store it.
        HistoryRecorder desktop(file), watch(file);
        for (std::size_t i = 0; i < states.size(); ++i) {
            desktop.Record(kAccount, states[i], 100 * i);
            watch.Record(kAccount, states[i], 100 * i + 1);
            ASSERT_TRUE(desktop.Flush());
            ASSERT_TRUE(watch.Flush());
        }
    }
    const auto spans = OpenStore()->Spans(kAccount, 0, 1'000'000);
    ASSERT_EQ(spans.size(), states.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        ASSERT_EQ(spans[i].state, states[i]) << i;
        ASSERT_LE(spans[i].start, 100 * i + 1) << i;
    }
    EXPECT_NE(spans.back().end, HistorySpan::kOpenEnd);  // both ended: nobody watches
}

TEST_F(HistoryStoreTest, ADamagedFileIsMovedAsideAndAPlaceWithoutRoomKeepsNoHistory) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << std::string(8192, 'x');
    std::string notice;
    auto store = OpenStore(&notice);
    ASSERT_TRUE(store);
    EXPECT_NE(notice.find("was damaged: it was moved to " + file.string() + ".broken-"), std::string::npos)
        << notice;
    EXPECT_TRUE(store->Record(kAccount, kHistoryOnAir, 10));
    int aside = 0;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
        aside += entry.path().filename().string().rfind("history.sqlite.broken-", 0) == 0;
    EXPECT_EQ(aside, 1);

    // Where no folder can be made (even root cannot make one under a file), one line and no store;
    // the recorder drops what it is given and never blocks its caller.
    const fs::path nowhere = file / "history.sqlite";
    notice.clear();
    EXPECT_FALSE(HistoryStore::Open(nowhere, &notice));
    EXPECT_EQ(notice.rfind("The station history cannot be kept in " + nowhere.string() + ": ", 0), 0u)
        << notice;
    std::vector<std::string> notices;
    HistoryRecorder recorder(nowhere, [&](const std::string& line) { notices.push_back(line); });
    recorder.Record(kAccount, kHistoryDown, 20);
    EXPECT_FALSE(recorder.Flush());
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_FALSE(HistoryStore::Open(dir / "missing.sqlite", &notice, true));  // a reader makes nothing
    EXPECT_FALSE(fs::exists(dir / "missing.sqlite"));
}

TEST(Timeline, APeriodIsCutSummedAndExportedAsRfc4180) {
    const std::vector<HistorySpan> spans{
        {0, 600, 2}, {600, 1440, 0}, {1440, 1500, -2}, {1500, HistorySpan::kOpenEnd, 1}};
    const auto clipped = ClipSpans(spans, 300, 1800);
    EXPECT_EQ(clipped,
              (std::vector<HistorySpan>{{300, 600, 2}, {600, 1440, 0}, {1440, 1500, -2}, {1500, 1800, 1}}));
    const HistorySummary summary = Summarise(clipped);
    EXPECT_EQ(summary.watched, 300 + 840 + 300);  // the lost minute is no one's
    EXPECT_EQ(SummaryLine(summary), "On air 20.8% of the watched time; 2 outages, longest 14 min");
    EXPECT_EQ(SummaryLine(Summarise({})), "Nobody watched the station in this period.");
    const std::string csv = SpansCsv(clipped);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "start,end,seconds,state,label");
    EXPECT_NE(csv.find(",840,down,Server Down\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",300,no-source,\"Server Up, Stream Down\"\r\n"), std::string::npos);
    EXPECT_EQ(IsoLocalTime(0).size(), 25u);  // 1970-01-01T00:00:00+00:00 in any zone
}

}  // namespace
}  // namespace ostravel
