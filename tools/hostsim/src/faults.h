// Misbehaviour on demand, so the client's handling of a bad host can be tested.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace hostsim {

struct Faults {
    int stallAfter = -1;        // after this many replies send nothing more (keep reading)
    int closeAfter = -1;        // after this many replies close the connection
    int resetAfter = -1;        // after this many replies reset the connection
    int byeAfter = -1;          // after this many replies say "/bye" and close the connection
    std::size_t splitSize = 0;  // send each reply in pieces of this many bytes, each a chunk of its own
    bool oversize = false;      // pad every reply beyond the client's 25600-byte receive buffer
    bool merge = false;         // send two consecutive replies in one chunk
    bool trickle = false;       // send every reply one byte at a time, kTrickleGap apart
    bool flood = false;         // before the next reply, kFloodSize bytes with no NUL and no keyword (once)
    bool nuls = false;          // a NUL byte in the middle of every reply
    bool deaf = false;          // the service listener takes no new connection, not even its SYN

    bool operator==(const Faults&) const = default;
};

// Applies a comma-separated list of switches on top of `faults`:
//   none | stall | stall-after=N | close-after=N | reset-after=N | bye-after=N | split=N | oversize |
//   merge | trickle | flood | nuls | deaf
// Returns false with a reason on an unknown switch or a bad number; `faults` is then unchanged.
bool applyFaultList(std::string_view switches, Faults& faults, std::string& error);

std::string describeFaults(const Faults& faults);

constexpr std::size_t kOversizeReply = 30000;
constexpr std::size_t kFloodSize = std::size_t{1} << 20;
constexpr std::chrono::milliseconds kTrickleGap{10};

// The flood: lines of a filler character that no reply keyword, "/bye" or NUL contains.
std::string floodText();

}  // namespace hostsim
