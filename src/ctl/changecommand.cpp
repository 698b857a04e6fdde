#include "ctl/changecommand.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "ctl/ctl.h"

extern char** environ;

namespace ostravel::ctl {

namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// Spawn settings that give the child a signal mask of its own: the watch blocks the signals it
// reads, and a blocked mask would pass on through exec.
class SpawnSettings {
public:
    SpawnSettings() {
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK);
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    const posix_spawnattr_t* Attributes() const { return &attributes_; }
    const posix_spawn_file_actions_t* Actions() const { return &actions_; }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& base, const Variables& variables) {
    std::vector<std::string> environment;
    for (const std::string& entry : base) {
        const std::string name = NameOf(entry);
        // The watch's password is no business of the command's.
        if (name == kPasswordVariable) continue;
        if (std::any_of(variables.begin(), variables.end(), [&](const auto& v) { return v.first == name; }))
            continue;
        environment.push_back(entry);
    }
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    return environment;
}

bool ChangeCommand::Start(const Variables& variables, std::string& error) {
    std::vector<std::string> base;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) base.emplace_back(*entry);
    std::vector<std::string> environment = ChildEnvironment(base, variables);
    std::vector<std::string> command = command_;
    const std::vector<char*> argv = Pointers(command);
    const std::vector<char*> envp = Pointers(environment);
    const SpawnSettings settings;
    pid_t pid = 0;
    const int rc =
        ::posix_spawnp(&pid, argv[0], settings.Actions(), settings.Attributes(), argv.data(), envp.data());
    if (rc != 0) {
        error = FillIn(Translated(N_("cannot run {1}: {2}")), {command_[0], std::strerror(rc)});
        return false;
    }
    running_.push_back(pid);
    return true;
}

void ChangeCommand::Reap(std::vector<std::string>& failures) {
    std::erase_if(running_, [&](pid_t pid) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) != pid) return false;
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
            failures.push_back(FillIn(Translated(N_("{1} ended with exit status {2}")),
                                      {command_[0], std::to_string(WEXITSTATUS(status))}));
        } else if (WIFSIGNALED(status)) {
            failures.push_back(FillIn(Translated(N_("{1} was ended by signal {2}")),
                                      {command_[0], std::to_string(WTERMSIG(status))}));
        }
        if (pid == holding_) holding_ = 0;
        return true;
    });
}

std::vector<std::string> ChangeCommand::Pump(Clock::time_point now) {
    std::vector<std::string> failures;
    Reap(failures);
    while (!waiting_.empty() && (holding_ == 0 || now - heldSince_ >= kHoldSeconds)) {
        std::string error;
        holding_ = 0;
        if (Start(waiting_.front(), error)) {
            holding_ = running_.back();
            heldSince_ = now;
        } else {
            failures.push_back(error);
        }
        waiting_.pop_front();
    }
    return failures;
}

std::optional<ChangeCommand::Clock::time_point> ChangeCommand::NextPump() const {
    if (holding_ == 0 || waiting_.empty()) return std::nullopt;
    return heldSince_ + kHoldSeconds;
}

}  // namespace ostravel::ctl
