// Waiting on a condition variable until a predicate holds or a stop is requested.
#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
#include <stop_token>

namespace ostravel {

// As std::condition_variable_any::wait(lock, stop, predicate): true once `predicate` holds, false
// when the stop came first. With mingw-w64's runtime a stop callback that finishes on another thread
// can hang both threads (that wait registers one), so on Windows the stop is checked between short
// waits instead.
template <class Lock, class Predicate>
bool WaitUnlessStopped(std::condition_variable_any& changed, Lock& lock, std::stop_token stop,
                       Predicate predicate) {
#ifdef _WIN32
    constexpr std::chrono::milliseconds kStopCheck(10);
    while (!predicate()) {
        if (stop.stop_requested()) return false;
        changed.wait_for(lock, kStopCheck);
    }
    return true;
#else
    return changed.wait(lock, std::move(stop), std::move(predicate));
#endif
}

// Waits until `done` is ready; a stop requested first calls `onStop` (which should make `done`
// ready) and the wait goes on until it is. The same mingw-w64 trouble as above, the same cure.
template <class OnStop>
void WaitReadyUnlessStopped(const std::future<void>& done, std::stop_token stop, OnStop onStop) {
#ifdef _WIN32
    constexpr std::chrono::milliseconds kStopCheck(10);
    bool stopped = false;
    while (done.wait_for(kStopCheck) != std::future_status::ready) {
        if (!stopped && stop.stop_requested()) {
            stopped = true;
            onStop();
        }
    }
#else
    std::stop_callback callback(stop, std::move(onStop));
    done.wait();
#endif
}

}  // namespace ostravel
