// The capture pipeline: SoundRecorder with the fake input device, feeding WaveFileWriter.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

#include "fakes/fake_wave_device.h"
#include "voice/soundrecorder.h"
#include "voice/voice_test_support.h"
#include "voice/wavefilewriter.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace ostravel::testing {
namespace {

using namespace std::chrono_literals;

// Runs `sox --i path` (no shell) and returns its exit status, or -1.
std::string CommonFormatChunkFor8000() { return Chunk("fmt ", FormatBytes(MakeCommonFormat(8000))); }

#ifdef _WIN32
// No sox on Windows: walks the file's chunks instead, as a reader would. 0 when the RIFF size, every
// chunk (with its pad byte) and a format and a data chunk add up to exactly the file, else 1.
int SoxInfo(const std::string& path) {
    const std::string file = ReadAll(path);
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0) return 1;
    if (Get32(file, 4) != file.size() - 8) return 1;
    bool format = false, data = false;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string id = file.substr(at, 4);
        const std::size_t size = Get32(file, at + 4);
        if (id == "fmt ") format = size >= 16;
        if (id == "data") data = format;
        at += 8 + size + (size & 1);
    }
    return at == file.size() && format && data ? 0 : 1;
}
#else
int SoxInfo(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "sox", option = "--i", file = path;
    char* argv[] = {program.data(), option.data(), file.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "sox", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}
#endif

class Capture : public ::testing::Test {
protected:
    Capture() {
        services.waves = &waves;
        services.messageBox = boxes.Seam();
        services.captureResetSettle = 0ms;
        services.captureFileName = dir.File("soundout.wav");
        capture = std::make_unique<SoundRecorder>(8000, services);
        writer.CreateThread();
        capture->CreateThread();
        capture->PostThreadMessage(WM_CAPTURE_ROUTE_WRITER, 0, reinterpret_cast<std::intptr_t>(&writer));
    }

    bool WaitRecording() {
        return waves.WaitUntil([&] { return waves.InputStarted() && waves.InputQueued() == 5; });
    }
    // Quits capture, then the writer, as the program does at exit.
    void QuitAll() {
        capture->PostThreadMessage(WM_CAPTURE_QUIT);
        ASSERT_TRUE(capture->Wait(kThreadWait));
        writer.PostThreadMessage(WM_WAVEFILE_QUIT);
        ASSERT_TRUE(writer.Wait(kThreadWait));
    }

    TempDir dir;
    FakeWaveSystem waves;
    MessageBoxes boxes;
    SoundServices services;
    WaveFileWriter writer;
    std::unique_ptr<SoundRecorder> capture;
};

TEST_F(Capture, RecordsAValidWaveFileWithAnEighteenByteFormatAndTheDeviceSamples) {
    capture->PostThreadMessage(WM_CAPTURE_BEGIN);
    ASSERT_TRUE(WaitRecording());
    ASSERT_TRUE(waves.DeliverInput(3));
    // Each returned buffer is replaced, so five stay queued.
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.InputQueued() == 5; }));
    ASSERT_TRUE(waves.DeliverInput(4));
    capture->PostThreadMessage(WM_CAPTURE_HALT);
    QuitAll();

    const std::string file = ReadAll(services.captureFileName);
    const std::vector<unsigned char> produced = waves.Produced();
    ASSERT_EQ(produced.size(), 7000u);
    ASSERT_EQ(file.size(), 46u + produced.size());
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(Get32(file, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Get32(file, 16), 18u);
    EXPECT_EQ(file.substr(20, 18), FormatBytes(MakeCommonFormat(8000)));
    EXPECT_EQ(file.substr(38, 4), "data");
    EXPECT_EQ(Get32(file, 42), produced.size());
    EXPECT_EQ(file.substr(46), std::string(produced.begin(), produced.end()));
    EXPECT_EQ(SoxInfo(services.captureFileName), 0);
    EXPECT_EQ(waves.InputCloses(), 1);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(Capture, CommonFormatIsEightBitMonoAtTheGivenRate) {
    const WaveFormat format = capture->m_format;
    EXPECT_EQ(format.wFormatTag, 1);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(format.nSamplesPerSec, 8000u);
    EXPECT_EQ(format.nAvgBytesPerSec, 8000u);
    EXPECT_EQ(format.nBlockAlign, 1);
    EXPECT_EQ(format.wBitsPerSample, 8);
    EXPECT_EQ(format.cbSize, 0);
    QuitAll();
}

TEST_F(Capture, SecondBeginAndHaltWhileIdleDoNothing) {
    capture->PostThreadMessage(WM_CAPTURE_HALT);  // idle: no device, no file
    capture->PostThreadMessage(WM_CAPTURE_BEGIN);
    capture->PostThreadMessage(WM_CAPTURE_BEGIN);
    ASSERT_TRUE(WaitRecording());
    QuitAll();
    EXPECT_EQ(waves.InputOpens(), 1);
    EXPECT_EQ(waves.InputCloses(), 1);
    // The quit stopped the recording, so the file was finished: header only.
    EXPECT_EQ(ReadAll(services.captureFileName).size(), 46u);
}

TEST_F(Capture, HaltWhileIdleLeavesNoFile) {
    capture->PostThreadMessage(WM_CAPTURE_HALT);
    QuitAll();
    EXPECT_TRUE(dir.Empty());
    EXPECT_EQ(waves.InputOpens(), 0);
}

TEST(CaptureFailures, DeviceFailuresShowTheWaveInMessageAndLeaveTheThreadIdle) {
    struct Case {
        bool failOpen;
        int code;
        const char* text;
    };
    for (const Case& c :
         {Case{true, 6, "WAVEIN:6:fake error 6"}, Case{false, 0x20, "WAVEIN:20:fake error 32"},
          Case{true, -9996, "WAVEIN:ffffd8f4:fake error -9996"}}) {
        TempDir dir;
        FakeWaveSystem waves;
        MessageBoxes boxes;
        SoundServices services;
        services.waves = &waves;
        services.messageBox = boxes.Seam();
        services.captureResetSettle = 0ms;
        services.captureFileName = dir.File("soundout.wav");
        if (c.failOpen)
            waves.FailInputOpen(c.code);
        else
            waves.FailInputStart(c.code);
        WaveFileWriter writer;
        writer.CreateThread();
        SoundRecorder capture(8000, services);
        capture.CreateThread();
        capture.PostThreadMessage(WM_CAPTURE_ROUTE_WRITER, 0, reinterpret_cast<std::intptr_t>(&writer));
        capture.PostThreadMessage(WM_CAPTURE_BEGIN);
        capture.PostThreadMessage(WM_CAPTURE_QUIT);
        ASSERT_TRUE(capture.Wait(kThreadWait));
        writer.PostThreadMessage(WM_WAVEFILE_QUIT);
        ASSERT_TRUE(writer.Wait(kThreadWait));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.text}) << c.text;
        EXPECT_FALSE(capture.Recording());
        // The queued buffers went back (leak checkers would see any left) and the device closed.
        EXPECT_EQ(waves.InputQueued(), 0);
    }
}

