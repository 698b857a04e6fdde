#include "platform/trace.h"

#include <cstdio>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ostravel {

void TraceLine(std::string_view text) {
    // Traces may come from any thread; keep lines whole.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
#ifdef _WIN32
    std::string copy(text);
    OutputDebugStringA(copy.c_str());
#else
    std::fwrite(text.data(), 1, text.size(), stderr);
#endif
}

}  // namespace ostravel
