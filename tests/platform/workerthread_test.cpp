#include "platform/workerthread.h"

#include <condition_variable>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

namespace ostravel {
namespace {

constexpr unsigned kRecord = 100;
constexpr unsigned kQuit = 101;
constexpr unsigned kBlock = 102;  // holds the thread until released
constexpr unsigned kOwned = 103;  // lParam: an int the receiver owns

class Recorder : public WorkerThread {
public:
    ~Recorder() override { EndThread(); }

    std::vector<ThreadMessage> Handled() {
        std::lock_guard lock(mutex_);
        return handled_;
    }
    int Discarded() {
        std::lock_guard lock(mutex_);
        return discarded_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    bool WaitBlocked() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return blocked_; });
    }

protected:
    void OnMessage(const ThreadMessage& message) override {
        std::unique_lock lock(mutex_);
        handled_.push_back(message);
        if (message.message == kOwned) delete reinterpret_cast<int*>(message.lParam);
        if (message.message == kQuit) PostQuitMessage(static_cast<int>(message.wParam));
        if (message.message == kBlock) {
            blocked_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
    }
    void DiscardMessage(const ThreadMessage& message) override {
        std::lock_guard lock(mutex_);
        ++discarded_;
        if (message.message == kOwned) delete reinterpret_cast<int*>(message.lParam);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ThreadMessage> handled_;
    int discarded_ = 0;
    bool blocked_ = false;
    bool released_ = false;
};

TEST(WorkerThread, HandlesMessagesInOrderUntilQuitAndReportsItsExitCode) {
    Recorder thread;
    ASSERT_TRUE(thread.CreateThread());
    EXPECT_FALSE(thread.CreateThread());
    thread.PostThreadMessage(kRecord, 1, -1);
    thread.PostThreadMessage(kRecord, 2, 42);
    thread.PostThreadMessage(kQuit, 7, 0);
    ASSERT_TRUE(thread.Wait(std::chrono::seconds(10)));
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.ExitCode(), 7);
    const auto handled = thread.Handled();
    ASSERT_EQ(handled.size(), 3u);
    EXPECT_EQ(handled[0].wParam, 1u);
    EXPECT_EQ(handled[0].lParam, -1);
    EXPECT_EQ(handled[1].lParam, 42);
    EXPECT_NE(thread.ThreadId(), 0u);
    EXPECT_NE(thread.ThreadId(), CurrentThreadId());
}

TEST(WorkerThread, WaitGivesUpAtItsLimitWhileTheThreadIsBusy) {
    Recorder thread;
    thread.CreateThread();
    thread.PostThreadMessage(kBlock);
    ASSERT_TRUE(thread.WaitBlocked());
    thread.PostThreadMessage(kQuit);
    EXPECT_FALSE(thread.Wait(std::chrono::milliseconds(20)));
    EXPECT_TRUE(thread.Running());
    thread.Release();
    EXPECT_TRUE(thread.Wait(std::chrono::seconds(10)));
}

TEST(WorkerThread, MessagesThatAreNeverHandledAreDiscardedSoTheirPayloadIsReleased) {
    Recorder thread;
    thread.CreateThread();
    thread.PostThreadMessage(kBlock);
    ASSERT_TRUE(thread.WaitBlocked());
    thread.PostThreadMessage(kQuit);
    thread.PostThreadMessage(kOwned, 0, reinterpret_cast<std::intptr_t>(new int(1)));  // left queued
    thread.Release();
    ASSERT_TRUE(thread.Wait(std::chrono::seconds(10)));
    EXPECT_EQ(thread.Discarded(), 1);
    // Posted after the end: refused and discarded at once.
    EXPECT_FALSE(thread.PostThreadMessage(kOwned, 0, reinterpret_cast<std::intptr_t>(new int(2))));
    EXPECT_EQ(thread.Discarded(), 2);
}

TEST(WorkerThread, NeverStartedThreadWaitsAtOnceAndDiscardsOnDestruction) {
    auto thread = std::make_unique<Recorder>();
    EXPECT_TRUE(thread->Wait(std::chrono::milliseconds(0)));
    thread->PostThreadMessage(kOwned, 0, reinterpret_cast<std::intptr_t>(new int(3)));
    thread.reset();  // leak checkers see the payload released
}

class Peeker : public WorkerThread {
public:
    ~Peeker() override { EndThread(); }
    std::vector<unsigned> order;

protected:
    void OnMessage(const ThreadMessage& message) override {
        order.push_back(message.message);
        if (message.message == 1) {
            // Takes the later messages of the range out of turn.
            ThreadMessage taken;
            while (PeekMessage(taken, 10, 19)) order.push_back(taken.message);
        }
        if (message.message == 2) PostQuitMessage(0);
    }
};

TEST(WorkerThread, PeekTakesQueuedMessagesOfARangeOutOfTurn) {
    Peeker thread;
    thread.PostThreadMessage(1);  // queued before the start, handled once it runs
    thread.PostThreadMessage(20);
    thread.PostThreadMessage(11);
    thread.PostThreadMessage(12);
    thread.PostThreadMessage(2);
    thread.CreateThread();
    ASSERT_TRUE(thread.Wait(std::chrono::seconds(10)));
    EXPECT_EQ(thread.order, (std::vector<unsigned>{1, 11, 12, 20, 2}));
}

}  // namespace
}  // namespace ostravel
