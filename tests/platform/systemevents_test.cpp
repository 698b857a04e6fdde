// Sleep and network watching. On Linux against a private bus standing in for the system bus:
// logind's "resumed" and a settled burst of network changes reach the callback on the thread that
// runs GLib's default main context. On Windows resuming is the toolkit's; the watcher stops cleanly.
#include "platform/systemevents.h"

#include <gtest/gtest.h>

#ifdef OSTRAVEL_TEST_PLATFORM_LINUX
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>

#include "fakes/test_platform.h"
#endif

namespace ostravel {
namespace {

#ifdef _WIN32
TEST(SystemEvents, WindowsWatchesNoSleepAndStopsCleanly) {
    auto events = SystemEvents::Start([](SystemEvent) {});
    EXPECT_FALSE(events->WatchesSleep());
    events.reset();
}
#elif defined(OSTRAVEL_TEST_PLATFORM_LINUX)
bool Spawn(std::initializer_list<const char*> words) {
    std::vector<gchar*> argv;
    for (const char* word : words) argv.push_back(const_cast<gchar*>(word));
    argv.push_back(nullptr);
    gint status = -1;
    return g_spawn_sync(nullptr, argv.data(), nullptr,
                        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                                 G_SPAWN_STDERR_TO_DEV_NULL),
                        nullptr, nullptr, nullptr, nullptr, &status, nullptr) &&
           g_spawn_check_wait_status(status, nullptr);
}

bool EmitPrepareForSleep(const char* sleeping) {
    return Spawn({"gdbus", "emit", "--system", "--object-path", "/org/freedesktop/login1", "--signal",
                  "org.freedesktop.login1.Manager.PrepareForSleep", sleeping});
}

TEST(SystemEvents, ResumingAndSettledNetworkChangesAreToldOnTheMainContext) {
    if (!Spawn({"gdbus", "help"}) || !Spawn({"dbus-daemon", "--version"}))
        GTEST_SKIP() << "needs dbus-daemon and gdbus";
    // GIO's plain network monitor, which never reports the machine's own changes; the test makes its own.
    testing::SetEnvironment("GIO_USE_NETWORK_MONITOR", "base");
    testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ostravel-bus");
    EXPECT_FALSE(SystemEvents::Start([](SystemEvent) {})->WatchesSleep()) << "no system bus, no harm";

    const char* daemonArgv[] = {"dbus-daemon", "--session", "--nofork", "--print-address", nullptr};
    GPid daemon = 0;
    int out = -1;
    ASSERT_TRUE(
        g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(daemonArgv), nullptr,
                                 static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                                 nullptr, nullptr, &daemon, nullptr, &out, nullptr, nullptr));
    FILE* stream = fdopen(out, "r");
    char address[512] = {};
    const bool started = std::fgets(address, sizeof address, stream) != nullptr;
    std::fclose(stream);
    testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", g_strstrip(address));

    int resumes = 0, networkChanges = 0;
    const std::thread::id mainThread = std::this_thread::get_id();
    auto events = SystemEvents::Start([&](SystemEvent event) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        ++(event == SystemEvent::Resumed ? resumes : networkChanges);
    });
    EXPECT_TRUE(started && events->WatchesSleep() && events->WatchesNetwork());
    bool late = false;
    const guint deadline = g_timeout_add_seconds(
        20, [](gpointer flag) { return *static_cast<bool*>(flag) = true, G_SOURCE_REMOVE; }, &late);
    const auto waitFor = [&](const int& count, int wanted) {
        while (count < wanted && !late) g_main_context_iteration(nullptr, TRUE);
    };
    EXPECT_TRUE(EmitPrepareForSleep("false"));
    waitFor(resumes, 1);
    EXPECT_TRUE(EmitPrepareForSleep("true"));  // going to sleep: nothing to tell
    EXPECT_TRUE(EmitPrepareForSleep("false"));
    waitFor(resumes, 2);
    EXPECT_EQ(resumes, 2) << "each resume told once, within the deadline";

    // A burst of changes, each signalled on its own, is told once when it has settled.
    for (int change = 0; change < 3; ++change) {
        g_signal_emit_by_name(g_network_monitor_get_default(), "network-changed", TRUE);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    EXPECT_EQ(networkChanges, 0) << "not while changes still come";
    waitFor(networkChanges, 1);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(networkChanges, 1);
    if (!late) g_source_remove(deadline);
    events.reset();
    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
}
#endif

}  // namespace
}  // namespace ostravel
