// The station history's costs: one change recorded (HistoryStore::Record, as the recorder's thread
// makes it), interleaved with its floor, a bare SQLite transaction of one row in a file set up the
// same way (WAL, synchronous=NORMAL); reading back 400 days of a change every 10 minutes; the file's
// size then. Prints "= name value" lines for bench/bench.py.
//
//     bench_history [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <unistd.h>

#include "history/historystore.h"

namespace {

using namespace ostravel;
using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Micros(Steady::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

// The floor: what any durable record of a change costs, one row in its own transaction.
class BareTable {
public:
    explicit BareTable(const fs::path& file) {
        sqlite3_open(file.string().c_str(), &db_);
        sqlite3_exec(db_,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                     "CREATE TABLE rows (at INTEGER PRIMARY KEY, state INTEGER)",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_, "INSERT INTO rows VALUES (?1, ?2)", -1, &insert_, nullptr);
    }
    ~BareTable() {
        sqlite3_finalize(insert_);
        sqlite3_close(db_);
    }
    void Write(std::int64_t at, int state) {
        sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_int64(insert_, 1, at);
        sqlite3_bind_int(insert_, 2, state);
        sqlite3_step(insert_);
        sqlite3_reset(insert_);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5000;
    const fs::path dir = fs::temp_directory_path() / ("ostravel-bench-history-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string notice;
    auto store = HistoryStore::Open(dir / "history.sqlite", &notice);
    if (!store) {
        std::fprintf(stderr, "bench_history: %s\n", notice.c_str());
        return 1;
    }
    BareTable floor(dir / "floor.sqlite");

    // A year and more of a change every 10 minutes: 57,600 spans, then one change at a time against
    // the floor, interleaved.
    constexpr std::int64_t kStart = 1'700'000'000, kStep = 600, kSpans = 400 * 24 * 6;
    const std::string account = HistoryStore::AccountKey("radio.example.net:28000", "dj");
    std::vector<HistorySpan> year;
    for (std::int64_t i = 0; i < kSpans; ++i)
        year.push_back({kStart + i * kStep, kStart + (i + 1) * kStep, int(i % 3)});
    year.back().end = HistorySpan::kOpenEnd;
    store->Import(account, year);
    std::vector<double> record, bare;
    std::int64_t at = kStart + kSpans * kStep;
    for (int i = 0; i < rounds; ++i, at += kStep) {
        auto begin = Steady::now();
        store->Record(account, i % 3, at);
        record.push_back(Micros(Steady::now() - begin));
        begin = Steady::now();
        floor.Write(at, i % 3);
        bare.push_back(Micros(Steady::now() - begin));
    }
    std::vector<double> reads;
    std::size_t spans = 0;
    for (int i = 0; i < 5; ++i) {
        const auto begin = Steady::now();
        spans = store->Spans(account, at - kSpans * kStep, at).size();
        reads.push_back(Micros(Steady::now() - begin));
    }
    store.reset();
    std::error_code ec;
    const auto bytes =
        fs::file_size(dir / "history.sqlite", ec) + fs::file_size(dir / "history.sqlite-wal", ec);
    std::printf("= record_median_us %.1f\n= record_p99_us %.1f\n", Percentile(record, 0.5),
                Percentile(record, 0.99));
    std::printf("= floor_median_us %.1f\n= floor_p99_us %.1f\n", Percentile(bare, 0.5),
                Percentile(bare, 0.99));
    std::printf("= read_spans %zu\n= read_median_us %.0f\n", spans, Percentile(reads, 0.5));
    std::printf("= file_bytes %llu\n= stored_spans %lld\n", static_cast<unsigned long long>(bytes),
                static_cast<long long>(kSpans + rounds));
    fs::remove_all(dir, ec);
    return 0;
}
