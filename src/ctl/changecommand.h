// The program `ostravel-ctl watch --on-change` runs at each change of state. It is started directly,
// never through a shell, so nothing the host sends can become a command; whoever wants a shell names
// one (sh -c '...'). Its runs are never waited for: one that hangs cannot stop the watch.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace ostravel::ctl {

using Variables = std::vector<std::pair<std::string, std::string>>;

// `base` (NAME=VALUE entries) with `variables` set and the password variable taken out.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& base, const Variables& variables);

class ChangeCommand {
public:
    // The program (looked up in PATH when it has no slash) and its arguments; empty: none.
    explicit ChangeCommand(std::vector<std::string> command) : command_(std::move(command)) {}

    bool Empty() const { return command_.empty(); }
    // Starts a run with `variables` added to this process's environment, its input /dev/null, its
    // output ours. False, with the reason in `error`, when it could not start.
    bool Start(const Variables& variables, std::string& error);
    // Collects the runs that have ended; a line for each that failed.
    std::vector<std::string> Reap();

private:
    std::vector<std::string> command_;
    std::vector<pid_t> running_;
};

}  // namespace ostravel::ctl
