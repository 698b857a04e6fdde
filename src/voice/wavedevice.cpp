#include "voice/wavedevice.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <portaudio.h>

#include "platform/trace.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ostravel {

namespace {

void Put16(unsigned char* out, std::uint16_t value) {
    out[0] = static_cast<unsigned char>(value & 0xFF);
    out[1] = static_cast<unsigned char>(value >> 8);
}
void Put32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}
std::uint16_t Get16(const unsigned char* in) { return static_cast<std::uint16_t>(in[0] | (in[1] << 8)); }
std::uint32_t Get32(const unsigned char* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

}  // namespace

WaveFormat MakeCommonFormat(std::uint32_t sampleRate) {
    WaveFormat format;
    format.wFormatTag = kWaveFormatPcm;
    format.nChannels = 1;
    format.nSamplesPerSec = sampleRate;
    format.wBitsPerSample = 8;
    format.nAvgBytesPerSec = format.wBitsPerSample / 8 * sampleRate;
    format.nBlockAlign = static_cast<std::uint16_t>(format.wBitsPerSample / 8 * format.nChannels);
    format.cbSize = 0;
    return format;
}

void StoreWaveFormat(const WaveFormat& format, unsigned char* out) {
    Put16(out + 0, format.wFormatTag);
    Put16(out + 2, format.nChannels);
    Put32(out + 4, format.nSamplesPerSec);
    Put32(out + 8, format.nAvgBytesPerSec);
    Put16(out + 12, format.nBlockAlign);
    Put16(out + 14, format.wBitsPerSample);
    Put16(out + 16, format.cbSize);
}

WaveFormat LoadWaveFormat(const unsigned char* bytes, std::size_t size) {
    unsigned char full[kWaveFormatBytes] = {};
    std::memcpy(full, bytes, size < kWaveFormatBytes ? size : kWaveFormatBytes);
    WaveFormat format;
    format.wFormatTag = Get16(full + 0);
    format.nChannels = Get16(full + 2);
    format.nSamplesPerSec = Get32(full + 4);
    format.nAvgBytesPerSec = Get32(full + 8);
    format.nBlockAlign = Get16(full + 12);
    format.wBitsPerSample = Get16(full + 14);
    format.cbSize = Get16(full + 16);
    return format;
}

WaveHeader* NewBlock(std::size_t bytes) {
    return WrapBlock(new char[bytes](), static_cast<std::uint32_t>(bytes));
}

WaveHeader* WrapBlock(char* data, std::uint32_t length) {
    auto* header = new WaveHeader;
    header->lpData = data;
    header->dwBufferLength = length;
    return header;
}

void ReleaseBlock(WaveHeader* block) {
    if (block == nullptr) return;
    delete[] block->lpData;
    delete block;
}

std::string MultimediaErrorText(int code) {
    switch (code) {
        case kWaveOk:
            return "The command was carried out.";
        case kWaveErrGeneric:
            return "Undefined external error.";
        case kWaveErrInvalidHandle:
            return "The device is not open.";
        case kWaveErrNoDriver:
            return "No audio driver is available.";
        case kWaveErrNoMemory:
            return "Out of memory.";
        case kWaveErrInvalidParam:
            return "An invalid parameter was passed.";
        case kWaveErrBadFormat:
            return "The wave format is not supported by the device.";
        case kWaveErrStillPlaying:
            return "Buffers are still queued on the device.";
        case kWaveErrUnprepared:
            return "The buffer has not been prepared.";
        default:
            return {};
    }
}

int MarkPrepared(WaveHeader* header, bool prepare) {
    if (header == nullptr) return kWaveErrInvalidParam;
    if (!prepare && (header->dwFlags & kHeaderInQueue) != 0) return kWaveErrStillPlaying;
    header->dwFlags = prepare ? (header->dwFlags | kHeaderPrepared) : (header->dwFlags & ~kHeaderPrepared);
    return kWaveOk;
}

