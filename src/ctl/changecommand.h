// The program `ostravel-ctl watch --on-change` runs at each change of state. It is started directly,
// never through a shell, so nothing the host sends can become a command; whoever wants a shell names
// one (sh -c '...'). Runs go one at a time in the order of the changes, so that a script sees the
// last state last; one still going after kHoldSeconds no longer holds up the next, and nothing ever
// waits for a run to end: one that hangs cannot stop the watch.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
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
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kHoldSeconds{30};

    // The program (looked up in PATH when it has no slash) and its arguments; empty: none.
    explicit ChangeCommand(std::vector<std::string> command) : command_(std::move(command)) {}

    bool Empty() const { return command_.empty(); }
    // A run with `variables` added to this process's environment, its input /dev/null, its output
    // ours; it starts at the next Pump that finds the runs before it done or past their hold.
    void Queue(Variables variables) { waiting_.push_back(std::move(variables)); }
    // Collects the runs that ended and starts what is due; a line for each run that failed or could
    // not start.
    std::vector<std::string> Pump(Clock::time_point now);
    // When Pump is due though no run ends: the current run's hold is over. Nothing if never.
    std::optional<Clock::time_point> NextPump() const;

private:
    bool Start(const Variables& variables, std::string& error);
    void Reap(std::vector<std::string>& failures);

    std::vector<std::string> command_;
    std::deque<Variables> waiting_;
    std::vector<pid_t> running_;
    pid_t holding_ = 0;  // the run the next waits for
    Clock::time_point heldSince_;
};

}  // namespace ostravel::ctl
