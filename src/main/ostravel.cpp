// ostravel: the desktop program.
#include "desktop/program.h"

#ifndef OSTRAVEL_VERSION
#error "OSTRAVEL_VERSION comes from the build (the project's version)"
#endif

int main(int argc, char** argv) { return ostravel::RunDesktopProgram(argc, argv, OSTRAVEL_VERSION); }
