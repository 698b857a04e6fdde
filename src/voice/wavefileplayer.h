// WaveFilePlayer: streams a RIFF WAVE file to a SoundPlayer from a worker thread, at most three
// blocks ahead (the player's slot semaphore).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/workerthread.h"
#include "voice/riff.h"
#include "voice/wavedevice.h"

namespace ostravel {

class SoundPlayer;

inline constexpr unsigned WM_FILEPLAY_START = 0x400 + 301;  // lParam: file name (see below)
inline constexpr unsigned WM_FILEPLAY_HALT = 0x400 + 302;
inline constexpr unsigned WM_FILEPLAY_ROUTE_PLAYER = 0x400 + 303;  // lParam: SoundPlayer*
inline constexpr unsigned WM_FILEPLAY_QUIT = 0x400 + 304;

// The texts the stream shows in a message box.
inline constexpr char kCannotOpenSoundFile[] = "unable to open Sound MM File";
inline constexpr char kErrorDescendingIntoFile[] = "Error descending into file";
inline constexpr char kErrorDescendingInFile[] = "Error descending in file";
inline constexpr char kErrorReadingFormat[] = "Error reading PCM wave format record";
inline constexpr char kErrorAscendingInFile[] = "Error ascending in File";
inline constexpr char kErrorReadingDataChunk[] = "error reading data chunk";
inline constexpr char kErrorReadingWaveFile[] = "Error reading WAVE file\n";

class WaveFilePlayer : public WorkerThread {
public:
    static constexpr std::size_t kFormatRecordBytes = 280;
    static constexpr std::size_t kFileNameChars = 259;

    explicit WaveFilePlayer(SoundServices services = {});
    ~WaveFilePlayer() override;

    // Posts WM_FILEPLAY_START with a copy of `fileName`. The message's lParam is a text made with
    // new char[] that the thread takes over (a caller's buffer could be gone before it is read).
    static bool PostStart(WaveFilePlayer& thread, const std::string& fileName);

    bool Playing() const { return playing_.load(); }
    // Bytes per read of the current (or last) stream.
    std::uint64_t BlockSize() const { return blockSize_.load(); }

protected:
    void OnMessage(const ThreadMessage& message) override;
    void DiscardMessage(const ThreadMessage& message) override;

private:
    struct Block {
        char* data = nullptr;
        std::uint32_t length = 0;
        bool end = false;     // no more sound: end of the data, a stop, or a read error
        bool failed = false;  // a read error
    };

    void StartStream(const char* fileName);
    bool OpenStream();
    void Halt();
    // Stop event, flag and file; the owner thread then also waits for the worker.
    void StopStream();
    void Worker(SoundPlayer* player, std::stop_token stop);
    Block ReadBlock(std::stop_token stop);

    SoundServices services_;
    SoundPlayer* player_ = nullptr;  // this thread only; the worker gets its own copy
    std::atomic<bool> playing_{false};
    std::stop_source stopEvent_;
    char m_fileName[kFileNameChars + 1] = {};
    ChunkInfo m_riffChunk;
    ChunkInfo m_subChunk;
    unsigned char m_formatRecord[kFormatRecordBytes] = {};
    std::atomic<std::uint64_t> blockSize_{0};

    // The file is shared with the worker: every read and the close hold the lock, and a closed
    // file is never read.
    std::mutex fileMutex_;
    std::unique_ptr<RiffFile> file_;
    std::uint64_t dataEnd_ = 0;
    std::thread worker_;
};

}  // namespace ostravel
