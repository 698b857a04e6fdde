// ostravel-ctl: log in, run one command, print its answer, log off. For scripts and monitoring.
// The whole program is this function, so that tests run it in-process with their own streams.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ostravel::ctl {

// Exit statuses of every command but check.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;      // the host answered with an error
inline constexpr int kExitUsage = 2;        // bad command line
inline constexpr int kExitCredentials = 3;  // no usable user name or password
inline constexpr int kExitConnect = 4;      // the service server could not be reached
inline constexpr int kExitLogin = 5;        // the host refused the login
inline constexpr int kExitTimeout = 6;      // no answer within --timeout
inline constexpr int kExitEnded = 7;        // the host ended the connection first
inline constexpr int kExitUnavailable = 8;  // the account's plan has no such service
inline constexpr int kExitLocal = 9;        // this machine failed us: the history unreadable, no signals

// Exit statuses of check, as monitoring systems read them.
inline constexpr int kCheckOk = 0;
inline constexpr int kCheckWarning = 1;
inline constexpr int kCheckCritical = 2;
inline constexpr int kCheckUnknown = 3;

inline constexpr char kProgram[] = "ostravel-ctl";
inline constexpr char kPasswordVariable[] = "OSTRAVEL_PASSWORD";
inline constexpr double kDefaultTimeoutSeconds = 10;

// Looks up an environment variable; nothing when it is not set.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;

// `args` are the arguments after the program name. Returns the exit status.
int Run(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
        std::ostream& err);

// The --help text.
std::string HelpText();

}  // namespace ostravel::ctl
