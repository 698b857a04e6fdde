// A thread with its own message queue: other threads post it numbered messages with two
// parameters, it handles them one at a time in order, and a quit ends its loop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#ifdef _WIN32
// <windows.h> names a function PostThreadMessage too (a macro for its A/W forms). It is included
// here first and its macro dropped, so that a later include cannot rename the method below.
#include <windows.h>
#undef PostThreadMessage
#endif

namespace ostravel {

struct ThreadMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// A small number naming the calling thread, stable for its life; never 0.
std::uintptr_t CurrentThreadId();

class WorkerThread {
public:
    WorkerThread();
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread; false if it was started before.
    bool CreateThread();

    // Queues a message. A message that can no longer be handled (the loop has ended) is handed to
    // DiscardMessage at once, so what it carries is always released; the result is then false.
    bool PostThreadMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Waits at most `limit` for the thread to end; true once it has (or it never started).
    bool Wait(std::chrono::milliseconds limit);
    // Gives up on a thread that did not end: it keeps running on its own and this object must
    // outlive it (the owner leaks it on purpose).
    void Abandon();

    bool Running() const;
    std::uintptr_t ThreadId() const;  // 0 until the thread runs
    int ExitCode() const;

protected:
    // Runs on the thread before the loop; false ends it at once.
    virtual bool InitInstance() { return true; }
    virtual void OnMessage(const ThreadMessage& message) = 0;
    // Releases what a message that is never handled carries (queued at the end, or posted late).
    virtual void DiscardMessage(const ThreadMessage&) {}
    // Runs on the thread after the loop; returns the exit code.
    virtual int ExitInstance() { return quitCode_; }

    // Called from a handler: the loop ends after the current message.
    void PostQuitMessage(int exitCode);
    // Takes the oldest queued message numbered within [first, last] out of the queue.
    bool PeekMessage(ThreadMessage& out, unsigned first, unsigned last);
    // Derived destructors call this first, so the loop never runs on a half-destroyed object:
    // it ends the loop without running further handlers and joins the thread.
    void EndThread();

private:
    void Main();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<ThreadMessage> queue_;
    bool accepting_ = true;  // false once the loop has ended or is ending
    bool endRequested_ = false;
    bool finished_ = false;
    bool started_ = false;
    std::uintptr_t threadId_ = 0;
    int exitCode_ = 0;
    int quitCode_ = 0;
    bool quit_ = false;  // touched only on the thread
    std::thread thread_;
};

}  // namespace ostravel
