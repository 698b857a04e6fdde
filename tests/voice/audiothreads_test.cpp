#include "voice/audiothreads.h"

#include <gtest/gtest.h>

#include "fakes/fake_wave_device.h"
#include "voice/recordsound1.h"
#include "voice/voice_test_support.h"

namespace ostravel::testing {
namespace {

using namespace std::chrono_literals;

bool AudioLibraryMapped() {
    return ReadAll("/proc/self/maps").find("libportaudio") != std::string::npos;
}

TEST(AudioThreads, StartingAndStoppingNeverLoadsTheAudioLibrary) {
    {
        AudioThreads threads;
        threads.Start();
        ASSERT_NE(threads.Capture(), nullptr);
        EXPECT_FALSE(AudioLibraryMapped());
        threads.Stop();
        EXPECT_EQ(threads.Capture(), nullptr);
        EXPECT_EQ(threads.FilePlayer(), nullptr);
    }
    EXPECT_FALSE(AudioLibraryMapped());
}

TEST(AudioThreads, StartWiresCaptureToTheWriterAndStopFinishesTheFile) {
    TempDir dir;
    FakeWaveSystem waves;
    SoundServices services;
    services.waves = &waves;
    services.captureResetSettle = 0ms;
    services.captureFileName = dir.File("soundout.wav");
    AudioThreads threads(services);
    threads.Start();
    threads.Capture()->PostThreadMessage(WM_CAPTURE_BEGIN);
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.InputStarted() && waves.InputQueued() == 5; }));
    ASSERT_TRUE(waves.DeliverInput(2));
    // Exit order: file player, playback, capture (which stops recording), then the writer.
    threads.Stop();
    const std::string file = ReadAll(services.captureFileName);
    ASSERT_EQ(file.size(), 46u + 2000u);
    EXPECT_EQ(Get32(file, 4), file.size() - 8);
    EXPECT_EQ(Get32(file, 42), 2000u);
    EXPECT_EQ(waves.InputCloses(), 1);
    EXPECT_EQ(threads.Writer(), nullptr);
}

}  // namespace
}  // namespace ostravel::testing
