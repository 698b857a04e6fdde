// WaveFileWriter: writes the blocks it is sent into a RIFF WAVE file.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/workerthread.h"
#include "voice/riff.h"
#include "voice/wavedevice.h"

namespace ostravel {

inline constexpr unsigned WM_WAVEFILE_OPEN = 0x400 + 700;   // lParam: WaveFileRequest*
inline constexpr unsigned WM_WAVEFILE_BLOCK = 0x400 + 701;  // wParam: sender; lParam: WaveHeader*
inline constexpr unsigned WM_WAVEFILE_CLOSE = 0x400 + 702;
inline constexpr unsigned WM_WAVEFILE_QUIT = 0x400 + 703;

// What opens a file, heap-allocated and zero-filled by the sender; the writer releases it.
struct WaveFileRequest {
    char fileName[260];                      // zero-terminated
    unsigned char format[kWaveFormatBytes];  // the format record; cbSize at offset 276
    unsigned char extraFormat[100];          // cbSize of them are written
};
static_assert(sizeof(WaveFileRequest) == 378);

// A zero-filled request for `fileName` (cut to 259 characters) with `format`.
WaveFileRequest* NewWaveFileRequest(const std::string& fileName, const WaveFormat& format);

class WaveFileWriter : public WorkerThread {
public:
    WaveFileWriter();
    ~WaveFileWriter() override;

protected:
    void OnMessage(const ThreadMessage& message) override;
    void DiscardMessage(const ThreadMessage& message) override;

private:
    void CreateFile(WaveFileRequest* request);
    void WriteBlock(WaveHeader* block);
    void CloseFile();

    std::unique_ptr<RiffFile> file_;
    ChunkInfo riffChunk_;
    ChunkInfo subChunk_;
};

}  // namespace ostravel
