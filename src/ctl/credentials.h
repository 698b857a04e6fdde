// Where ostravel-ctl finds the password: a file only its owner can read, or an environment
// variable. Never the command line, where every user of the machine can read it.
#pragma once

#include <optional>
#include <string>

namespace ostravel::ctl {

// Reads the first line of `path` (without its line break) into `password`. Refuses, with the reason
// in `error`, a file that is not a regular file, that others may read or write, or whose first line
// is empty. Others: on POSIX systems the group and the rest (the mode bits); on Windows every
// account the file's ACL lets read or write it but its owner, the system and the administrators.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

// The password the desktop program remembered for `user` (Windows: the Credential Manager); nothing
// where there is none, and on systems where ostravel-ctl does not look for one.
std::optional<std::string> RememberedPassword(const std::string& user);

}  // namespace ostravel::ctl
