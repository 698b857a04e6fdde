// SoundPlayer: plays blocks on the default output device. Finished blocks come back to this
// thread as device notifications; each one returns a count of the slot semaphore, with which the
// file player keeps at most three of its blocks at the device.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>

#include "platform/workerthread.h"
#include "voice/wavedevice.h"

namespace ostravel {

inline constexpr unsigned kWmUser = 0x400;
inline constexpr unsigned WM_OUTPUT_OPEN = kWmUser + 600;   // wParam: sender's thread id or 0
inline constexpr unsigned WM_OUTPUT_CLOSE = kWmUser + 601;  // wParam: sender's thread id or 0
inline constexpr unsigned WM_OUTPUT_BLOCK = kWmUser + 602;  // wParam: sender; lParam: WaveHeader*
inline constexpr unsigned WM_OUTPUT_QUIT = kWmUser + 603;

class SlotSemaphore {
public:
    SlotSemaphore(int initial, int maximum) : count_(initial), maximum_(maximum) {}

    // Takes a count, or gives up once `stop` is requested (a stop wins over a free count);
    // true when a count was taken.
    bool Acquire(std::stop_token stop);
    // False when the count is already at its maximum.
    bool Release();
    int Count() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    int count_;
    const int maximum_;
};

class SoundPlayer : public WorkerThread {
public:
    static constexpr int kSlots = 3;

    explicit SoundPlayer(int sampleRate, SoundServices services = {});
    ~SoundPlayer() override;

    // Called on this thread for every block before it goes to the device; for derived classes.
    virtual void OnSoundBlock(char* data, unsigned length);

    SlotSemaphore& Slots() { return slots_; }
    const WaveFormat m_format;

protected:
    void OnMessage(const ThreadMessage& message) override;
    void DiscardMessage(const ThreadMessage& message) override;

private:
    void OpenDevice();
    void CloseDevice();
    void PlayBlock(WaveHeader* block);
    void BlockDone(WaveHeader* block);

    SoundServices services_;
    SlotSemaphore slots_{kSlots, kSlots};
    std::unique_ptr<WaveOutDevice> device_;
    bool open_ = false;
    long blocksWritten_ = 0;  // diagnostic only
};

}  // namespace ostravel
