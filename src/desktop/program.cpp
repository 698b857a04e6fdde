#include "desktop/program.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <wx/init.h>

#include "desktop/application.h"
#include "desktop/commandline.h"

namespace ostravel {

int RunDesktopProgram(int argc, char** argv, const char* version) {
    CommandLine line = ParseCommandLine(argc, argv);
    switch (line.outcome) {
        case CommandLine::Help:
            PrintUsage();
            return 0;
        case CommandLine::Version:
            std::printf("Ostravel %s\n", version);
            return 0;
        case CommandLine::Error:
            std::fprintf(stderr, "ostravel: %s. Try --help.\n", line.error.c_str());
            return 2;
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
    return wxEntry(toolkitArgc, toolkitArgv.data());
}

}  // namespace ostravel
