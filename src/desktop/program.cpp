#include "desktop/program.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <wx/init.h>
#include <wx/log.h>

#include "desktop/application.h"
#include "desktop/commandline.h"
#include "platform/catalogues.h"
#include "platform/translate.h"

namespace ostravel {

namespace {

// What wxEntry does, but a toolkit that cannot start (no display) is told in one line and exit
// status 1: wxEntry would flush its own message to a message box that cannot open either, and
// abort in the attempt.
int RunToolkit(int& argc, char** argv) {
    {
        wxLogNull quiet;
        if (!wxEntryStart(argc, argv)) {
            std::fprintf(stderr, "ostravel: %s\n",
                         Translated(N_("cannot open the display (is DISPLAY set?)")).c_str());
            return kExitCannotStart;
        }
    }
    int status = kExitCannotStart;
    if (wxTheApp->CallOnInit()) {
        status = wxTheApp->OnRun();
        wxTheApp->OnExit();
    }
    wxEntryCleanup();
    return status;
}

}  // namespace

int RunDesktopProgram(int argc, char** argv, const char* version) {
    // What is told before the toolkit starts, in the environment's language; the toolkit's
    // catalogues (and the language chosen in Preferences) take over once it runs.
    UseEnvironmentCatalogues();
    CommandLine line = ParseCommandLine(argc, argv);
    switch (line.outcome) {
        case CommandLine::Help:
            PrintUsage();
            return kExitOk;
        case CommandLine::Version:
            std::printf("Ostravel %s\n", version);
            return kExitOk;
        case CommandLine::Error:
            // The host parser's reasons end with their own full stop.
            std::fprintf(stderr, "ostravel: %s%s %s\n", line.error.c_str(),
                         line.error.ends_with('.') ? "" : ".", Translated(N_("Try --help.")).c_str());
            return kExitUsage;
        case CommandLine::Run:
            break;
    }
    std::vector<std::string> toolkitArgs = line.toolkitArgs;
    std::vector<char*> toolkitArgv{argv[0]};
    for (std::string& arg : toolkitArgs) toolkitArgv.push_back(arg.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;
    // The application object is made here, with its options; the toolkit takes it over.
    wxApp::SetInstance(new Application(std::move(line)));
    return RunToolkit(toolkitArgc, toolkitArgv.data());
}

}  // namespace ostravel
