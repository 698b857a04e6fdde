// The history written off the caller's thread: each call queues and returns at once; one thread of
// its own opens the store, prunes what is older than the keeping time, and writes each change in
// turn. A store that cannot be kept is said once, through `notice` (from that thread), and the
// program goes on without history.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace ostravel {

class HistoryStore;

class HistoryRecorder {
public:
    using Notice = std::function<void(const std::string&)>;
    using Clock = std::function<std::int64_t()>;  // UTC seconds

    explicit HistoryRecorder(std::filesystem::path file, Notice notice = {}, Clock now = {});
    // Writes what is queued, closes the spans it left open (nobody watches any more), and ends.
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    // The account is in `state` from `at` on (HistoryStore::Record).
    void Record(const std::string& account, int state, std::int64_t at);
    // Nobody watches the account from `at` on.
    void Close(const std::string& account, std::int64_t at);
    // Waits until everything queued before it is written. False when no history is kept.
    bool Flush();

private:
    struct Change {
        std::string account;
        int state = 0;
        std::int64_t at = 0;
        bool close = false;
    };
    void Run();
    void Write(HistoryStore& store, const Change& change);

    const std::filesystem::path file_;
    const Notice notice_;
    const Clock now_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Change> queue_;
    std::uint64_t queued_ = 0;   // changes handed in so far
    std::uint64_t written_ = 0;  // of those, dealt with (written or dropped)
    bool failed_ = false;        // no store: every change is dropped
    bool ending_ = false;
    // The writer thread's own: the accounts with a span this recorder opened, and whether a failed
    // write was said.
    std::set<std::string> open_;
    bool saidWriteFailure_ = false;
    std::thread thread_;
};

}  // namespace ostravel
