// Wall-clock seconds, injectable so the receiver's 30-second rule can be tested without waiting.
#pragma once

#include <cstdint>

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

}  // namespace ostravel
