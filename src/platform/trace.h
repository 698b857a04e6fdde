// Debugger trace: diagnostic lines for developers, silent in release builds.
#pragma once

#include <string_view>

namespace ostravel {

void TraceLine(std::string_view text);

}  // namespace ostravel

#ifdef NDEBUG
#define OSTRAVEL_TRACE(text) ((void)0)
#else
#define OSTRAVEL_TRACE(text) ::ostravel::TraceLine(text)
#endif
