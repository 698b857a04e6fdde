// Where ostravel-ctl finds the password: a file only its owner can read, or an environment
// variable. Never the command line, where every user of the machine can read it.
#pragma once

#include <string>

namespace ostravel::ctl {

// Reads the first line of `path` (without its line break) into `password`. Refuses, with the reason
// in `error`, a file that is not a regular file, that group or others may read or write, or whose
// first line is empty.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

}  // namespace ostravel::ctl
