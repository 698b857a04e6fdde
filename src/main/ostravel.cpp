// The desktop program: its own options are read first, so that --help, --version and a mistake
// need no display; the toolkit gets what is left.
#include <cstdio>
#include <string>
#include <vector>

#include <wx/init.h>

#include "desktop/application.h"
#include "desktop/commandline.h"

#ifndef OSTRAVEL_VERSION
#error "OSTRAVEL_VERSION comes from the build (the project's version)"
#endif

int main(int argc, char** argv) {
    using ostravel::CommandLine;
    CommandLine line = ostravel::ParseCommandLine(argc, argv);
    switch (line.outcome) {
        case CommandLine::Help:
            ostravel::PrintUsage();
            return 0;
        case CommandLine::Version:
            std::printf("Ostravel %s\n", OSTRAVEL_VERSION);
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
    wxApp::SetInstance(new ostravel::Application(std::move(line)));
    return wxEntry(toolkitArgc, toolkitArgv.data());
}
