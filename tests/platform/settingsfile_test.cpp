// The settings file's place: made owner-only, the old dotfile taken over once and never again.
#include "platform/settingsfile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fakes/test_platform.h"

namespace ostravel {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { home_ = testing::MakeTempDir("ostravel-settings"); }
    void TearDown() override { fs::remove_all(home_); }
    fs::path home_;
};

TEST_F(SettingsFileTest, TheOldFileIsTakenOverOnceAndLeftAsItWas) {
    const fs::path file = SettingsFilePath(home_ / ".config", "zandrel");
    EXPECT_EQ(file, home_ / ".config/zandrel/zandrel.conf");
    const fs::path legacy = home_ / ".zandrel";
    const std::string old = "[Recent File List]\nfile1=/srv/playlist.m3u\n";
    Write(legacy, old);

    std::string error;
    ASSERT_TRUE(PrepareSettingsFile(file, legacy, &error)) << error;
    EXPECT_EQ(Read(file), old);
    EXPECT_EQ(Read(legacy), old);
#ifndef _WIN32  // Windows keeps a profile's files to their owner by its access lists, not mode bits
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms::owner_all);
#endif
    EXPECT_FALSE(fs::exists(file.string() + ".new"));

    // Once the new file exists the old one is never read again, whatever it says.
    Write(file, "[Recent File List]\nfile1=/srv/newer.m3u\n");
    Write(legacy, "[Recent File List]\nfile1=/srv/stale.m3u\n");
    ASSERT_TRUE(PrepareSettingsFile(file, legacy, &error)) << error;
    EXPECT_EQ(Read(file), "[Recent File List]\nfile1=/srv/newer.m3u\n");
}

TEST_F(SettingsFileTest, NothingToTakeOverAndFoldersThatCannotBeMade) {
    std::string error;
    // No old file, or an old settings folder in its place: a fresh start, no file yet.
    const fs::path fresh = SettingsFilePath(home_ / "a", "zandrel");
    ASSERT_TRUE(PrepareSettingsFile(fresh, home_ / ".missing", &error)) << error;
    EXPECT_TRUE(fs::is_directory(fresh.parent_path()));
    EXPECT_FALSE(fs::exists(fresh));
    fs::create_directory(home_ / ".zandrel");
    const fs::path second = SettingsFilePath(home_ / "b", "zandrel");
    ASSERT_TRUE(PrepareSettingsFile(second, home_ / ".zandrel", &error)) << error;
    EXPECT_FALSE(fs::exists(second));

    // An empty old file is still taken over (it is what the user had).
    Write(home_ / ".empty", "");
    const fs::path third = SettingsFilePath(home_ / "c", "zandrel");
    ASSERT_TRUE(PrepareSettingsFile(third, home_ / ".empty", &error)) << error;
    EXPECT_TRUE(fs::exists(third));

    // A file where the configuration folder should be: refused with a reason, nothing made.
    Write(home_ / "blocked", "x");
    error.clear();
    EXPECT_FALSE(
        PrepareSettingsFile(SettingsFilePath(home_ / "blocked", "zandrel"), home_ / ".empty", &error));
    EXPECT_NE(error.find("blocked"), std::string::npos) << error;
}

}  // namespace
}  // namespace ostravel
