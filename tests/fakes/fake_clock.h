// A clock the test moves by hand.
#pragma once

#include <atomic>

#include "platform/clock.h"

namespace ostravel::testing {

class FakeClock : public Clock {
public:
    explicit FakeClock(std::int64_t start = 1'700'000'000) : now_(start) {}
    std::int64_t Now() const override { return now_.load(); }
    void Advance(std::int64_t seconds) { now_ += seconds; }

private:
    std::atomic<std::int64_t> now_;
};

}  // namespace ostravel::testing
