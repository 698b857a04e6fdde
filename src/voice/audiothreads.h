// The voice client's four audio threads (capture, playback, file writer, file player), created and
// wired at start-up and stopped at exit.
#pragma once

#include <chrono>
#include <memory>

#include "voice/wavedevice.h"

namespace ostravel {

class SoundRecorder;
class SoundPlayer;
class WaveFileWriter;
class WaveFilePlayer;

class AudioThreads {
public:
    static constexpr int kSampleRate = 8000;
    static constexpr std::chrono::milliseconds kStopWait{5000};

    AudioThreads();
    // Tests pass fake devices and a message-box seam; nothing is opened until a thread is told to.
    explicit AudioThreads(SoundServices services);
    ~AudioThreads();
    AudioThreads(const AudioThreads&) = delete;
    AudioThreads& operator=(const AudioThreads&) = delete;

    // Creates and starts the four threads in start-up order and wires capture to playback and writer.
    void Start();
    // Tells each thread to stop, in shut-down order, waiting up to 5000 ms for each.
    void Stop();

    SoundRecorder* Capture() const { return capture_.get(); }
    SoundPlayer* Playback() const { return playback_.get(); }
    WaveFileWriter* Writer() const { return writer_.get(); }
    WaveFilePlayer* FilePlayer() const { return filePlayer_.get(); }

private:
    SoundServices services_;
    std::unique_ptr<SoundRecorder> capture_;
    std::unique_ptr<SoundPlayer> playback_;
    std::unique_ptr<WaveFileWriter> writer_;
    std::unique_ptr<WaveFilePlayer> filePlayer_;
};

}  // namespace ostravel