namespace {

// The few PortAudio entry points we use, resolved once.
struct PortAudioLibrary {
    decltype(&Pa_Initialize) initialize = nullptr;
    decltype(&Pa_GetErrorText) errorText = nullptr;
    decltype(&Pa_OpenDefaultStream) openDefaultStream = nullptr;
    decltype(&Pa_StartStream) startStream = nullptr;
    decltype(&Pa_StopStream) stopStream = nullptr;
    decltype(&Pa_AbortStream) abortStream = nullptr;
    decltype(&Pa_CloseStream) closeStream = nullptr;
    decltype(&Pa_ReadStream) readStream = nullptr;
    decltype(&Pa_WriteStream) writeStream = nullptr;
    int initError = kWaveErrNoDriver;  // 0 once usable
    std::string loadError;
};

#ifdef _WIN32
using LibraryHandle = HMODULE;
// The names PortAudio's DLL goes by: its own build's, then the MinGW build's.
constexpr const wchar_t* kLibraryNames[] = {L"portaudio.dll", L"portaudio_x64.dll", L"libportaudio-2.dll"};
constexpr const char* kLibraryName = "portaudio.dll";

// Only from the program's folder and the system's: never the current folder, where a capture is saved.
LibraryHandle LoadAudioLibrary(std::string& why) {
    DWORD error = 0;
    for (const wchar_t* name : kLibraryNames) {
        HMODULE handle = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (handle == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
            handle = LoadLibraryW(name);  // a system without the search flags (Windows 7 unpatched)
        }
        if (handle != nullptr) return handle;
        if (error == 0) error = GetLastError();
    }
    why = std::string(kLibraryName) + " cannot be loaded (Windows error " + std::to_string(error) + ")";
    return nullptr;
}

void* Symbol(LibraryHandle handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
}
#else
using LibraryHandle = void*;
constexpr const char* kLibraryName = "libportaudio.so.2";

LibraryHandle LoadAudioLibrary(std::string& why) {
    void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = dlerror();
        why = error != nullptr ? error : std::string(kLibraryName) + " not found";
    }
    return handle;
}

void* Symbol(LibraryHandle handle, const char* name) { return dlsym(handle, name); }
#endif

template <class F>
bool Resolve(LibraryHandle handle, const char* name, F& out) {
    out = reinterpret_cast<F>(Symbol(handle, name));
    return out != nullptr;
}

PortAudioLibrary& Library() {
    static PortAudioLibrary library;
    static std::once_flag once;
    std::call_once(once, [] {
        // Loaded here, not linked, so a program that never opens a device never maps it, and one
        // without the library still runs.
        const LibraryHandle handle = LoadAudioLibrary(library.loadError);
        if (handle == nullptr) return;
        const bool resolved = Resolve(handle, "Pa_Initialize", library.initialize) &&
                              Resolve(handle, "Pa_GetErrorText", library.errorText) &&
                              Resolve(handle, "Pa_OpenDefaultStream", library.openDefaultStream) &&
                              Resolve(handle, "Pa_StartStream", library.startStream) &&
                              Resolve(handle, "Pa_StopStream", library.stopStream) &&
                              Resolve(handle, "Pa_AbortStream", library.abortStream) &&
                              Resolve(handle, "Pa_CloseStream", library.closeStream) &&
                              Resolve(handle, "Pa_ReadStream", library.readStream) &&
                              Resolve(handle, "Pa_WriteStream", library.writeStream);
        if (!resolved) {
            library.loadError = std::string(kLibraryName) + " lacks an entry point";
            return;
        }
        const PaError error = library.initialize();
        library.initError = error == paNoError ? kWaveOk : error;
    });
    return library;
}

int SampleFormatOf(const WaveFormat& format, PaSampleFormat& out) {
    if (format.wFormatTag != kWaveFormatPcm || format.nChannels == 0 || format.nBlockAlign == 0 ||
        format.nSamplesPerSec == 0) {
        return kWaveErrBadFormat;
    }
    if (format.wBitsPerSample == 8) {
        out = paUInt8;
    } else if (format.wBitsPerSample == 16) {
        out = paInt16;
    } else {
        return kWaveErrBadFormat;
    }
    return kWaveOk;
}

// Both directions use PortAudio's blocking calls on a device thread of their own, one buffer
// at a time, and hand each finished buffer to the callback from there.
class PortAudioDevice {
public:
    PortAudioDevice(PortAudioLibrary& library, PaStream* stream, const WaveFormat& format,
                    WaveCallback callback, bool input)
        : library_(library),
          stream_(stream),
          format_(format),
          callback_(std::move(callback)),
          input_(input) {}

    ~PortAudioDevice() {
        StopThread();
        for (WaveHeader* header : queue_) ReleaseBlock(header);
        if (stream_ != nullptr) library_.closeStream(stream_);
    }

