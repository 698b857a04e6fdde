// Wall-clock seconds, injectable so the receiver's 30-second rule can be tested without waiting.
#pragma once

#include <cstdint>
#include <ctime>

namespace ostravel {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970.
    virtual std::int64_t Now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::int64_t Now() const override;
    static const SystemClock& Instance();
};

// A moment as the calendar writes it, in the local time zone or in UTC (the C library's
// thread-safe forms on each system).
std::tm LocalCalendar(std::int64_t secondsSince1970);
std::tm UtcCalendar(std::int64_t secondsSince1970);

}  // namespace ostravel
