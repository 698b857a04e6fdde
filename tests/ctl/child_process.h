// Runs a program as a child process with its output on pipes, for tests that drive ostravel-ctl and
// the host stand-in as a user would. Every wait has a deadline; nothing sleeps.
#pragma once

#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ostravel::testing {

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    // `environment` entries are NAME=VALUE; without any the child inherits this process's.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
                 const std::string& directory = {}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(),
                                     environment.empty() ? environ : envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + args[0]);
        }
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    const std::string& Out() const { return outText_; }
    const std::string& Err() const { return errText_; }

    // Reads standard output until it holds a whole line containing `text` (after the lines already
    // taken by an earlier call); that line, or nothing when the deadline passed or the output ended.
    std::optional<std::string> WaitForLine(const std::string& text, std::chrono::milliseconds timeout) {
        const Clock::time_point deadline = Clock::now() + timeout;
        for (;;) {
            for (std::size_t end; (end = outText_.find('\n', taken_)) != std::string::npos;) {
                const std::string line = outText_.substr(taken_, end - taken_);
                taken_ = end + 1;
                if (line.find(text) != std::string::npos) return line;
            }
            if (!ReadSome(deadline)) return std::nullopt;
        }
    }

    // Reads both outputs until they end (the child has exited) and returns its exit status, or
    // nothing when the deadline passed first.
    std::optional<int> Finish(std::chrono::milliseconds timeout) {
        const Clock::time_point deadline = Clock::now() + timeout;
        while (!outDone_ || !errDone_) {
            if (!ReadSome(deadline)) {
                if (!outDone_ || !errDone_) return std::nullopt;
            }
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Asks the child to stop (SIGTERM) and waits for it.
    std::optional<int> Terminate(std::chrono::milliseconds timeout) {
        ::kill(pid_, SIGTERM);
        return Finish(timeout);
    }

private:
    // One poll on whichever output is still open; false when the deadline passed or both ended.
    bool ReadSome(Clock::time_point deadline) {
        pollfd fds[2];
        int count = 0;
        if (!outDone_) fds[count++] = {out_, POLLIN, 0};
        if (!errDone_) fds[count++] = {err_, POLLIN, 0};
        if (count == 0) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        const int ready = ::poll(fds, count, static_cast<int>(left));
        if (ready <= 0) return ready < 0 && errno == EINTR;
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            const bool isOut = fds[i].fd == out_;
            if (n <= 0) {
                (isOut ? outDone_ : errDone_) = true;
            } else {
                (isOut ? outText_ : errText_).append(buffer, static_cast<std::size_t>(n));
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool outDone_ = false;
    bool errDone_ = false;
    std::string outText_;
    std::string errText_;
    std::size_t taken_ = 0;  // standard output up to here has been looked through
};

}  // namespace ostravel::testing
