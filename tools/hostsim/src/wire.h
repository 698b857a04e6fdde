// The client's request blocks: text up to the first NUL, zero fill up to a size that follows from the text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hostsim {

constexpr std::size_t kCommandBlock = 256;
constexpr std::size_t kSettingsBlock = 1000;
constexpr std::size_t kLogOffBlock = 14;
constexpr std::string_view kLogOffNotice = "/disconnected";

struct Block {
    std::string text;         // up to the first NUL, or the whole block when it holds none
    std::size_t size = 0;     // bytes the block took on the wire
    bool terminated = false;  // false: the text filled the block and was cut by the sender
};

// The block size a text announces. In the login phase every block but the log-off notice is a login
// block of 256 bytes, whatever its text looks like.
std::size_t blockSizeFor(std::string_view text, bool loginPhase);

// Cuts blocks out of the received byte stream. Holds at most one block's worth of unread bytes.
class BlockReader {
public:
    void feed(const char* data, std::size_t size) { buffer_.append(data, size); }
    std::optional<Block> next(bool loginPhase);
    std::size_t pending() const { return buffer_.size(); }

private:
    std::string buffer_;
};

// One line for the console: bytes outside printable ASCII escaped, at most `limit` characters of text.
std::string escapeForLog(std::string_view bytes, std::size_t limit = 2000);

}  // namespace hostsim
