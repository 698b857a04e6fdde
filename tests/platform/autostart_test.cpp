// Starting at login: the entry written where the session looks for it, its program surviving
// spaces and quotes, switched off by the desktop's settings, and removed.
#include "platform/autostart.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/test_platform.h"

#ifdef OSTRAVEL_TEST_PLATFORM_LINUX
#include <glib.h>
#endif

namespace ostravel {
namespace {

namespace fs = std::filesystem;

// Puts an environment variable back (empty when it was not set) at the end of the test.
struct RestoreEnvironment {
    explicit RestoreEnvironment(const char* name)
        : name(name), old(std::getenv(name) ? std::getenv(name) : "") {}
    ~RestoreEnvironment() { testing::SetEnvironment(name, old); }
    const char* name;
    std::string old;
};

TEST(Autostart, WrittenSwitchedOffByTheDesktopRewrittenAndRemoved) {
    RestoreEnvironment restore("XDG_CONFIG_HOME");
    const fs::path config = testing::MakeTempDir("ostravel-autostart");
    testing::SetEnvironment("XDG_CONFIG_HOME", config.string());
    // A name per run: on Windows this is the user's own Run key.
    const std::string appId = "net.quenlor.OstravelTest" + std::to_string(testing::ProcessId());
    AutostartEntry entry{appId, "Ostravel\nnext",       "Manage the radio server",
                         "",    "net.quenlor.Ostravel", {"--hidden"}};
#ifdef _WIN32
    entry.exec = "C:\\My Apps\\ostravel.exe";
#else
    entry.exec = "/opt/My \"Apps\"/$HOME\\ost`ravel";
#endif
    std::string error;
    EXPECT_FALSE(AutostartEnabled(appId));
    ASSERT_TRUE(WriteAutostart(entry, &error)) << error;
    EXPECT_TRUE(AutostartEnabled(appId));

#ifdef _WIN32
    wchar_t value[256] = {};
    DWORD size = sizeof value;
    const std::wstring wideId(appId.begin(), appId.end());
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           wideId.c_str(), RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"C:\\My Apps\\ostravel.exe\" --hidden");
#else
    const fs::path file = AutostartFile(appId);
    EXPECT_EQ(file, config / "autostart" / (appId + ".desktop"));
#ifdef OSTRAVEL_TEST_PLATFORM_LINUX
    // What GLib, as the session's reader of autostart entries, makes of it.
    GKeyFile* keys = g_key_file_new();
    ASSERT_TRUE(g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, nullptr));
    gchar* name = g_key_file_get_string(keys, "Desktop Entry", "Name", nullptr);
    gchar* exec = g_key_file_get_string(keys, "Desktop Entry", "Exec", nullptr);
    gchar** argv = nullptr;
    ASSERT_TRUE(exec != nullptr && g_shell_parse_argv(exec, nullptr, &argv, nullptr)) << exec;
    EXPECT_EQ(name, entry.name);
    EXPECT_EQ(std::vector<std::string>(argv, argv + g_strv_length(argv)),
              (std::vector<std::string>{entry.exec, "--hidden"}));
    g_strfreev(argv);
    g_free(exec);
    g_free(name);
    g_key_file_free(keys);
#endif
    if (fs::exists("/usr/bin/desktop-file-validate")) {
        const std::string command = "/usr/bin/desktop-file-validate '" + file.string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << "desktop-file-validate rejects " << file;
    }
    // The desktop's settings switch an entry off by a key rather than by removing it.
    std::ofstream(file, std::ios::app) << "X-GNOME-Autostart-enabled=false\n";
    EXPECT_FALSE(AutostartEnabled(appId));
    ASSERT_TRUE(WriteAutostart(entry, &error)) << error;
    EXPECT_TRUE(AutostartEnabled(appId)) << "asked for again, it is on again";
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1)
        << "no temporary file left beside it";
#endif

    ASSERT_TRUE(RemoveAutostart(appId, &error)) << error;
    EXPECT_FALSE(AutostartEnabled(appId));
    EXPECT_TRUE(RemoveAutostart(appId, &error)) << "none there is what was asked for";
    fs::remove_all(config);
}

#ifndef _WIN32
TEST(Autostart, TheConfigurationFolderAndWhatCannotBeWritten) {
    RestoreEnvironment restoreHome("HOME"), restoreConfig("XDG_CONFIG_HOME");
    const fs::path home = testing::MakeTempDir("ostravel-autostart-home");
    testing::SetEnvironment("HOME", home.string());
    testing::SetEnvironment("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(AutostartFile("app"), home / ".config/autostart/app.desktop");

    testing::SetEnvironment("XDG_CONFIG_HOME", (home / "config").string());
    std::ofstream(home / "config") << "a file where the folder should be";
    std::string error;
    EXPECT_FALSE(WriteAutostart({"app", "App", "", "app", "", {}}, &error));
    EXPECT_NE(error.find((home / "config").string()), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(WriteAutostart({"../app", "App", "", "app", "", {}}, &error));
    EXPECT_FALSE(WriteAutostart({"app", "App", "", "a=b", "", {}}, &error)) << "'=' cannot name a program";
    EXPECT_FALSE(error.empty());
    fs::remove_all(home);
}
#endif

}  // namespace
}  // namespace ostravel
