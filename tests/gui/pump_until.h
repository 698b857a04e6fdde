// Runs the toolkit's events, posted tasks and idle work until `done` holds or the time-out passes:
// what the GUI tests and the benchmarks that open the real main window wait with.
#pragma once

#include <chrono>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace ostravel {

template <class Predicate>
inline bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
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
