#include "voice/soundplayer.h"

#include <thread>

#include "platform/stopwait.h"
#include "platform/trace.h"

namespace ostravel {

bool SlotSemaphore::Acquire(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    if (!WaitUnlessStopped(changed_, lock, stop, [this] { return count_ > 0; })) return false;
    // Both may be ready at once; the stop comes first, as the first of the two handles would.
    if (stop.stop_requested()) return false;
    --count_;
    return true;
}

bool SlotSemaphore::Release() {
    std::lock_guard lock(mutex_);
    if (count_ >= maximum_) return false;
    ++count_;
    changed_.notify_all();
    return true;
}

int SlotSemaphore::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

SoundPlayer::SoundPlayer(int sampleRate, SoundServices services)
    : m_format(MakeCommonFormat(static_cast<std::uint32_t>(sampleRate))), services_(std::move(services)) {}

SoundPlayer::~SoundPlayer() {
    EndThread();
    device_.reset();
}

void SoundPlayer::OnSoundBlock(char*, unsigned) {}

void SoundPlayer::OnMessage(const ThreadMessage& message) {
    switch (message.message) {
        case WM_OUTPUT_OPEN:
            OpenDevice();
            break;
        case WM_OUTPUT_CLOSE:
            CloseDevice();
            break;
        case WM_OUTPUT_BLOCK:
            PlayBlock(reinterpret_cast<WaveHeader*>(message.lParam));
            break;
        case kWomDone:
            BlockDone(reinterpret_cast<WaveHeader*>(message.lParam));
            break;
        case WM_OUTPUT_QUIT:
            CloseDevice();
            PostQuitMessage(0);
            break;
        default:
            break;
    }
}

void SoundPlayer::DiscardMessage(const ThreadMessage& message) {
    if (message.message == WM_OUTPUT_BLOCK || message.message == kWomDone) {
        if (message.lParam != 0) {
            ReleaseBlock(reinterpret_cast<WaveHeader*>(message.lParam));
            slots_.Release();
        }
    }
}

void SoundPlayer::OpenDevice() {
    if (open_) return;
    // Finished blocks come back to this thread's queue, like the device's thread callback.
    const int result = services_.Waves().OpenOutput(
        m_format,
        [this](unsigned notification, WaveHeader* header) {
            PostThreadMessage(notification, 0, reinterpret_cast<std::intptr_t>(header));
        },
        device_);
    if (result != kWaveOk) {
        services_.ShowMessage(services_.Waves().ErrorText(result).substr(0, 259));
        return;
    }
    open_ = true;
}

void SoundPlayer::PlayBlock(WaveHeader* block) {
    if (block == nullptr) return;
    if (!open_) {
        // Nothing can play it; give its slot back too, or a file stream would starve.
        ReleaseBlock(block);
        slots_.Release();
        return;
    }
    OnSoundBlock(block->lpData, block->dwBufferLength);
    if (device_->Prepare(block) != kWaveOk) {
        OSTRAVEL_TRACE("error from waveoutprepareheader\n");
    }
    if (device_->Write(block) != kWaveOk) {
        OSTRAVEL_TRACE("error from waveoutwrite\n");
        // The device will never hand it back.
        device_->Unprepare(block);
        ReleaseBlock(block);
        slots_.Release();
    }
    ++blocksWritten_;
}

void SoundPlayer::BlockDone(WaveHeader* block) {
    if (block == nullptr) return;
    if (device_) device_->Unprepare(block);
    ReleaseBlock(block);
    slots_.Release();
}

void SoundPlayer::CloseDevice() {
    if (!open_) return;
    const int reset = device_->Reset();
    std::this_thread::sleep_for(services_.outputResetSettle);
    // The reset handed every queued block back as a notification to this thread; take them now.
    ThreadMessage notification;
    while (PeekMessage(notification, kWomOpen, kWomDone)) {
        if (notification.message == kWomDone) {
            BlockDone(reinterpret_cast<WaveHeader*>(notification.lParam));
            std::this_thread::sleep_for(services_.outputDrainStep);
        }
    }
    if (reset == kWaveOk) open_ = false;
    std::this_thread::sleep_for(services_.outputCloseSettle);
    if (reset == kWaveOk) {
        device_->Close();
        device_.reset();
    }
}

}  // namespace ostravel
