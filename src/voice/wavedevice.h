// Wave input and output as the audio threads use them: open the default device with a format,
// prepare and queue buffers, start, a buffer-done notification, stop, reset, close and the
// system's error text. The real devices sit on PortAudio, which is loaded on the first open so
// that start-up never pays for it; tests pass a fake system.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ostravel {

// PCM format record, stored in files and requests as 18 little-endian bytes.
struct WaveFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};
inline constexpr std::size_t kWaveFormatBytes = 18;
inline constexpr std::uint16_t kWaveFormatPcm = 1;

// 8-bit mono PCM at `sampleRate`; the derived fields use integer division as the devices expect.
WaveFormat MakeCommonFormat(std::uint32_t sampleRate);
void StoreWaveFormat(const WaveFormat& format, unsigned char* out18);
// Reads the fields present in `size` bytes (missing ones stay 0).
WaveFormat LoadWaveFormat(const unsigned char* bytes, std::size_t size);

// One block of sound travelling between threads. Both the header and its data are heap objects;
// whoever receives a block in a message owns it and releases it with ReleaseBlock.
struct WaveHeader {
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
};
inline constexpr std::uint32_t kHeaderDone = 0x1;
inline constexpr std::uint32_t kHeaderPrepared = 0x2;
inline constexpr std::uint32_t kHeaderInQueue = 0x10;

// Prepares or unprepares a header for a device, as every device does it: a header still queued
// cannot be unprepared.
int MarkPrepared(WaveHeader* header, bool prepare);

// A zeroed header with a zeroed data buffer of `bytes`.
WaveHeader* NewBlock(std::size_t bytes);
// A header for data already allocated with new[] (ownership passes to the block).
WaveHeader* WrapBlock(char* data, std::uint32_t length);
void ReleaseBlock(WaveHeader* block);

// Device notifications, numbered as the platform numbers them.
inline constexpr unsigned kWomOpen = 0x3BB;   // MM_WOM_OPEN
inline constexpr unsigned kWomClose = 0x3BC;  // MM_WOM_CLOSE
inline constexpr unsigned kWomDone = 0x3BD;   // MM_WOM_DONE
inline constexpr unsigned kWimOpen = 0x3BE;
inline constexpr unsigned kWimClose = 0x3BF;
inline constexpr unsigned kWimData = 0x3C0;  // WIM_DATA

// Result codes: 0 is success; positive codes are the platform's multimedia codes below; negative
// ones come from the audio library. ErrorText gives the text of any of them.
inline constexpr int kWaveOk = 0;
inline constexpr int kWaveErrGeneric = 1;
inline constexpr int kWaveErrInvalidHandle = 5;
inline constexpr int kWaveErrNoDriver = 6;
inline constexpr int kWaveErrNoMemory = 7;
inline constexpr int kWaveErrInvalidParam = 11;
inline constexpr int kWaveErrBadFormat = 32;
inline constexpr int kWaveErrStillPlaying = 33;
inline constexpr int kWaveErrUnprepared = 34;

// Called with a notification and, for done buffers, the buffer. Data notifications come on a
// thread of the device, or on the caller's thread during Reset.
using WaveCallback = std::function<void(unsigned message, WaveHeader* header)>;

// Contract of both devices: Reset hands every queued buffer back through the callback (marked
// done) before it returns, and once Reset or Close has returned no callback is running or will run
// for the buffers handed back. Destroying a device closes it.
class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;
    virtual int Prepare(WaveHeader* header) = 0;
    virtual int Unprepare(WaveHeader* header) = 0;
    virtual int AddBuffer(WaveHeader* header) = 0;
    virtual int Start() = 0;
    virtual int Stop() = 0;
    virtual int Reset() = 0;
    virtual int Close() = 0;
};

class WaveOutDevice {
public:
    virtual ~WaveOutDevice() = default;
    virtual int Prepare(WaveHeader* header) = 0;
    virtual int Unprepare(WaveHeader* header) = 0;
    virtual int Write(WaveHeader* header) = 0;
    virtual int Reset() = 0;
    virtual int Close() = 0;
};

class WaveSystem {
public:
    virtual ~WaveSystem() = default;
    // The default input/output device. On failure `device` stays empty and the code is returned.
    virtual int OpenInput(const WaveFormat& format, WaveCallback callback,
                          std::unique_ptr<WaveInDevice>& device) = 0;
    virtual int OpenOutput(const WaveFormat& format, WaveCallback callback,
                           std::unique_ptr<WaveOutDevice>& device) = 0;
    virtual std::string ErrorText(int code) = 0;
};

// What the audio threads take from their surroundings: the devices, a way to show a message box
// (the core draws no windows) and the pauses that let a device settle after a reset.
struct SoundServices {
    WaveSystem* waves = nullptr;                         // none: DefaultWaveSystem()
    std::function<void(const std::string&)> messageBox;  // none: the process-wide handler
    std::chrono::milliseconds captureResetSettle{500};
    std::chrono::milliseconds outputResetSettle{20};
    std::chrono::milliseconds outputDrainStep{5};
    std::chrono::milliseconds outputCloseSettle{500};
    // Where a capture is stored: relative, so it lands in the current directory.
    std::string captureFileName = "soundout.wav";

    WaveSystem& Waves() const;
    void ShowMessage(const std::string& text) const;
};

// The handler behind SoundServices' default message box; the desktop installs one that shows a
// window. Without one the text goes to the debug trace.
void SetSoundMessageBox(std::function<void(const std::string&)> handler);

// The process's real devices (PortAudio, loaded and initialised on the first open).
WaveSystem& DefaultWaveSystem();
// Text of the platform multimedia codes above; "" for others.
std::string MultimediaErrorText(int code);

}  // namespace ostravel