    int Queue(WaveHeader* header) {
        if (header == nullptr) return kWaveErrInvalidParam;
        if ((header->dwFlags & kHeaderPrepared) == 0) return kWaveErrUnprepared;
        std::lock_guard lock(mutex_);
        if (stream_ == nullptr) return kWaveErrInvalidHandle;
        header->dwFlags = (header->dwFlags | kHeaderInQueue) & ~kHeaderDone;
        header->dwBytesRecorded = 0;
        queue_.push_back(header);
        changed_.notify_all();
        return kWaveOk;
    }

    int StartThread() {
        std::lock_guard lock(mutex_);
        if (stream_ == nullptr) return kWaveErrInvalidHandle;
        if (running_) return kWaveOk;
        const PaError error = library_.startStream(stream_);
        if (error != paNoError) return error;
        running_ = true;
        thread_ = std::thread([this] { Loop(); });
        return kWaveOk;
    }

    int StopThread(bool abort = false) {
        bool wasRunning;
        {
            std::lock_guard lock(mutex_);
            wasRunning = running_;
            running_ = false;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        if (wasRunning && stream_ != nullptr) {
            const PaError error = abort ? library_.abortStream(stream_) : library_.stopStream(stream_);
            if (error != paNoError) return error;
        }
        return kWaveOk;
    }

    // Hands every queued buffer back, marked done.
    void ReturnQueued() {
        std::deque<WaveHeader*> left;
        {
            std::lock_guard lock(mutex_);
            left.swap(queue_);
        }
        for (WaveHeader* header : left) Finish(header, 0);
    }

    int CloseStream() {
        {
            std::lock_guard lock(mutex_);
            if (stream_ == nullptr) return kWaveErrInvalidHandle;
            if (!queue_.empty()) return kWaveErrStillPlaying;
        }
        StopThread();
        const PaError error = library_.closeStream(stream_);
        std::lock_guard lock(mutex_);
        stream_ = nullptr;
        return error == paNoError ? kWaveOk : error;
    }

    void Notify(unsigned message) {
        if (callback_) callback_(message, nullptr);
    }

private:
    void Finish(WaveHeader* header, std::uint32_t bytes) {
        header->dwFlags = (header->dwFlags & ~kHeaderInQueue) | kHeaderDone;
        header->dwBytesRecorded = bytes;
        if (callback_) callback_(input_ ? kWimData : kWomDone, header);
    }

    void Loop() {
        const unsigned long frameBytes = format_.nBlockAlign;
        for (;;) {
            WaveHeader* header;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || !running_; });
                if (!running_) return;
                header = queue_.front();
                queue_.pop_front();
            }
            const unsigned long frames = header->dwBufferLength / frameBytes;
            const PaError error = input_ ? library_.readStream(stream_, header->lpData, frames)
                                         : library_.writeStream(stream_, header->lpData, frames);
            const bool usable =
                error == paNoError || error == paInputOverflowed || error == paOutputUnderflowed;
            Finish(header, usable ? static_cast<std::uint32_t>(frames * frameBytes) : 0);
            if (!usable) {
                OSTRAVEL_TRACE(std::string("audio device: ") + library_.errorText(error) + "\n");
                std::lock_guard lock(mutex_);
                running_ = false;
                return;
            }
        }
    }

    PortAudioLibrary& library_;
    PaStream* stream_;
    WaveFormat format_;
    WaveCallback callback_;
    bool input_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WaveHeader*> queue_;
    bool running_ = false;
    std::thread thread_;
};

class PortAudioIn final : public WaveInDevice {
public:
    explicit PortAudioIn(std::unique_ptr<PortAudioDevice> device) : device_(std::move(device)) {}
    int Prepare(WaveHeader* header) override { return MarkPrepared(header, true); }
    int Unprepare(WaveHeader* header) override { return MarkPrepared(header, false); }
    int AddBuffer(WaveHeader* header) override { return device_->Queue(header); }
    int Start() override { return device_->StartThread(); }
    int Stop() override { return device_->StopThread(); }
    int Reset() override {
        const int result = device_->StopThread(true);
        device_->ReturnQueued();
        return result;
    }
    int Close() override {
        const int result = device_->CloseStream();
        if (result == kWaveOk) device_->Notify(kWimClose);
        return result;
    }

private:
    std::unique_ptr<PortAudioDevice> device_;
};

