// A wave system for tests: the input device produces known samples when the test says so, the
// output device records what it is given and finishes blocks when the test says so. One input
// and one output device at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "voice/wavedevice.h"

namespace ostravel::testing {

class FakeWaveSystem : public WaveSystem {
public:
    using Deadline = std::chrono::milliseconds;

    // The byte the input device produces as its n-th sample.
    static unsigned char Sample(std::size_t n) { return static_cast<unsigned char>((n * 37 + 11) & 0xFF); }

    int OpenInput(const WaveFormat& format, WaveCallback callback,
                  std::unique_ptr<WaveInDevice>& device) override;
    int OpenOutput(const WaveFormat& format, WaveCallback callback,
                   std::unique_ptr<WaveOutDevice>& device) override;
    std::string ErrorText(int code) override { return "fake error " + std::to_string(code); }

    void FailInputOpen(int code) {
        std::lock_guard lock(mutex_);
        inputOpenError_ = code;
    }
    void FailInputStart(int code) {
        std::lock_guard lock(mutex_);
        inputStartError_ = code;
    }
    void FailOutputOpen(int code) {
        std::lock_guard lock(mutex_);
        outputOpenError_ = code;
    }

    // Waits until `ready` holds or the deadline passes; `ready` is checked again after every
    // change of the fake (it may call the fake's accessors) or whenever `Poke` is called.
    bool WaitUntil(const std::function<bool()>& ready, Deadline limit = std::chrono::seconds(10));
    void Poke() {
        std::lock_guard lock(mutex_);
        Touch();
    }

    // Input. Fills the `count` oldest queued buffers with the next samples and returns each as
    // done, as a driver would; false if the device is not started or holds fewer buffers.
    bool DeliverInput(int count);
    int InputQueued() const;
    bool InputStarted() const;
    int InputOpens() const;
    int InputCloses() const;
    std::vector<unsigned char> Produced() const;

    // Output. Finishes the `count` oldest queued blocks; false if fewer are queued.
    bool CompleteOutput(int count);
    bool OutputOpen() const;
    int OutputOpens() const;
    int OutputQueued() const;
    int MaxOutputQueued() const;
    std::vector<std::string> Played() const;  // data of every block written, in order

private:
    friend class FakeWaveIn;
    friend class FakeWaveOut;

    void Touch();  // under mutex_

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t changes_ = 0;
    // Held while a callback runs and by stop, reset and close, so none of them returns while a
    // callback is still running.
    std::mutex callbackMutex_;

    WaveCallback inputCallback_;
    bool inputOpen_ = false;
    bool inputStarted_ = false;
    std::deque<WaveHeader*> inputQueue_;
    int inputOpens_ = 0;
    int inputCloses_ = 0;
    int inputOpenError_ = 0;
    int inputStartError_ = 0;
    std::vector<unsigned char> produced_;

    WaveCallback outputCallback_;
    bool outputOpen_ = false;
    std::deque<WaveHeader*> outputQueue_;
    int outputOpens_ = 0;
    int outputOpenError_ = 0;
    int maxOutputQueued_ = 0;
    std::vector<std::string> played_;
};

}  // namespace ostravel::testing
