// The voice client's four audio threads (capture, playback, file writer, file player), created and
// wired at start-up and stopped at exit.
#pragma once

namespace ostravel {

class AudioThreads {
public:
    AudioThreads();
    ~AudioThreads();
    AudioThreads(const AudioThreads&) = delete;
    AudioThreads& operator=(const AudioThreads&) = delete;

    // Creates and starts the four threads in start-up order and wires capture to playback and writer.
    void Start();
    // Tells each thread to stop, in shut-down order, waiting up to 5000 ms for each.
    void Stop();
};

}  // namespace ostravel
