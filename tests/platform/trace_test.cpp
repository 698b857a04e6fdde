// Debugger traces: never on standard error in a normal run; a sink sees every line whole.
#include "platform/trace.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace ostravel {
namespace {

TEST(Trace, WithoutADebuggerNothingReachesStandardErrorAndASinkSeesEveryLineWhole) {
    ::testing::internal::CaptureStderr();
    TraceLine("waveinstop\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    std::vector<std::string> lines;  // the sink runs under the trace's own lock
    SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) TraceLine("SOUND BUFFER returned: 1000,5\n");
        });
    }
    for (std::thread& thread : threads) thread.join();
    SetTraceSink({});
    TraceLine("after\n");

    ASSERT_EQ(lines.size(), 200u);
    for (const std::string& line : lines) EXPECT_EQ(line, "SOUND BUFFER returned: 1000,5\n");
}

}  // namespace
}  // namespace ostravel
