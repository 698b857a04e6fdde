// What the benchmarks that open the real main window share: an application object, the host
// stand-in as a process of its own, and an event loop run until something is true.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>

#include "fakes/standin_process.h"

namespace ostravel {

using namespace std::chrono_literals;

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// The host stand-in on a free port (no portal, no keep-alive, no reply gap), with `extra` options.
struct HostSim : testing::StandInProcess {
    bool Start(const std::string& name, std::vector<std::string> extra = {}) {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() /
            ("ostravel-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(++started_));
        std::vector<std::string> args = {HOSTSIM_PROGRAM, "--listen", "127.0.0.1:0", "--no-portal",
                                         "--keepalive",   "0",        "--reply-gap", "0",
                                         "--quiet",       "--data",   dir.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return StandInProcess::Start(dir, args);
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
