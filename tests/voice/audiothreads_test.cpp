#include "voice/audiothreads.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// tlhelp32.h builds on windows.h.
#include <cwctype>

#include <tlhelp32.h>
#endif

#include "fakes/fake_wave_device.h"
#include "voice/soundrecorder.h"
#include "voice/voice_test_support.h"

namespace ostravel::testing {
namespace {

using namespace std::chrono_literals;

#ifdef _WIN32
bool AudioLibraryMapped() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &module); more && !found;
         more = Module32NextW(snapshot, &module)) {
        std::wstring name = module.szModule;
        for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
        found = name.find(L"portaudio") != std::wstring::npos;
    }
    CloseHandle(snapshot);
    return found;
}
#else
bool AudioLibraryMapped() { return ReadAll("/proc/self/maps").find("libportaudio") != std::string::npos; }
#endif

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

#ifdef _WIN32
// Nothing links PortAudio's DLL: without it the program runs, and opening a device fails with the
// same line as on Linux, naming the library.
TEST(AudioLibrary, AMissingDllFailsTheOpenWithOneClearLine) {
    std::unique_ptr<WaveOutDevice> output;
    const int result = DefaultWaveSystem().OpenOutput(MakeCommonFormat(8000), {}, output);
    if (result == kWaveOk) GTEST_SKIP() << "PortAudio's DLL is installed on this machine";
    EXPECT_EQ(result, kWaveErrNoDriver);
    EXPECT_EQ(output, nullptr);
    const std::string text = DefaultWaveSystem().ErrorText(result);
    EXPECT_EQ(text.rfind(
                  "The audio library could not be loaded: portaudio.dll cannot be loaded (Windows error ", 0),
              0u)
        << text;
    std::unique_ptr<WaveInDevice> input;
    EXPECT_EQ(DefaultWaveSystem().OpenInput(MakeCommonFormat(8000), {}, input), kWaveErrNoDriver);
    EXPECT_FALSE(AudioLibraryMapped());
}
#endif

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
