// The receiver's waits for a window: they end when the window is done or when the session ends,
// whichever comes first, on every platform (Windows checks the stop between short waits).
#include "platform/stopwait.h"

#include <atomic>
#include <future>
#include <stop_token>
#include <thread>

#include <gtest/gtest.h>

namespace ostravel {
namespace {

TEST(StopWait, AFutureWaitEndsByItsValueOrByTheStopWhoseActionGivesIt) {
    {
        std::promise<void> done;
        std::future<void> ready = done.get_future();
        std::stop_source stop;
        int stops = 0;
        std::jthread window([&done] { done.set_value(); });
        WaitReadyUnlessStopped(ready, stop.get_token(), [&stops] { ++stops; });
        EXPECT_EQ(stops, 0) << "a window that closes by itself needs no stop";
    }
    {
        std::promise<void> done;
        std::future<void> ready = done.get_future();
        std::stop_source stop;
        std::atomic<int> stops = 0;
        // The session ends on another thread while the wait runs; the stop's action closes the window.
        std::jthread session([&stop] { stop.request_stop(); });
        WaitReadyUnlessStopped(ready, stop.get_token(), [&stops, &done] {
            if (++stops == 1) done.set_value();
        });
        EXPECT_EQ(stops.load(), 1) << "the action runs once, however long the wait goes on";
    }
}

}  // namespace
}  // namespace ostravel
