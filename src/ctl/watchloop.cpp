#include "ctl/watchloop.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/translate.h"

namespace ostravel::ctl {

namespace {

sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGCHLD);
    return set;
}

}  // namespace

WatchLoop::WatchLoop() {
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, &oldMask_);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) setupError_ = errno;
    signals_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals_ < 0 && setupError_ == 0) setupError_ = errno;
}

WatchLoop::~WatchLoop() {
    if (wake_ >= 0) ::close(wake_);
    if (signals_ >= 0) ::close(signals_);
    pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
}

bool WatchLoop::Ready(std::string& error) const {
    if (setupError_ == 0) return true;
    error = FillIn(Translated(N_("cannot watch for signals: {1}")), {std::strerror(setupError_)});
    return false;
}

void WatchLoop::Post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    // Full only after 2^64 - 2 wake-ups nobody read; the loop reads the whole queue anyway.
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
}

TaskPoster WatchLoop::Poster() {
    return [this](std::function<void()> task) { Post(std::move(task)); };
}

void WatchLoop::Start(std::chrono::milliseconds delay) { dueAt_ = std::chrono::steady_clock::now() + delay; }

void WatchLoop::Stop() { dueAt_.reset(); }

void WatchLoop::RunTasks() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wake_, &count, sizeof count);
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) {
        if (quit_) return;
        task();
    }
}

int WatchLoop::TakeSignal() {
    signalfd_siginfo info{};
    int taken = 0;
    bool child = false;
    while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGCHLD) {
            child = true;
        } else if (taken == 0) {
            taken = static_cast<int>(info.ssi_signo);
        }
    }
    if (child && childWork_) childWork_();
    return taken;
}

int WatchLoop::Timeout() const {
    std::optional<std::chrono::steady_clock::time_point> first = dueAt_;
    if (wakeAt_ && (!first || *wakeAt_ < *first)) first = wakeAt_;
    if (!first) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*first - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

int WatchLoop::Run() {
    quit_ = false;
    for (;;) {
        RunTasks();
        if (quit_) return 0;
        pollfd fds[2] = {{wake_, POLLIN, 0}, {signals_, POLLIN, 0}};
        // A loop that can no longer wait ends as if it had been asked to.
        if (::poll(fds, 2, Timeout()) < 0 && errno != EINTR) return SIGTERM;
        if (fds[1].revents != 0) {
            if (const int signal = TakeSignal(); signal != 0) return signal;
        }
        const auto now = std::chrono::steady_clock::now();
        if (wakeAt_ && now >= *wakeAt_) {
            wakeAt_.reset();
            if (childWork_) childWork_();
        }
        if (dueAt_ && now >= *dueAt_) {
            dueAt_.reset();
            if (due_) due_();
        }
        if (quit_) return 0;
    }
}

}  // namespace ostravel::ctl
