#include "voice/soundrecorder.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/trace.h"
#include "voice/soundplayer.h"
#include "voice/wavefilewriter.h"

namespace ostravel {

namespace {

std::string WaveInMessage(int code, const std::string& text) {
    char buffer[300];
    std::snprintf(buffer, sizeof buffer, "WAVEIN:%x:%s", static_cast<unsigned>(code),
                  text.substr(0, 259).c_str());
    return buffer;
}

}  // namespace

SoundRecorder::SoundRecorder(int sampleRate, SoundServices services)
    : m_format(MakeCommonFormat(static_cast<std::uint32_t>(sampleRate))), services_(std::move(services)) {}

SoundRecorder::~SoundRecorder() {
    EndThread();
    if (device_) {
        recording_ = false;
        device_->Reset();
        device_->Close();
        device_.reset();
    }
}

void SoundRecorder::OnSoundBlock(char*, unsigned) {}

void SoundRecorder::OnMessage(const ThreadMessage& message) {
    switch (message.message) {
        case WM_CAPTURE_BEGIN:
            Begin();
            break;
        case WM_CAPTURE_HALT:
            Halt();
            break;
        case WM_CAPTURE_ROUTE_PLAYER:
            // The player is carried but not kept: captured sound goes to the file only.
            break;
        case WM_CAPTURE_QUIT:
            Halt();
            PostQuitMessage(0);
            break;
        case WM_CAPTURE_ROUTE_WRITER:
            writer_ = reinterpret_cast<WaveFileWriter*>(message.lParam);
            break;
        default:
            break;
    }
}

void SoundRecorder::QueueBuffer() {
    WaveHeader* header = NewBlock(static_cast<std::size_t>(m_format.nBlockAlign) * kBufferBlocks);
    if (device_->Prepare(header) != kWaveOk || device_->AddBuffer(header) != kWaveOk) {
        OSTRAVEL_TRACE("cannot queue a sound buffer\n");
        ReleaseBlock(header);
        return;
    }
    ++queued_;
}

void SoundRecorder::Begin() {
    if (recording_) return;
    WaveSystem& waves = services_.Waves();
    const int opened = waves.OpenInput(
        m_format, [this](unsigned notification, WaveHeader* header) { OnBufferDone(notification, header); },
        device_);
    if (opened != kWaveOk) {
        services_.ShowMessage(WaveInMessage(opened, waves.ErrorText(opened)));
        return;
    }
    for (int i = 0; i < kQueuedBuffers; ++i) QueueBuffer();

    // The flag comes before the start, so the first buffer the device returns is kept and replaced.
    recording_ = true;
    SoundPlayer* player = player_.load();
    WaveFileWriter* writer = writer_.load();
    int started = kWaveOk;
    {
        // The file is opened only once the device runs: a device that will not start leaves an
        // earlier capture file as it was. Blocks wait here so that none reaches the writer before
        // its file is opened.
        std::lock_guard hold(routing_);
        started = device_->Start();
        if (started == kWaveOk) {
            if (player != nullptr) player->PostThreadMessage(WM_OUTPUT_OPEN, 0, 0);
            if (writer != nullptr) {
                writer->PostThreadMessage(
                    WM_WAVEFILE_OPEN, 0,
                    reinterpret_cast<std::intptr_t>(NewWaveFileRequest(services_.captureFileName, m_format)));
            }
        }
    }
    if (started != kWaveOk) {
        // Give the queued buffers back and leave the thread idle.
        recording_ = false;
        device_->Reset();
        device_->Close();
        device_.reset();
        services_.ShowMessage(WaveInMessage(started, waves.ErrorText(started)));
    }
}

void SoundRecorder::Halt() {
    if (!recording_) return;
    // Cleared first: the buffers the reset returns are then released instead of passed on.
    recording_ = false;
    OSTRAVEL_TRACE("waveinstop\n");
    device_->Stop();
    const int reset = device_->Reset();
    std::this_thread::sleep_for(services_.captureResetSettle);
    if (reset == kWaveOk) {
        device_->Close();
        device_.reset();
    }
    if (SoundPlayer* player = player_.load()) player->PostThreadMessage(WM_OUTPUT_CLOSE, 0, 0);
    if (WaveFileWriter* writer = writer_.load()) writer->PostThreadMessage(WM_WAVEFILE_CLOSE, 0, 0);
}

void SoundRecorder::OnBufferDone(unsigned notification, WaveHeader* header) {
    if (notification != kWimData || header == nullptr) return;
    const bool recording = recording_.load();
    char* data = header->lpData;
    const std::uint32_t recorded = header->dwBytesRecorded;
    if (recording) device_->Unprepare(header);

    OnSoundBlock(data, recorded);

    WaveFileWriter* writer = writer_.load();
    if (writer != nullptr && recording) {
        std::lock_guard hold(routing_);
        // Only the recorded bytes: the rest of the buffer is not sound.
        auto* copy = new WaveHeader(*header);
        copy->lpData = new char[recorded > 0 ? recorded : 1];
        std::memcpy(copy->lpData, data, recorded);
        copy->dwBufferLength = recorded;
        copy->dwFlags = 0;
        writer->PostThreadMessage(WM_WAVEFILE_BLOCK, CurrentThreadId(),
                                  reinterpret_cast<std::intptr_t>(copy));
    }
    SoundPlayer* player = player_.load();
    if (player != nullptr && recording) {
        header->dwFlags = 0;
        player->PostThreadMessage(WM_OUTPUT_BLOCK, CurrentThreadId(),
                                  reinterpret_cast<std::intptr_t>(header));
    } else {
        ReleaseBlock(header);
    }

    char trace[80];
    std::snprintf(trace, sizeof trace, "SOUND BUFFER returned: %d,%d\n", static_cast<int>(recorded),
                  queued_.load());
    OSTRAVEL_TRACE(trace);
    --queued_;
    if (recording_.load()) QueueBuffer();
}

}  // namespace ostravel
