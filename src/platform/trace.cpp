#include "platform/trace.h"

#include <cstdio>
#include <mutex>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#endif

namespace ostravel {

namespace {

// Traces may come from any thread; one lock keeps lines whole and guards the sink.
std::mutex& TraceMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(std::string_view)>& Sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

#ifndef _WIN32
// Standard error is the program's own output; like the debug output on Windows, a trace shows
// only when a debugger is there to read it.
bool DebuggerAttached() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) return std::stol(line.substr(10)) != 0;
    }
    return false;
}
#endif

}  // namespace

void SetTraceSink(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(TraceMutex());
    Sink() = std::move(sink);
}

void TraceLine(std::string_view text) {
    std::lock_guard lock(TraceMutex());
    if (Sink()) {
        Sink()(text);
        return;
    }
#ifdef _WIN32
    const std::string copy(text);
    OutputDebugStringA(copy.c_str());
#else
    if (DebuggerAttached()) std::fwrite(text.data(), 1, text.size(), stderr);
#endif
}

}  // namespace ostravel
