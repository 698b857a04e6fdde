// The program's command line, read before the toolkit starts so that --help, --version and a
// mistake are answered without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/hostaddress.h"

namespace ostravel {

struct CommandLine {
    enum Outcome { Run, Help, Version, Error } outcome = Run;
    std::string error;
    std::string screenshotDir, demoUser = "demo", demoPassword = "demo";
    bool exitWhenShown = false;
    std::optional<HostAddress> host;       // --host: this run's service host instead of the setting's
    bool hidden = false;                   // --hidden: only the tray icon at start
    std::vector<std::string> toolkitArgs;  // handed to the toolkit after the program's name
};

CommandLine ParseCommandLine(int argc, char** argv);
void PrintUsage();

}  // namespace ostravel
