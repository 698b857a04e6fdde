#include "voice/audiothreads.h"

#include <cstdint>

#include "platform/trace.h"
#include "voice/soundplayer.h"
#include "voice/soundrecorder.h"
#include "voice/wavefileplayer.h"
#include "voice/wavefilewriter.h"

namespace ostravel {

namespace {

// Posts the quit message and waits. A thread that does not end in time is left running and its
// object is leaked on purpose: destroying it under the running thread would be worse.
template <class Thread>
void StopThread(std::unique_ptr<Thread>& thread, unsigned quitMessage) {
    if (!thread) return;
    thread->PostThreadMessage(quitMessage, 0, 0);
    if (!thread->Wait(AudioThreads::kStopWait)) {
        OSTRAVEL_TRACE("an audio thread did not end in time\n");
        thread->Abandon();
        (void)thread.release();
        return;
    }
    thread.reset();
}

}  // namespace

AudioThreads::AudioThreads() = default;
AudioThreads::AudioThreads(SoundServices services) : services_(std::move(services)) {}
AudioThreads::~AudioThreads() { Stop(); }

void AudioThreads::Start() {
    if (capture_ || playback_ || writer_ || filePlayer_) return;
    capture_ = std::make_unique<SoundRecorder>(kSampleRate, services_);
    capture_->CreateThread();
    playback_ = std::make_unique<SoundPlayer>(kSampleRate, services_);
    playback_->CreateThread();
    writer_ = std::make_unique<WaveFileWriter>();
    writer_->CreateThread();
    filePlayer_ = std::make_unique<WaveFilePlayer>(services_);
    filePlayer_->CreateThread();

    capture_->PostThreadMessage(WM_CAPTURE_ROUTE_PLAYER, 0, reinterpret_cast<std::intptr_t>(playback_.get()));
    capture_->PostThreadMessage(WM_CAPTURE_ROUTE_WRITER, 0, reinterpret_cast<std::intptr_t>(writer_.get()));
}

void AudioThreads::Stop() {
    // The file player goes first (its worker feeds playback), the writer last (capture feeds it).
    StopThread(filePlayer_, WM_FILEPLAY_QUIT);
    StopThread(playback_, WM_OUTPUT_QUIT);
    StopThread(capture_, WM_CAPTURE_QUIT);
    StopThread(writer_, WM_WAVEFILE_QUIT);
}

}  // namespace ostravel