TEST_F(Capture, ADeviceThatWillNotStartLeavesTheEarlierCaptureFileAsItWas) {
    const std::string earlier = Wave(CommonFormatChunkFor8000() + Chunk("data", "earlier capture"));
    WriteAll(services.captureFileName, earlier);
    waves.FailInputStart(0x20);
    capture->PostThreadMessage(WM_CAPTURE_BEGIN);
    QuitAll();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"WAVEIN:20:fake error 32"});
    EXPECT_EQ(ReadAll(services.captureFileName), earlier);
    EXPECT_EQ(waves.InputCloses(), 1);
}

class Writer : public ::testing::Test {
protected:
    Writer() { writer.CreateThread(); }
    void Quit() {
        writer.PostThreadMessage(WM_WAVEFILE_QUIT);
        ASSERT_TRUE(writer.Wait(kThreadWait));
    }
    void PostBlock(const std::string& data) {
        WaveHeader* block = NewBlock(data.size());
        std::copy(data.begin(), data.end(), block->lpData);
        writer.PostThreadMessage(WM_WAVEFILE_BLOCK, CurrentThreadId(),
                                 reinterpret_cast<std::intptr_t>(block));
    }
    TempDir dir;
    WaveFileWriter writer;
};

TEST_F(Writer, BlocksWithNoFileOpenAreReleasedUnwritten) {
    PostBlock("lost");
    writer.PostThreadMessage(WM_WAVEFILE_CLOSE);  // nothing to close
    Quit();
    EXPECT_EQ(writer.ExitCode(), 0);
    EXPECT_TRUE(dir.Empty());
}

