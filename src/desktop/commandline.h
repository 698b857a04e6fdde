// The program's command line, read before the toolkit starts so that --help, --version and a
// mistake are answered without a display.
#pragma once

#include <string>
#include <vector>

namespace ostravel {

struct CommandLine {
    enum Outcome { Run, Help, Version, Error } outcome = Run;
    std::string error;
    std::string screenshotDir, demoUser = "demo", demoPassword = "demo";
    bool exitWhenShown = false;
    std::vector<std::string> toolkitArgs;  // handed to the toolkit after the program's name
};

CommandLine ParseCommandLine(int argc, char** argv);
void PrintUsage();

}  // namespace ostravel
