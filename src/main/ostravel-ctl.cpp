// ostravel-ctl: the command line for scripts and monitoring.
#include <cstdlib>
#include <iostream>

#include "ctl/ctl.h"

int main(int argc, char** argv) {
    ostravel::ctl::SetUpLanguage();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value == nullptr ? std::nullopt : std::optional<std::string>(value);
    };
    const int status = ostravel::ctl::Run(args, environment, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
