#include "fakes/fake_wave_device.h"

namespace ostravel::testing {

class FakeWaveIn final : public WaveInDevice {
public:
    explicit FakeWaveIn(FakeWaveSystem& system) : system_(system) {}
    ~FakeWaveIn() override {
        Reset();
        Close();
    }
    int Prepare(WaveHeader* header) override { return MarkPrepared(header, true); }
    int Unprepare(WaveHeader* header) override { return MarkPrepared(header, false); }
    int AddBuffer(WaveHeader* header) override {
        if ((header->dwFlags & kHeaderPrepared) == 0) return kWaveErrUnprepared;
        std::lock_guard lock(system_.mutex_);
        if (!system_.inputOpen_) return kWaveErrInvalidHandle;
        header->dwFlags |= kHeaderInQueue;
        system_.inputQueue_.push_back(header);
        system_.Touch();
        return kWaveOk;
    }
    int Start() override {
        std::lock_guard lock(system_.mutex_);
        if (system_.inputStartError_ != 0) return system_.inputStartError_;
        system_.inputStarted_ = true;
        system_.Touch();
        return kWaveOk;
    }
    int Stop() override {
        std::lock_guard callbacks(system_.callbackMutex_);
        std::lock_guard lock(system_.mutex_);
        system_.inputStarted_ = false;
        system_.Touch();
        return kWaveOk;
    }
    int Reset() override {
        std::lock_guard callbacks(system_.callbackMutex_);
        std::deque<WaveHeader*> left;
        WaveCallback callback;
        {
            std::lock_guard lock(system_.mutex_);
            system_.inputStarted_ = false;
            left.swap(system_.inputQueue_);
            callback = system_.inputCallback_;
            system_.Touch();
        }
        for (WaveHeader* header : left) {
            header->dwFlags = (header->dwFlags & ~kHeaderInQueue) | kHeaderDone;
            header->dwBytesRecorded = 0;
            callback(kWimData, header);
        }
        return kWaveOk;
    }
    int Close() override {
        std::lock_guard callbacks(system_.callbackMutex_);
        std::lock_guard lock(system_.mutex_);
        if (closed_) return kWaveErrInvalidHandle;
        if (!system_.inputQueue_.empty()) return kWaveErrStillPlaying;
        closed_ = true;
        system_.inputOpen_ = false;
        ++system_.inputCloses_;
        system_.Touch();
        return kWaveOk;
    }

private:
    FakeWaveSystem& system_;
    bool closed_ = false;
};

class FakeWaveOut final : public WaveOutDevice {
public:
    explicit FakeWaveOut(FakeWaveSystem& system) : system_(system) {}
    ~FakeWaveOut() override {
        Reset();
        Close();
    }
    int Prepare(WaveHeader* header) override { return MarkPrepared(header, true); }
    int Unprepare(WaveHeader* header) override { return MarkPrepared(header, false); }
    int Write(WaveHeader* header) override {
        if ((header->dwFlags & kHeaderPrepared) == 0) return kWaveErrUnprepared;
        std::lock_guard lock(system_.mutex_);
        if (!system_.outputOpen_) return kWaveErrInvalidHandle;
        header->dwFlags |= kHeaderInQueue;
        system_.outputQueue_.push_back(header);
        system_.played_.emplace_back(header->lpData, header->dwBufferLength);
        const int queued = static_cast<int>(system_.outputQueue_.size());
        if (queued > system_.maxOutputQueued_) system_.maxOutputQueued_ = queued;
        system_.Touch();
        return kWaveOk;
    }
    int Reset() override {
        std::lock_guard callbacks(system_.callbackMutex_);
        std::deque<WaveHeader*> left;
        WaveCallback callback;
        {
            std::lock_guard lock(system_.mutex_);
            left.swap(system_.outputQueue_);
            callback = system_.outputCallback_;
            system_.Touch();
        }
        for (WaveHeader* header : left) {
            header->dwFlags = (header->dwFlags & ~kHeaderInQueue) | kHeaderDone;
            callback(kWomDone, header);
        }
        return kWaveOk;
    }
    int Close() override {
        std::lock_guard callbacks(system_.callbackMutex_);
        WaveCallback callback;
        {
            std::lock_guard lock(system_.mutex_);
            if (closed_) return kWaveErrInvalidHandle;
            if (!system_.outputQueue_.empty()) return kWaveErrStillPlaying;
            closed_ = true;
            system_.outputOpen_ = false;
            callback = system_.outputCallback_;
            system_.Touch();
        }
        callback(kWomClose, nullptr);
        return kWaveOk;
    }

private:
    FakeWaveSystem& system_;
    bool closed_ = false;
};

int FakeWaveSystem::OpenInput(const WaveFormat&, WaveCallback callback,
                              std::unique_ptr<WaveInDevice>& device) {
    {
        std::lock_guard lock(mutex_);
        if (inputOpenError_ != 0) return inputOpenError_;
        inputCallback_ = std::move(callback);
        inputOpen_ = true;
        inputStarted_ = false;
        ++inputOpens_;
        Touch();
    }
    device = std::make_unique<FakeWaveIn>(*this);
    return kWaveOk;
}

int FakeWaveSystem::OpenOutput(const WaveFormat&, WaveCallback callback,
                               std::unique_ptr<WaveOutDevice>& device) {
    {
        std::lock_guard lock(mutex_);
        if (outputOpenError_ != 0) return outputOpenError_;
        outputCallback_ = std::move(callback);
        outputOpen_ = true;
        ++outputOpens_;
        Touch();
    }
    device = std::make_unique<FakeWaveOut>(*this);
    return kWaveOk;
}

void FakeWaveSystem::Touch() {
    ++changes_;
    changed_.notify_all();
}

bool FakeWaveSystem::WaitUntil(const std::function<bool()>& ready, Deadline limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    for (;;) {
        const std::uint64_t seen = changes_;
        lock.unlock();
        if (ready()) return true;
        lock.lock();
        if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; })) {
            lock.unlock();
            return ready();
        }
    }
}

