// The file player: WaveFilePlayer streaming WAVE files to SoundPlayer on the fake output device.
#include "voice/wavefileplayer.h"

#include <mutex>
#include <string_view>

#include <gtest/gtest.h>

#include "fakes/fake_wave_device.h"
#include "platform/trace.h"
#include "voice/soundplayer.h"
#include "voice/voice_test_support.h"

namespace ostravel::testing {
namespace {

using namespace std::chrono_literals;

std::string CommonFormatChunk() { return Chunk("fmt ", FormatBytes(MakeCommonFormat(8000))); }

std::string Joined(const std::vector<std::string>& blocks) {
    std::string out;
    for (const std::string& block : blocks) out += block;
    return out;
}

class FilePlayer : public ::testing::Test {
protected:
    FilePlayer() {
        services.waves = &waves;
        services.messageBox = boxes.Seam();
        services.outputResetSettle = 0ms;
        services.outputDrainStep = 0ms;
        services.outputCloseSettle = 0ms;
        player = std::make_unique<SoundPlayer>(8000, services);
        filePlayer = std::make_unique<WaveFilePlayer>(services);
        player->CreateThread();
        filePlayer->CreateThread();
        filePlayer->PostThreadMessage(WM_FILEPLAY_ROUTE_PLAYER, 0,
                                      reinterpret_cast<std::intptr_t>(player.get()));
    }
    ~FilePlayer() override { QuitAll(); }

    void QuitAll() {
        if (!filePlayer) return;
        filePlayer->PostThreadMessage(WM_FILEPLAY_QUIT);
        EXPECT_TRUE(filePlayer->Wait(kThreadWait));
        player->PostThreadMessage(WM_OUTPUT_QUIT);
        EXPECT_TRUE(player->Wait(kThreadWait));
        filePlayer.reset();
        player.reset();
    }
    void Play(const std::string& name, const std::string& bytes) {
        WriteAll(dir.File(name), bytes);
        WaveFilePlayer::PostStart(*filePlayer, dir.File(name));
    }
    // The worker ends each stream by closing the output, so a closed device after an open one
    // means the stream is over.
    bool WaitStreamOver(int opens = 1) {
        return waves.WaitUntil([&] { return waves.OutputOpens() == opens && !waves.OutputOpen(); });
    }
    // Lets the device finish one block at a time until the stream is over, checking the bound.
    void DrainOneByOne() {
        while (!(waves.OutputOpens() > 0 && !waves.OutputOpen())) {
            ASSERT_TRUE(waves.WaitUntil([&] {
                return waves.OutputQueued() > 0 || (waves.OutputOpens() > 0 && !waves.OutputOpen());
            }));
            waves.CompleteOutput(waves.OutputQueued() > 0 ? 1 : 0);
        }
    }

    TempDir dir;
    FakeWaveSystem waves;
    MessageBoxes boxes;
    SoundServices services;
    std::unique_ptr<SoundPlayer> player;
    std::unique_ptr<WaveFilePlayer> filePlayer;
};

TEST_F(FilePlayer, DataChunkShorterThanOneBlockIsSentAsOneBlockOfItsSize) {
    const std::string data = Samples(300, 1);
    Play("short.wav", Wave(CommonFormatChunk() + Chunk("data", data)));
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 1; }));
    waves.CompleteOutput(1);
    ASSERT_TRUE(WaitStreamOver());
    EXPECT_EQ(waves.Played(), std::vector<std::string>{data});
    EXPECT_EQ(filePlayer->BlockSize(), 300u);
    EXPECT_FALSE(filePlayer->Playing());
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(FilePlayer, NeverMoreThanThreeFileBlocksAtTheOutputAndOnlyTheDataChunkIsPlayed) {
    const std::string data = Samples(10 * 800 + 123, 2);
    Play("long.wav", Wave(CommonFormatChunk() + Chunk("data", data) + Chunk("LIST", "INFOnot sound")));
    // Three go ahead at once; the fourth waits for a slot.
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 3; }));
    DrainOneByOne();
    EXPECT_EQ(waves.MaxOutputQueued(), 3);
    const std::vector<std::string> played = waves.Played();
    ASSERT_EQ(played.size(), 11u);
    EXPECT_EQ(played.front().size(), 800u);
    EXPECT_EQ(played.back().size(), 123u);
    EXPECT_EQ(Joined(played), data);
    EXPECT_EQ(player->Slots().Count(), 3);
}

