// What the benchmarks that open the real main window share: an application object, the host
// stand-in as a process of its own, and an event loop run until something is true.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>

extern char** environ;

namespace ostravel {

using namespace std::chrono_literals;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// The host stand-in on a free port (no portal, no keep-alive, no reply gap), with `extra` options.
struct HostSim {
    pid_t pid = 0;
    unsigned short port = 0;
    std::filesystem::path dir;

    bool Start(const std::string& name, std::vector<std::string> extra = {}) {
        dir = std::filesystem::temp_directory_path() /
              ("ostravel-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(++started_));
        std::filesystem::create_directories(dir);
        int out[2];
        if (::pipe(out) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {HOSTSIM_PROGRAM, "--listen", "127.0.0.1:0", "--no-portal",
                                         "--keepalive",   "0",        "--reply-gap", "0",
                                         "--quiet",       "--data",   dir.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid, HOSTSIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) return false;
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        const auto at = line.find("service=127.0.0.1:");
        if (at == std::string::npos) return false;
        port = static_cast<unsigned short>(std::stoi(line.substr(at + 18)));
        return true;
    }
    ~HostSim() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }

private:
    static inline int started_ = 0;
};

// Runs the toolkit's events, posted tasks and idle work until `done` or the time-out.
template <class Predicate>
bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = 10s) {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        loop.DispatchTimeout(5);
        wxTheApp->ProcessPendingEvents();
        loop.ProcessIdle();  // deletes destroyed windows
    }
    return true;
}

}  // namespace ostravel
