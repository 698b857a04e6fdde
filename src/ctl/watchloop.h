// The thread `ostravel-ctl watch` runs on: what the desktop's UI thread is to the session. Tasks posted
// from any thread run here in order; the reconnection's delay is waited out here; SIGINT, SIGTERM and
// SIGCHLD are read here from a descriptor, so that nothing ever runs inside a signal handler.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <signal.h>

#include "platform/openurl.h"
#include "session/sessionkeeper.h"

namespace ostravel::ctl {

class WatchLoop : public ReconnectTimer {
public:
    // Blocks the three signals in the calling thread, and so in every thread started after it; the
    // loop must run on this thread. The old signal mask comes back with the destructor.
    WatchLoop();
    ~WatchLoop() override;
    WatchLoop(const WatchLoop&) = delete;
    WatchLoop& operator=(const WatchLoop&) = delete;

    // Any thread. Tasks posted after Run returned are dropped with the loop.
    void Post(std::function<void()> task);
    TaskPoster Poster();

    // ReconnectTimer (loop thread): `due` runs when the delay is over.
    void Start(std::chrono::milliseconds delay) override;
    void Stop() override;
    void SetDue(std::function<void()> due) { due_ = std::move(due); }
    // What looks after child processes (loop thread): run after SIGCHLD, and once the time last
    // given to WakeAt has come.
    void SetChildWork(std::function<void()> work) { childWork_ = std::move(work); }
    void WakeAt(std::optional<std::chrono::steady_clock::time_point> at) { wakeAt_ = at; }

    // Runs tasks until Quit or SIGINT/SIGTERM; the signal's number, or 0 after Quit.
    int Run();
    // Loop thread: Run returns once the task that called it is done.
    void Quit() { quit_ = true; }

    // Whether the loop's descriptors could be made; false with the reason.
    bool Ready(std::string& error) const;

private:
    void RunTasks();
    // Until the earlier of the two times, in milliseconds for poll; -1 for none.
    int Timeout() const;
    // The signal read, or 0 for none or SIGCHLD.
    int TakeSignal();

    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    int wake_ = -1;     // eventfd: a task was posted
    int signals_ = -1;  // signalfd
    int setupError_ = 0;
    sigset_t oldMask_{};
    bool quit_ = false;
    std::optional<std::chrono::steady_clock::time_point> dueAt_;
    std::optional<std::chrono::steady_clock::time_point> wakeAt_;
    std::function<void()> due_;
    std::function<void()> childWork_;
};

}  // namespace ostravel::ctl
