// Misbehaviour on demand, so the client's handling of a bad host can be tested.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hostsim {

struct Faults {
    int stallAfter = -1;        // after this many replies send nothing more (keep reading)
    int closeAfter = -1;        // after this many replies close the connection
    int resetAfter = -1;        // after this many replies reset the connection
    std::size_t splitSize = 0;  // send each reply in pieces of this many bytes, each a chunk of its own
    bool oversize = false;      // pad every reply beyond the client's 25600-byte receive buffer
    bool merge = false;         // send two consecutive replies in one chunk

    bool operator==(const Faults&) const = default;
};

// Applies a comma-separated list of switches on top of `faults`:
//   none | stall | stall-after=N | close-after=N | reset-after=N | split=N | oversize | merge
// Returns false with a reason on an unknown switch or a bad number; `faults` is then unchanged.
bool applyFaultList(std::string_view switches, Faults& faults, std::string& error);

std::string describeFaults(const Faults& faults);

constexpr std::size_t kOversizeReply = 30000;

}  // namespace hostsim
