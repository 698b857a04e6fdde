#include "voice/wavefileplayer.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/trace.h"
#include "voice/soundplayer.h"

namespace ostravel {

WaveFilePlayer::WaveFilePlayer(SoundServices services) : services_(std::move(services)) {}

WaveFilePlayer::~WaveFilePlayer() {
    EndThread();
    Halt();
}

bool WaveFilePlayer::PostStart(WaveFilePlayer& thread, const std::string& fileName) {
    const std::size_t length = fileName.size() < kFileNameChars ? fileName.size() : kFileNameChars;
    char* text = new char[length + 1];
    std::memcpy(text, fileName.data(), length);
    text[length] = '\0';
    return thread.PostThreadMessage(WM_FILEPLAY_START, 0, reinterpret_cast<std::intptr_t>(text));
}

void WaveFilePlayer::OnMessage(const ThreadMessage& message) {
    switch (message.message) {
        case WM_FILEPLAY_START: {
            std::unique_ptr<char[]> text(reinterpret_cast<char*>(message.lParam));
            StartStream(text.get());
            break;
        }
        case WM_FILEPLAY_HALT:
            Halt();
            break;
        case WM_FILEPLAY_ROUTE_PLAYER:
            player_ = reinterpret_cast<SoundPlayer*>(message.lParam);
            break;
        case WM_FILEPLAY_QUIT:
            Halt();
            PostQuitMessage(0);
            break;
        default:
            break;
    }
}

void WaveFilePlayer::DiscardMessage(const ThreadMessage& message) {
    if (message.message == WM_FILEPLAY_START) delete[] reinterpret_cast<char*>(message.lParam);
}

void WaveFilePlayer::StartStream(const char* fileName) {
    Halt();
    std::memset(m_fileName, 0, sizeof m_fileName);
    if (fileName != nullptr) std::strncpy(m_fileName, fileName, kFileNameChars);
    if (!OpenStream()) return;

    playing_ = true;
    stopEvent_ = std::stop_source();
    worker_ = std::thread([this, player = player_, stop = stopEvent_.get_token()] { Worker(player, stop); });
}

bool WaveFilePlayer::OpenStream() {
    std::unique_ptr<RiffFile> file = RiffFile::OpenForReading(m_fileName);
    if (!file) {
        services_.ShowMessage(kCannotOpenSoundFile);
        return false;
    }
    // Each failure shows its text; the file is closed as `file` goes.
    m_riffChunk = {};
    m_riffChunk.fccType = kFourCCWave;
    if (!file->Descend(m_riffChunk, nullptr, DescendMode::FindRiff)) {
        services_.ShowMessage(kErrorDescendingIntoFile);
        return false;
    }
    m_subChunk = {};
    m_subChunk.ckid = kFourCCFmt;
    if (!file->Descend(m_subChunk, &m_riffChunk, DescendMode::FindChunk)) {
        services_.ShowMessage(kErrorDescendingInFile);
        return false;
    }
    // The record must be whole and fit; a format that would make a zero or overflowing block
    // size is no PCM format we can stream.
    std::memset(m_formatRecord, 0, sizeof m_formatRecord);
    const std::uint32_t formatSize = m_subChunk.cksize;
    if (formatSize < 16 || formatSize > kFormatRecordBytes ||
        file->Read(reinterpret_cast<char*>(m_formatRecord), formatSize) != formatSize) {
        services_.ShowMessage(kErrorReadingFormat);
        return false;
    }
    const WaveFormat format = LoadWaveFormat(m_formatRecord, formatSize);
    const std::uint64_t blockSize =
        std::uint64_t{format.nChannels} * format.wBitsPerSample * format.nBlockAlign * 100;
    if (format.nChannels == 0 || format.nBlockAlign == 0 || format.wBitsPerSample == 0 ||
        blockSize > std::numeric_limits<std::uint32_t>::max()) {
        services_.ShowMessage(kErrorReadingFormat);
        return false;
    }
    if (!file->Ascend(m_subChunk)) {
        services_.ShowMessage(kErrorAscendingInFile);
        return false;
    }
    m_subChunk = {};
    m_subChunk.ckid = kFourCCData;
    if (!file->Descend(m_subChunk, &m_riffChunk, DescendMode::FindChunk)) {
        services_.ShowMessage(kErrorReadingDataChunk);
        return false;
    }
    blockSize_ = m_subChunk.cksize < blockSize ? m_subChunk.cksize : blockSize;
    std::lock_guard lock(fileMutex_);
    dataEnd_ = m_subChunk.dwDataOffset + m_subChunk.cksize;
    file_ = std::move(file);
    return true;
}

void WaveFilePlayer::StopStream() {
    stopEvent_.request_stop();
    OSTRAVEL_TRACE("STOP EVENT SET\n");
    playing_ = false;
    std::lock_guard lock(fileMutex_);
    file_.reset();
}

void WaveFilePlayer::Halt() {
    StopStream();
    // The worker wakes on the stop at once; waiting for it means no old worker ever meets the
    // next stream's file or flag.
    if (worker_.joinable()) worker_.join();
}

WaveFilePlayer::Block WaveFilePlayer::ReadBlock(std::stop_token stop) {
    Block block;
    {
        std::lock_guard lock(fileMutex_);
        const std::uint64_t blockSize = blockSize_.load();
        if (blockSize == 0 || !file_ || stop.stop_requested()) {
            block.end = true;
            return block;
        }
        // Only the data chunk is sound; whatever follows it in the file is not played.
        const std::uint64_t position = file_->Position();
        const std::uint64_t left = position < dataEnd_ ? dataEnd_ - position : 0;
        const std::uint64_t wanted = left < blockSize ? left : blockSize;
        if (wanted == 0) {
            block.end = true;
            return block;
        }
        char* buffer = new char[wanted];
        const long long got = file_->Read(buffer, wanted);
        if (got <= 0) {
            delete[] buffer;
            block.end = true;
            block.failed = got < 0;
            return block;
        }
        block.data = buffer;
        block.length = static_cast<std::uint32_t>(got);
    }
    char trace[40];
    std::snprintf(trace, sizeof trace, "read %d bytes\n", static_cast<int>(block.length));
    OSTRAVEL_TRACE(trace);
    return block;
}

void WaveFilePlayer::Worker(SoundPlayer* player, std::stop_token stop) {
    if (player == nullptr) return;
    const std::uintptr_t self = CurrentThreadId();
    player->PostThreadMessage(WM_OUTPUT_OPEN, self, 0);
    Block block = ReadBlock(stop);
    bool endOfData = false;
    while (playing_) {
        if (!player->Slots().Acquire(stop)) {
            OSTRAVEL_TRACE("STOP Event seen\n");
            break;
        }
        if (!playing_ || block.end) {
            player->Slots().Release();  // granted but not used
            endOfData = block.end && playing_;
            break;
        }
        player->PostThreadMessage(WM_OUTPUT_BLOCK, self,
                                  reinterpret_cast<std::intptr_t>(WrapBlock(block.data, block.length)));
        block = ReadBlock(stop);
    }
    delete[] block.data;
    if (block.failed) {
        services_.ShowMessage(kErrorReadingWaveFile);
    } else if (endOfData) {
        // Closing the output resets it, which would cut off the blocks still playing: let them
        // finish first, unless a stop comes meanwhile.
        int held = 0;
        while (held < SoundPlayer::kSlots && player->Slots().Acquire(stop)) ++held;
        for (; held > 0; --held) player->Slots().Release();
    }
    // The end of the data, a read error (a file that cannot be read is not read again) or a stop:
    // the stream is over either way.
    StopStream();
    player->PostThreadMessage(WM_OUTPUT_CLOSE, self, 0);
}

}  // namespace ostravel