TEST_F(Writer, QuitWithNoFileEndsTheThreadWithoutTouchingAnyFile) {
    Quit();
    EXPECT_FALSE(writer.Running());
    EXPECT_EQ(writer.ExitCode(), 0);
    EXPECT_TRUE(dir.Empty());
}

TEST_F(Writer, AFileThatCannotBeCreatedIgnoresTheBlocksThatFollow) {
    writer.PostThreadMessage(WM_WAVEFILE_OPEN, 0,
                             reinterpret_cast<std::intptr_t>(NewWaveFileRequest(
                                 dir.File("missing/soundout.wav"), MakeCommonFormat(8000))));
    PostBlock("lost");
    Quit();
    EXPECT_TRUE(dir.Empty());
}

TEST_F(Writer, QuitFinishesAnOpenFileAndASecondOpenFinishesTheFirst) {
    const std::string first = dir.File("first.wav"), second = dir.File("second.wav");
    writer.PostThreadMessage(
        WM_WAVEFILE_OPEN, 0,
        reinterpret_cast<std::intptr_t>(NewWaveFileRequest(first, MakeCommonFormat(8000))));
    PostBlock("abc");  // odd length: the data chunk gets a pad byte
    writer.PostThreadMessage(
        WM_WAVEFILE_OPEN, 0,
        reinterpret_cast<std::intptr_t>(NewWaveFileRequest(second, MakeCommonFormat(11025))));
    PostBlock("wxyz");
    Quit();
    const std::string a = ReadAll(first), b = ReadAll(second);
    ASSERT_EQ(a.size(), 46u + 4u);
    EXPECT_EQ(Get32(a, 4), a.size() - 8);
    EXPECT_EQ(Get32(a, 42), 3u);
    EXPECT_EQ(a.substr(46, 3), "abc");
    ASSERT_EQ(b.size(), 46u + 4u);
    EXPECT_EQ(Get32(b, 24), 11025u);
    EXPECT_EQ(b.substr(46), "wxyz");
    EXPECT_EQ(SoxInfo(first), 0);
}

TEST_F(Writer, ExtraFormatBytesAreWrittenButNeverMoreThanTheRequestHolds) {
    WaveFormat format = MakeCommonFormat(8000);
    format.cbSize = 2;
    WaveFileRequest* small = NewWaveFileRequest(dir.File("two.wav"), format);
    small->extraFormat[0] = 'x';
    small->extraFormat[1] = 'y';
    format.cbSize = 5000;
    WaveFileRequest* large = NewWaveFileRequest(dir.File("large.wav"), format);
    writer.PostThreadMessage(WM_WAVEFILE_OPEN, 0, reinterpret_cast<std::intptr_t>(small));
    writer.PostThreadMessage(WM_WAVEFILE_CLOSE);
    writer.PostThreadMessage(WM_WAVEFILE_OPEN, 0, reinterpret_cast<std::intptr_t>(large));
    Quit();
    const std::string two = ReadAll(dir.File("two.wav"));
    EXPECT_EQ(Get32(two, 16), 20u);
    EXPECT_EQ(two.substr(38, 2), "xy");
    const std::string big = ReadAll(dir.File("large.wav"));
    EXPECT_EQ(Get32(big, 16), 118u);
    EXPECT_EQ(static_cast<unsigned char>(big[36]), 100);  // cbSize tells what was written
}

}  // namespace
}  // namespace ostravel::testing