class PortAudioOut final : public WaveOutDevice {
public:
    explicit PortAudioOut(std::unique_ptr<PortAudioDevice> device) : device_(std::move(device)) {}
    int Prepare(WaveHeader* header) override { return MarkPrepared(header, true); }
    int Unprepare(WaveHeader* header) override { return MarkPrepared(header, false); }
    int Write(WaveHeader* header) override { return device_->Queue(header); }
    int Reset() override {
        const int result = device_->StopThread(true);
        device_->ReturnQueued();
        // Output stays usable after a reset, as an open device should.
        const int restarted = device_->StartThread();
        return result != kWaveOk ? result : restarted;
    }
    int Close() override {
        const int result = device_->CloseStream();
        if (result == kWaveOk) device_->Notify(kWomClose);
        return result;
    }

private:
    std::unique_ptr<PortAudioDevice> device_;
};

class PortAudioSystem final : public WaveSystem {
public:
    int OpenInput(const WaveFormat& format, WaveCallback callback,
                  std::unique_ptr<WaveInDevice>& device) override {
        std::unique_ptr<PortAudioDevice> opened;
        const int result = Open(format, std::move(callback), true, opened);
        if (result != kWaveOk) return result;
        opened->Notify(kWimOpen);
        device = std::make_unique<PortAudioIn>(std::move(opened));
        return kWaveOk;
    }

    int OpenOutput(const WaveFormat& format, WaveCallback callback,
                   std::unique_ptr<WaveOutDevice>& device) override {
        std::unique_ptr<PortAudioDevice> opened;
        int result = Open(format, std::move(callback), false, opened);
        if (result != kWaveOk) return result;
        // Output plays as soon as a buffer is written.
        result = opened->StartThread();
        if (result != kWaveOk) return result;
        opened->Notify(kWomOpen);
        device = std::make_unique<PortAudioOut>(std::move(opened));
        return kWaveOk;
    }

    std::string ErrorText(int code) override {
        if (code < 0) {
            PortAudioLibrary& library = Library();
            if (library.errorText != nullptr) return library.errorText(code);
            return "Unknown audio library error.";
        }
        if (code == kWaveErrNoDriver) {
            PortAudioLibrary& library = Library();
            if (!library.loadError.empty())
                return "The audio library could not be loaded: " + library.loadError;
        }
        return MultimediaErrorText(code);
    }

private:
    static int Open(const WaveFormat& format, WaveCallback callback, bool input,
                    std::unique_ptr<PortAudioDevice>& out) {
        PaSampleFormat sampleFormat = 0;
        if (const int result = SampleFormatOf(format, sampleFormat); result != kWaveOk) {
            return result;
        }
        PortAudioLibrary& library = Library();
        if (library.initError != kWaveOk) return library.initError;
        PaStream* stream = nullptr;
        const int channels = format.nChannels;
        const PaError error = library.openDefaultStream(
            &stream, input ? channels : 0, input ? 0 : channels, sampleFormat,
            static_cast<double>(format.nSamplesPerSec), paFramesPerBufferUnspecified, nullptr, nullptr);
        if (error != paNoError) return error;
        out = std::make_unique<PortAudioDevice>(library, stream, format, std::move(callback), input);
        return kWaveOk;
    }
};

}  // namespace

namespace {

std::mutex& MessageBoxMutex() {
    static std::mutex mutex;
    return mutex;
}
std::function<void(const std::string&)>& MessageBoxHandler() {
    static std::function<void(const std::string&)> handler;
    return handler;
}

}  // namespace

void SetSoundMessageBox(std::function<void(const std::string&)> handler) {
    std::lock_guard lock(MessageBoxMutex());
    MessageBoxHandler() = std::move(handler);
}

WaveSystem& SoundServices::Waves() const { return waves != nullptr ? *waves : DefaultWaveSystem(); }

void SoundServices::ShowMessage(const std::string& text) const {
    if (messageBox) {
        messageBox(text);
        return;
    }
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard lock(MessageBoxMutex());
        handler = MessageBoxHandler();
    }
    if (handler) {
        handler(text);
    } else {
        OSTRAVEL_TRACE("message box: " + text + "\n");
    }
}

WaveSystem& DefaultWaveSystem() {
    static PortAudioSystem system;
    return system;
}

}  // namespace ostravel