TEST_F(FilePlayer, HaltWithBlocksQueuedReleasesThemAndReturnsTheSlots) {
    Play("long.wav", Wave(CommonFormatChunk() + Chunk("data", Samples(20 * 800, 3))));
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 3; }));
    EXPECT_EQ(player->Slots().Count(), 0);
    filePlayer->PostThreadMessage(WM_FILEPLAY_HALT);
    ASSERT_TRUE(WaitStreamOver());
    EXPECT_EQ(waves.OutputQueued(), 0);
    EXPECT_EQ(player->Slots().Count(), 3);
    EXPECT_EQ(waves.Played().size(), 3u);
}

TEST_F(FilePlayer, StopTracesGoToTheTraceFacilityNeverToStandardError) {
    auto haltOneStream = [&](int opens) {
        Play("long.wav", Wave(CommonFormatChunk() + Chunk("data", Samples(20 * 800, 3))));
        ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 3; }));
        filePlayer->PostThreadMessage(WM_FILEPLAY_HALT);
        ASSERT_TRUE(WaitStreamOver(opens));
    };
    ::testing::internal::CaptureStderr();
    haltOneStream(1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    std::mutex mutex;
    std::string traced;
    SetTraceSink([&](std::string_view line) {
        std::lock_guard lock(mutex);
        traced += line;
    });
    haltOneStream(2);
    SetTraceSink({});
#ifndef NDEBUG
    std::lock_guard lock(mutex);
    EXPECT_NE(traced.find("STOP EVENT SET\n"), std::string::npos) << traced;
#endif
}

TEST_F(FilePlayer, ANewStreamStopsTheOldOneBeforeAnythingOfTheNewFileIsRead) {
    const std::string first = Samples(20 * 800, 4), second = Samples(1600, 5);
    Play("first.wav", Wave(CommonFormatChunk() + Chunk("data", first)));
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 3; }));
    Play("second.wav", Wave(CommonFormatChunk() + Chunk("data", second)));
    // The old stream's close, then the new stream's two blocks.
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputOpens() == 2 && waves.OutputQueued() == 2; }));
    waves.CompleteOutput(2);
    ASSERT_TRUE(WaitStreamOver(2));
    const std::vector<std::string> played = waves.Played();
    ASSERT_EQ(played.size(), 5u);
    EXPECT_EQ(played[0] + played[1] + played[2], first.substr(0, 2400));
    EXPECT_EQ(played[3] + played[4], second);
}

TEST_F(FilePlayer, ABlockForAClosedOutputIsReleasedAndItsSlotReturned) {
    WaveHeader* block = NewBlock(10);
    player->Slots().Acquire(std::stop_token());
    player->PostThreadMessage(WM_OUTPUT_BLOCK, 0, reinterpret_cast<std::intptr_t>(block));
    player->PostThreadMessage(WM_OUTPUT_QUIT);
    ASSERT_TRUE(player->Wait(kThreadWait));
    EXPECT_EQ(player->Slots().Count(), 3);
    EXPECT_TRUE(waves.Played().empty());
}

TEST_F(FilePlayer, OutputOpenFailureShowsTheSystemText) {
    waves.FailOutputOpen(2);
    player->PostThreadMessage(WM_OUTPUT_OPEN);
    player->PostThreadMessage(WM_OUTPUT_QUIT);
    ASSERT_TRUE(player->Wait(kThreadWait));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"fake error 2"});
}

TEST_F(FilePlayer, WithoutAPlayerNothingIsSent) {
    filePlayer->PostThreadMessage(WM_FILEPLAY_ROUTE_PLAYER, 0, 0);
    Play("short.wav", Wave(CommonFormatChunk() + Chunk("data", Samples(100, 6))));
    QuitAll();
    EXPECT_EQ(waves.OutputOpens(), 0);
}

