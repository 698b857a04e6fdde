// ostravel-ctl's command line: what the options set, the table they are read by and --help
// written from it, so that an option cannot exist without its line in --help (nor, through the
// manual page's check, without its entry in the page).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ctl/ctl.h"

namespace ostravel::ctl {

struct Options {
    bool help = false;
    bool version = false;
    bool json = false;
    std::optional<std::string> userName;
    std::optional<std::string> passwordFile;
    std::optional<std::string> server;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    std::vector<std::string> words;
    // watch
    std::optional<int> intervalSeconds;
    std::vector<std::string> onChange;  // the program and its arguments
    // history
    std::optional<int> days;
    bool csv = false;
};

// A failure: its exit status and the one line that says why.
struct Failure {
    int status;
    std::string reason;
};

Failure Usage(std::string reason);

// A text of a table (marked with N_ where it is written) in the user's language.
std::string Said(std::string_view english);

// Reads every argument; the first mistake is returned, but the command words are collected even
// after one, so that check still answers as a monitoring check.
std::optional<Failure> ParseOptions(const std::vector<std::string>& args, Options& options);

}  // namespace ostravel::ctl
