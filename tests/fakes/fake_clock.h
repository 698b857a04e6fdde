// A clock the test moves by hand. It also counts how often it is read, so a test can wait until a
// thread that reads it on every turn of its loop has come round, instead of sleeping.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace ostravel::testing {

class FakeClock : public Clock {
public:
    explicit FakeClock(std::int64_t start = 1'700'000'000) : now_(start) {}
    std::int64_t Now() const override {
        {
            std::lock_guard lock(readMutex_);
            ++reads_;
        }
        read_.notify_all();
        return now_.load();
    }
    void Advance(std::int64_t seconds) { now_ += seconds; }

    // Waits until the clock has been read `count` more times; false after `limit`.
    bool WaitForReads(int count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        std::unique_lock lock(readMutex_);
        const std::uint64_t target = reads_ + static_cast<std::uint64_t>(count);
        return read_.wait_for(lock, limit, [&] { return reads_ >= target; });
    }

private:
    std::atomic<std::int64_t> now_;
    mutable std::mutex readMutex_;
    mutable std::condition_variable read_;
    mutable std::uint64_t reads_ = 0;
};

}  // namespace ostravel::testing
