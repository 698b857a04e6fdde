// ostravel-ctl: log in, run one command, print its answer, log off. For scripts and monitoring.
// The whole program is this function, so that tests run it in-process with their own streams.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/translate.h"

namespace ostravel::ctl {

// Exit statuses of every command but check.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCredentials = 3;
inline constexpr int kExitConnect = 4;
inline constexpr int kExitLogin = 5;
inline constexpr int kExitTimeout = 6;
inline constexpr int kExitEnded = 7;
inline constexpr int kExitUnavailable = 8;
inline constexpr int kExitLocal = 9;

// Exit statuses of check, as monitoring systems read them.
inline constexpr int kCheckOk = 0;
inline constexpr int kCheckWarning = 1;
inline constexpr int kCheckCritical = 2;
inline constexpr int kCheckUnknown = 3;

// What each status means, as --help says it; the manual page is checked against --help.
struct ExitStatus {
    int status;
    std::string_view meaning;
};

inline constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, N_("done")},
    {kExitRefused, N_("the host answered with an error")},
    {kExitUsage, N_("bad command line (a mistake, no command, no --user)")},
    {kExitCredentials, N_("no usable password (none given, a password file open to others, --password) or a\n"
                          "user name or password the host cannot take (empty name, too long, a line break)")},
    {kExitConnect, N_("the service server could not be reached (connection refused, no such name)")},
    {kExitLogin, N_("the host refused the login")},
    {kExitTimeout, N_("no connection, login or answer within --timeout")},
    {kExitEnded, N_("the host ended the connection first")},
    {kExitUnavailable, N_("the account's plan has no such service (AutoTV)")},
    {kExitLocal, N_("a local failure: the history cannot be read, or watch cannot wait for signals")},
};

inline constexpr ExitStatus kCheckStatuses[] = {
    // TRANSLATORS: OK, WARNING, CRITICAL and UNKNOWN stay English: check prints them so.
    {kCheckOk, N_("OK: the server is up and public")},
    {kCheckWarning, N_("WARNING: the server is up without a source")},
    {kCheckCritical, N_("CRITICAL: the server is down, or the login was refused")},
    {kCheckUnknown, N_("UNKNOWN: no answer, no connection, or any other failure")},
};

inline constexpr char kProgram[] = "ostravel-ctl";
inline constexpr char kPasswordVariable[] = "OSTRAVEL_PASSWORD";
inline constexpr double kDefaultTimeoutSeconds = 10;
// Before the host's own words for it.
inline constexpr const char* kLoginRefused = N_("login refused: ");

// Looks up an environment variable; nothing when it is not set.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;

// The program's texts in the environment's language (English on Windows); once, before Run.
// Without it (the tests) they stay English.
void SetUpLanguage();

// `args` are the arguments after the program name. Returns the exit status.
int Run(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
        std::ostream& err);

// The --help text.
std::string HelpText();

}  // namespace ostravel::ctl
