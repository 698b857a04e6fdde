// The program's command line, read before the toolkit starts so that --help, --version and a
// mistake are answered without a display.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/hostaddress.h"
#include "platform/translate.h"

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

// The program's exit statuses, and what each means as --help says it (the manual page is checked
// against --help).
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotStart = 1;
inline constexpr int kExitUsage = 2;

struct ExitStatus {
    int status;
    const char* meaning;
};

inline constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, N_("the program ended, or --help or --version was answered")},
    {kExitCannotStart, N_("the program could not start: no display")},
    {kExitUsage, N_("an option was not understood")},
};

CommandLine ParseCommandLine(int argc, char** argv);
// --help, from the table the command line is read by.
void PrintUsage();

}  // namespace ostravel
