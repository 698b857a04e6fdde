#include "session/shellrules.h"

namespace ostravel {

namespace {
// Catalogue and tray ids live in [0x8000, 0x8140); the framework's in [0xE000, 0x10000).
constexpr int kCommandFirst = 0x8000;
constexpr int kCommandSpan = 320;
constexpr int kFrameworkFirst = 0xE000;
constexpr int kFrameworkSpan = 0x10000 - 0xE000;
}  // namespace

std::string TrayTip(std::string_view tip) {
    if (tip.size() <= kTrayTipMax) return std::string(tip);
    std::size_t end = kTrayTipMax;
    // Step back over continuation bytes so the cut falls on a character boundary.
    while (end > 0 && (static_cast<unsigned char>(tip[end]) & 0xC0) == 0x80) --end;
    return std::string(tip.substr(0, end));
}

int WindowIdFromCommand(int commandId) {
    if (commandId >= kCommandFirst && commandId < kCommandFirst + kCommandSpan)
        return kWindowIdBase + (commandId - kCommandFirst);
    if (commandId >= kFrameworkFirst && commandId < kFrameworkFirst + kFrameworkSpan)
        return kWindowIdBase + kCommandSpan + (commandId - kFrameworkFirst);
    return -1;
}

int CommandFromWindowId(int windowId) {
    const int offset = windowId - kWindowIdBase;
    if (offset >= 0 && offset < kCommandSpan) return kCommandFirst + offset;
    if (offset >= kCommandSpan && offset < kCommandSpan + kFrameworkSpan)
        return kFrameworkFirst + (offset - kCommandSpan);
    return -1;
}

}  // namespace ostravel
