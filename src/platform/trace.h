// Debugger trace: diagnostic lines for developers. Release builds compile them out; elsewhere they
// reach a debugger (the debug output on Windows, standard error only while a debugger is attached
// on POSIX) and never clutter a normal run's output.
#pragma once

#include <functional>
#include <string_view>

namespace ostravel {

void TraceLine(std::string_view text);

// Sends trace lines to `sink` instead of the debugger (tests read them); empty restores the default.
void SetTraceSink(std::function<void(std::string_view)> sink);

}  // namespace ostravel

#ifdef NDEBUG
#define OSTRAVEL_TRACE(text) ((void)0)
#else
#define OSTRAVEL_TRACE(text) ::ostravel::TraceLine(text)
#endif
