#include "platform/workerthread.h"

#include <atomic>
#include <utility>

namespace ostravel {

std::uintptr_t CurrentThreadId() {
    static std::atomic<std::uintptr_t> next{1};
    thread_local const std::uintptr_t id = next.fetch_add(1);
    return id;
}

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() { EndThread(); }

bool WorkerThread::CreateThread() {
    std::lock_guard lock(mutex_);
    if (started_) return false;
    started_ = true;
    thread_ = std::thread([this] { Main(); });
    return true;
}

bool WorkerThread::PostThreadMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    const ThreadMessage posted{message, wParam, lParam};
    {
        std::lock_guard lock(mutex_);
        if (accepting_) {
            queue_.push_back(posted);
            changed_.notify_all();
            return true;
        }
    }
    DiscardMessage(posted);
    return false;
}

void WorkerThread::PostQuitMessage(int exitCode) {
    quit_ = true;
    quitCode_ = exitCode;
}

bool WorkerThread::PeekMessage(ThreadMessage& out, unsigned first, unsigned last) {
    std::lock_guard lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (it->message >= first && it->message <= last) {
            out = *it;
            queue_.erase(it);
            return true;
        }
    }
    return false;
}

void WorkerThread::Main() {
    {
        std::lock_guard lock(mutex_);
        threadId_ = CurrentThreadId();
    }
    if (InitInstance()) {
        while (!quit_) {
            ThreadMessage message;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || endRequested_; });
                if (endRequested_) break;
                message = queue_.front();
                queue_.pop_front();
            }
            OnMessage(message);
        }
    }
    std::deque<ThreadMessage> left;
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
        left.swap(queue_);
    }
    for (const ThreadMessage& message : left) DiscardMessage(message);
    const int code = ExitInstance();
    std::lock_guard lock(mutex_);
    exitCode_ = code;
    finished_ = true;
    changed_.notify_all();
}

bool WorkerThread::Wait(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!started_) return true;
    if (!changed_.wait_for(lock, limit, [this] { return finished_; })) return false;
    lock.unlock();
    // The thread has left Main; joining only collects it.
    if (thread_.joinable()) thread_.join();
    return true;
}

void WorkerThread::Abandon() {
    if (thread_.joinable()) thread_.detach();
}

void WorkerThread::EndThread() {
    std::deque<ThreadMessage> left;
    {
        std::lock_guard lock(mutex_);
        endRequested_ = true;
        changed_.notify_all();
        if (!started_) {
            accepting_ = false;
            left.swap(queue_);
        }
    }
    if (thread_.joinable()) thread_.join();
    for (const ThreadMessage& message : left) DiscardMessage(message);
}

bool WorkerThread::Running() const {
    std::lock_guard lock(mutex_);
    return started_ && !finished_;
}

std::uintptr_t WorkerThread::ThreadId() const {
    std::lock_guard lock(mutex_);
    return threadId_;
}

int WorkerThread::ExitCode() const {
    std::lock_guard lock(mutex_);
    return exitCode_;
}

}  // namespace ostravel
