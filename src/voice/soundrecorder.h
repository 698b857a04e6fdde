// SoundRecorder: captures from the default input device and hands each filled buffer on: a copy to
// the file writer, the buffer itself to a player (none is ever set).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/workerthread.h"
#include "voice/wavedevice.h"

namespace ostravel {

class SoundPlayer;
class WaveFileWriter;

inline constexpr unsigned WM_CAPTURE_BEGIN = 0x400 + 500;
inline constexpr unsigned WM_CAPTURE_HALT = 0x400 + 501;
inline constexpr unsigned WM_CAPTURE_ROUTE_PLAYER = 0x400 + 502;  // lParam: SoundPlayer*
inline constexpr unsigned WM_CAPTURE_QUIT = 0x400 + 503;
inline constexpr unsigned WM_CAPTURE_ROUTE_WRITER = 0x400 + 504;  // lParam: WaveFileWriter*

class SoundRecorder : public WorkerThread {
public:
    static constexpr int kQueuedBuffers = 5;
    static constexpr int kBufferBlocks = 1000;

    // The writer is told to store the capture in services.captureFileName ("soundout.wav").
    explicit SoundRecorder(int sampleRate, SoundServices services = {});
    ~SoundRecorder() override;

    // Called for every captured block before it is passed on, on the device's thread.
    virtual void OnSoundBlock(char* data, unsigned length);

    bool Recording() const { return recording_.load(); }
    const WaveFormat m_format;

protected:
    void OnMessage(const ThreadMessage& message) override;

private:
    void Begin();
    void Halt();
    void QueueBuffer();
    // Runs on the device's thread (or on this one during a reset).
    void OnBufferDone(unsigned notification, WaveHeader* header);

    SoundServices services_;
    std::unique_ptr<WaveInDevice> device_;
    std::atomic<bool> recording_{false};
    std::atomic<SoundPlayer*> player_{nullptr};  // never set: routing a player has no effect
    std::atomic<WaveFileWriter*> writer_{nullptr};
    std::atomic<int> queued_{0};  // diagnostic only
    std::mutex routing_;          // held while the device starts and the file is opened
};

}  // namespace ostravel