// Each hostile or broken file is refused with its message, before a byte of sound is sent.
TEST(FilePlayerRefuses, HostileWaveFiles) {
    const std::string fmt = FormatBytes(MakeCommonFormat(8000));
    const std::string data = Chunk("data", Samples(100, 7));
    auto withFormat = [&](auto change) {
        WaveFormat format = MakeCommonFormat(8000);
        change(format);
        return Wave(Chunk("fmt ", FormatBytes(format)) + data);
    };
    std::string riffTooLarge = Wave(Chunk("fmt ", fmt) + data);
    riffTooLarge.replace(4, 4, Le32(static_cast<std::uint32_t>(riffTooLarge.size())));
    const std::string fmtTooLarge = Wave("fmt " + Le32(1000) + fmt);
    const std::string fmtWraps = Wave("fmt " + Le32(0xFFFFFFF8u) + fmt + data);
    const std::string dataTooLarge = Wave(Chunk("fmt ", fmt) + "data" + Le32(101) + Samples(100, 7));
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"not riff", "RIFX" + Wave(Chunk("fmt ", fmt) + data).substr(4), kErrorDescendingIntoFile},
        {"empty", "", kErrorDescendingIntoFile},
        {"riff larger than file", riffTooLarge, kErrorDescendingIntoFile},
        {"riff size 0xffffffff", "RIFF" + Le32(0xFFFFFFFFu) + "WAVE" + Chunk("fmt ", fmt) + data,
         kErrorDescendingIntoFile},
        {"not wave", "RIFF" + Le32(4 + 26 + 108) + "AVI " + Chunk("fmt ", fmt) + data,
         kErrorDescendingIntoFile},
        {"no fmt", Wave(data), kErrorDescendingInFile},
        {"fmt larger than file", fmtTooLarge, kErrorDescendingInFile},
        {"fmt size wraps", fmtWraps, kErrorDescendingInFile},
        {"fmt shorter than 16", Wave(Chunk("fmt ", fmt.substr(0, 14)) + data), kErrorReadingFormat},
        {"fmt longer than 280", Wave(Chunk("fmt ", fmt + std::string(263, '\0')) + data),
         kErrorReadingFormat},
        {"zero channels", withFormat([](WaveFormat& f) { f.nChannels = 0; }), kErrorReadingFormat},
        {"zero block align", withFormat([](WaveFormat& f) { f.nBlockAlign = 0; }), kErrorReadingFormat},
        {"zero bits", withFormat([](WaveFormat& f) { f.wBitsPerSample = 0; }), kErrorReadingFormat},
        {"block size overflows",
         withFormat([](WaveFormat& f) { f.nChannels = f.wBitsPerSample = f.nBlockAlign = 0xFFFF; }),
         kErrorReadingFormat},
        {"no data", Wave(Chunk("fmt ", fmt)), kErrorReadingDataChunk},
        {"data larger than file", dataTooLarge, kErrorReadingDataChunk},
    };
    for (const Case& c : cases) {
        TempDir dir;
        FakeWaveSystem waves;
        MessageBoxes boxes;
        SoundServices services;
        services.waves = &waves;
        services.messageBox = boxes.Seam();
        SoundPlayer player(8000, services);
        WaveFilePlayer filePlayer(services);
        filePlayer.CreateThread();
        filePlayer.PostThreadMessage(WM_FILEPLAY_ROUTE_PLAYER, 0, reinterpret_cast<std::intptr_t>(&player));
        WriteAll(dir.File("hostile.wav"), c.bytes);
        WaveFilePlayer::PostStart(filePlayer, dir.File("hostile.wav"));
        filePlayer.PostThreadMessage(WM_FILEPLAY_QUIT);
        ASSERT_TRUE(filePlayer.Wait(kThreadWait));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.message}) << c.name;
        EXPECT_FALSE(filePlayer.Playing()) << c.name;
        EXPECT_EQ(waves.OutputOpens(), 0) << c.name;
    }
}

TEST(FilePlayerRefuses, AMissingFile) {
    MessageBoxes boxes;
    FakeWaveSystem waves;
    SoundServices services;
    services.waves = &waves;
    services.messageBox = boxes.Seam();
    TempDir dir;
    WaveFilePlayer filePlayer(services);
    filePlayer.CreateThread();
    WaveFilePlayer::PostStart(filePlayer, dir.File("absent.wav"));
    filePlayer.PostThreadMessage(WM_FILEPLAY_QUIT);
    ASSERT_TRUE(filePlayer.Wait(kThreadWait));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kCannotOpenSoundFile});
}

TEST_F(FilePlayer, AcceptsAFormatRecordOfSixteenBytesAndSkipsOtherChunks) {
    const std::string data = Samples(50, 8);
    Play("plain.wav", Wave(Chunk("fmt ", FormatBytes(MakeCommonFormat(8000)).substr(0, 16)) +
                           Chunk("fact", "odd") + Chunk("data", data)));
    ASSERT_TRUE(waves.WaitUntil([&] { return waves.OutputQueued() == 1; }));
    waves.CompleteOutput(1);
    ASSERT_TRUE(WaitStreamOver());
    EXPECT_EQ(waves.Played(), std::vector<std::string>{data});
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
}  // namespace ostravel::testing
