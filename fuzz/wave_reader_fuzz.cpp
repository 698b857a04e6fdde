// The WAVE file player (WaveFilePlayer over RiffFile) on the fake output device. Input: an even first
// byte builds a well-formed WAVE from the rest (format fields, chunk sizes, other chunks around the
// data, the data); an odd one uses the rest as the file itself. Properties: a well-formed file plays
// exactly its data chunk, in blocks of the stream's block size (the last one shorter), never more
// than three at the device, with no message; any file is either refused with a message before a byte
// is played, or plays bytes that lie in the file in one piece.
#include <fuzzer/FuzzedDataProvider.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "fakes/fake_wave_device.h"
#include "fuzz_support.h"
#include "voice/wavefileplayer.h"
#include "voice/soundplayer.h"

using namespace ostravel;

namespace {

constexpr unsigned kPing = 0x400 + 399;

// The file player, answering a ping once it has handled everything posted before it.
class ProbedFilePlayer : public WaveFilePlayer {
public:
    ProbedFilePlayer(SoundServices services, testing::FakeWaveSystem& waves)
        : WaveFilePlayer(std::move(services)), waves_(waves) {}
    std::atomic<bool> pinged{false};

protected:
    void OnMessage(const ThreadMessage& message) override {
        if (message.message != kPing) return WaveFilePlayer::OnMessage(message);
        pinged = true;
        waves_.Poke();
    }

private:
    testing::FakeWaveSystem& waves_;
};

std::string Le(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}
std::string Chunk(std::string_view id, const std::string& body) {
    std::string out = std::string(id) + Le(static_cast<std::uint32_t>(body.size()), 4) + body;
    if (body.size() % 2 != 0) out += '\0';  // the pad byte
    return out;
}

// A well-formed WAVE: the format record, any other chunks before and after, and its data chunk.
std::string BuildWave(FuzzedDataProvider& in, std::string& dataChunk) {
    WaveFormat format = MakeCommonFormat(8000);
    format.nChannels = 1 + in.ConsumeIntegralInRange(0, 3);
    format.wBitsPerSample = 1 + in.ConsumeIntegralInRange(0, 15);
    format.nBlockAlign = 1 + in.ConsumeIntegralInRange(0, 7);
    std::string fmt(kWaveFormatBytes, '\0');
    StoreWaveFormat(format, reinterpret_cast<unsigned char*>(fmt.data()));
    fmt.resize(in.ConsumeIntegralInRange<std::size_t>(16, WaveFilePlayer::kFormatRecordBytes), '\0');
    const std::string before = Chunk("LIST", "INFO" + in.ConsumeRandomLengthString(40));
    const std::string between = Chunk("fact", in.ConsumeRandomLengthString(40));
    const std::string after = Chunk("junk", in.ConsumeRandomLengthString(40));
    const bool withBefore = in.ConsumeBool(), withBetween = in.ConsumeBool(), withAfter = in.ConsumeBool();
    dataChunk = in.ConsumeRemainingBytesAsString();
    const std::string chunks = (withBefore ? before : "") + Chunk("fmt ", fmt) + (withBetween ? between : "") +
                               Chunk("data", dataChunk) + (withAfter ? after : "");
    return "RIFF" + Le(static_cast<std::uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("ostravel-fuzz-" + std::to_string(::getpid()) + ".wav")).string();
    FuzzedDataProvider in(data + 1, size - 1);
    const bool wellFormed = data[0] % 2 == 0;
    std::string dataChunk;
    const std::string file = wellFormed ? BuildWave(in, dataChunk) : in.ConsumeRemainingBytesAsString();
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(file.data(), static_cast<std::streamsize>(file.size()));

    testing::FakeWaveSystem waves;
    std::mutex boxesMutex;  // the file player and its worker both show messages
    std::vector<std::string> boxes;
    auto shownBoxes = [&] {
        std::lock_guard lock(boxesMutex);
        return boxes;
    };
    SoundServices services;
    services.waves = &waves;
    services.messageBox = [&](const std::string& text) {
        std::lock_guard lock(boxesMutex);
        boxes.push_back(text);
    };
    services.outputResetSettle = services.outputDrainStep = services.outputCloseSettle = std::chrono::milliseconds(0);
    SoundPlayer player(8000, services);
    ProbedFilePlayer filePlayer(services, waves);
    player.CreateThread();
    filePlayer.CreateThread();
    filePlayer.PostThreadMessage(WM_FILEPLAY_ROUTE_PLAYER, 0, reinterpret_cast<std::intptr_t>(&player));
    WaveFilePlayer::PostStart(filePlayer, path);
    filePlayer.PostThreadMessage(kPing);
    FUZZ_CHECK(waves.WaitUntil([&] { return filePlayer.pinged.load(); }));

    const bool refused = !shownBoxes().empty();
    if (!refused) {
        // Finish whatever the device holds until the stream closes it.
        auto over = [&] { return waves.OutputOpens() > 0 && !waves.OutputOpen(); };
        while (!over()) {
            FUZZ_CHECK(waves.WaitUntil([&] { return waves.OutputQueued() > 0 || over(); }));
            waves.CompleteOutput(waves.OutputQueued());
        }
    }
    filePlayer.PostThreadMessage(WM_FILEPLAY_QUIT);
    FUZZ_CHECK(filePlayer.Wait(std::chrono::seconds(10)));
    player.PostThreadMessage(WM_OUTPUT_QUIT);
    FUZZ_CHECK(player.Wait(std::chrono::seconds(10)));

    const std::vector<std::string> played = waves.Played();
    std::string joined;
    for (const std::string& block : played) joined += block;
    FUZZ_CHECK(waves.MaxOutputQueued() <= SoundPlayer::kSlots);
    if (refused) {
        FUZZ_CHECK(shownBoxes().size() == 1 && waves.OutputOpens() == 0 && played.empty());
        FUZZ_CHECK_MSG(!wellFormed, shownBoxes().front());
        return 0;
    }
    FUZZ_CHECK(waves.OutputOpens() == 1 && shownBoxes().empty());
    for (std::size_t i = 0; i < played.size(); ++i) {
        FUZZ_CHECK(played[i].size() <= filePlayer.BlockSize());
        if (i + 1 < played.size()) FUZZ_CHECK(played[i].size() == filePlayer.BlockSize());
    }
    if (wellFormed) {
        FUZZ_CHECK(joined == dataChunk);
    } else {
        FUZZ_CHECK(joined.empty() || file.find(joined) != std::string::npos);
    }
    return 0;
}
