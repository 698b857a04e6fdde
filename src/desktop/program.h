// The desktop program from its command line to its exit status. Free of the toolkit's headers, so
// that the entry point (src/main) needs none.
#pragma once

namespace ostravel {

// Reads the program's own options first, so that --help, --version and a mistake need no display;
// then runs the toolkit with what is left. Returns the process's exit status.
int RunDesktopProgram(int argc, char** argv, const char* version);

}  // namespace ostravel