bool FakeWaveSystem::DeliverInput(int count) {
    std::lock_guard callbacks(callbackMutex_);
    std::vector<WaveHeader*> done;
    WaveCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (!inputStarted_ || static_cast<int>(inputQueue_.size()) < count) return false;
        for (int i = 0; i < count; ++i) {
            WaveHeader* header = inputQueue_.front();
            inputQueue_.pop_front();
            for (std::uint32_t b = 0; b < header->dwBufferLength; ++b) {
                const unsigned char sample = Sample(produced_.size());
                header->lpData[b] = static_cast<char>(sample);
                produced_.push_back(sample);
            }
            header->dwBytesRecorded = header->dwBufferLength;
            header->dwFlags = (header->dwFlags & ~kHeaderInQueue) | kHeaderDone;
            done.push_back(header);
        }
        callback = inputCallback_;
    }
    for (WaveHeader* header : done) callback(kWimData, header);
    std::lock_guard lock(mutex_);
    Touch();
    return true;
}

bool FakeWaveSystem::CompleteOutput(int count) {
    std::lock_guard callbacks(callbackMutex_);
    std::vector<WaveHeader*> done;
    WaveCallback callback;
    {
        std::lock_guard lock(mutex_);
        if (static_cast<int>(outputQueue_.size()) < count) return false;
        for (int i = 0; i < count; ++i) {
            WaveHeader* header = outputQueue_.front();
            outputQueue_.pop_front();
            header->dwFlags = (header->dwFlags & ~kHeaderInQueue) | kHeaderDone;
            done.push_back(header);
        }
        callback = outputCallback_;
        Touch();
    }
    for (WaveHeader* header : done) callback(kWomDone, header);
    return true;
}

int FakeWaveSystem::InputQueued() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(inputQueue_.size());
}
bool FakeWaveSystem::InputStarted() const {
    std::lock_guard lock(mutex_);
    return inputStarted_;
}
int FakeWaveSystem::InputOpens() const {
    std::lock_guard lock(mutex_);
    return inputOpens_;
}
int FakeWaveSystem::InputCloses() const {
    std::lock_guard lock(mutex_);
    return inputCloses_;
}
std::vector<unsigned char> FakeWaveSystem::Produced() const {
    std::lock_guard lock(mutex_);
    return produced_;
}
bool FakeWaveSystem::OutputOpen() const {
    std::lock_guard lock(mutex_);
    return outputOpen_;
}
int FakeWaveSystem::OutputOpens() const {
    std::lock_guard lock(mutex_);
    return outputOpens_;
}
int FakeWaveSystem::OutputQueued() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(outputQueue_.size());
}
int FakeWaveSystem::MaxOutputQueued() const {
    std::lock_guard lock(mutex_);
    return maxOutputQueued_;
}
std::vector<std::string> FakeWaveSystem::Played() const {
    std::lock_guard lock(mutex_);
    return played_;
}

}  // namespace ostravel::testing
