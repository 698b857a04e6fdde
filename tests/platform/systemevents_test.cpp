// Sleep and network watching through GIO, against a private bus standing in for the system bus:
// logind's "resumed" reaches the callback on the thread that runs GLib's default main context.
#ifdef _WIN32

#include "platform/systemevents.h"

#include <gtest/gtest.h>

namespace ostravel {
namespace {

// Windows hears of resuming through the desktop's toolkit; address changes come on a thread that
// must be gone when the watcher is.
TEST(SystemEvents, WindowsWatchesNoSleepAndStopsCleanly) {
    auto events = SystemEvents::Start([](SystemEvent) {});
    EXPECT_FALSE(events->WatchesSleep());
    events.reset();
}

}  // namespace
}  // namespace ostravel

#elif defined(OSTRAVEL_TEST_PLATFORM_LINUX)

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "fakes/test_platform.h"
#include "platform/systemevents.h"

namespace ostravel {
namespace {

// A dbus-daemon of the test's own; its address, or empty when it could not be started.
class PrivateBus {
public:
    PrivateBus() {
        const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address", nullptr};
        int out = -1;
        if (!g_spawn_async_with_pipes(
                nullptr, const_cast<gchar**>(argv), nullptr,
                static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
                &pid_, nullptr, &out, nullptr, nullptr))
            return;
        FILE* stream = fdopen(out, "r");
        char line[512] = {};
        if (std::fgets(line, sizeof line, stream) != nullptr) address_ = g_strstrip(line);
        std::fclose(stream);
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    const std::string& Address() const { return address_; }

private:
    GPid pid_ = 0;
    std::string address_;
};

bool Emit(const char* sleeping) {
    const char* argv[] = {"gdbus",
                          "emit",
                          "--system",
                          "--object-path",
                          "/org/freedesktop/login1",
                          "--signal",
                          "org.freedesktop.login1.Manager.PrepareForSleep",
                          sleeping,
                          nullptr};
    gint status = -1;
    return g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                        nullptr, nullptr, &status, nullptr) &&
           g_spawn_check_wait_status(status, nullptr);
}

TEST(SystemEvents, ResumingIsToldOnTheMainContextAndNoSystemBusBreaksNothing) {
    gchar* gdbus = g_find_program_in_path("gdbus");
    gchar* daemon = g_find_program_in_path("dbus-daemon");
    const bool tools = gdbus != nullptr && daemon != nullptr;
    g_free(gdbus);
    g_free(daemon);
    if (!tools) GTEST_SKIP() << "needs dbus-daemon and gdbus";

    // GIO's plain monitor, which never reports the machine's own changes; the test makes its own.
    testing::SetEnvironment("GIO_USE_NETWORK_MONITOR", "base");
    testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/ostravel-bus");
    EXPECT_FALSE(SystemEvents::Start([](SystemEvent) {})->WatchesSleep());

    PrivateBus bus;
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    testing::SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", bus.Address());
    std::vector<SystemEvent> resumes;
    int networkChanges = 0;
    const std::thread::id mainThread = std::this_thread::get_id();
    auto events = SystemEvents::Start([&](SystemEvent event) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        if (event == SystemEvent::Resumed) resumes.push_back(event);
        if (event == SystemEvent::NetworkChanged) ++networkChanges;
    });
    ASSERT_TRUE(events->WatchesSleep());
    EXPECT_TRUE(events->WatchesNetwork());

    bool late = false;
    const guint deadline = g_timeout_add_seconds(
        20,
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &late);
    const auto waitFor = [&](std::size_t count) {
        while (resumes.size() < count && !late) g_main_context_iteration(nullptr, TRUE);
    };
    ASSERT_TRUE(Emit("false"));
    waitFor(1);
    ASSERT_TRUE(Emit("true"));  // going to sleep: nothing to tell
    ASSERT_TRUE(Emit("false"));
    waitFor(2);
    EXPECT_EQ(resumes.size(), 2u) << "each resume told once, within the deadline";

    // A burst of changes, each signalled on its own, is told once when it has settled.
    GNetworkMonitor* monitor = g_network_monitor_get_default();
    for (int change = 0; change < 3; ++change) {
        g_signal_emit_by_name(monitor, "network-changed", TRUE);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    EXPECT_EQ(networkChanges, 0) << "not while changes still come";
    while (networkChanges == 0 && !late) g_main_context_iteration(nullptr, TRUE);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_EQ(networkChanges, 1);
    if (!late) g_source_remove(deadline);
    events.reset();
}

}  // namespace
}  // namespace ostravel

#endif
