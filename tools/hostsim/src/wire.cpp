#include "wire.h"

#include <cstdio>

namespace hostsim {

namespace {

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::size_t blockSizeFor(std::string_view text, bool loginPhase) {
    if (text == kLogOffNotice) {
        return kLogOffBlock;
    }
    if (loginPhase) {
        return kCommandBlock;
    }
    const auto comma = text.find(',');
    if (comma != std::string_view::npos && endsWith(text.substr(0, comma + 1), "setconfig,")) {
        return kSettingsBlock;
    }
    return kCommandBlock;
}

std::optional<Block> BlockReader::next(bool loginPhase) {
    const auto nul = buffer_.find('\0');
    std::size_t size = 0;
    if (nul != std::string::npos) {
        size = blockSizeFor(std::string_view(buffer_).substr(0, nul), loginPhase);
    } else {
        // No NUL yet: either more is coming or the sender cut a long text. The command word decides
        // the size as soon as it is complete (or cannot be a settings word any more).
        const std::string_view seen(buffer_);
        const auto comma = seen.find(',');
        if (comma == std::string_view::npos && seen.size() < kCommandBlock) {
            return std::nullopt;
        }
        size = blockSizeFor(comma == std::string_view::npos ? std::string_view() : seen, loginPhase);
    }
    if (buffer_.size() < size) {
        return std::nullopt;
    }
    Block block;
    block.size = size;
    block.terminated = nul != std::string::npos && nul < size;
    block.text = buffer_.substr(0, block.terminated ? nul : size);
    buffer_.erase(0, size);
    return block;
}

std::string escapeForLog(std::string_view bytes, std::size_t limit) {
    std::string out;
    out.reserve(bytes.size() < limit ? bytes.size() : limit);
    std::size_t shown = 0;
    for (const char ch : bytes) {
        if (shown == limit) {
            out += "... (" + std::to_string(bytes.size() - shown) + " more bytes)";
            break;
        }
        ++shown;
        const auto byte = static_cast<unsigned char>(ch);
        switch (ch) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (byte < 0x20 || byte >= 0x7f) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                    out += hex;
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

}  // namespace hostsim
