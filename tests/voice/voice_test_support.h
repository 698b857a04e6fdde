// Shared by the voice tests: a temporary directory, whole-file reads and a WAVE file builder.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/test_platform.h"
#include "voice/wavedevice.h"

namespace ostravel::testing {

class TempDir {
public:
    TempDir() : path_(MakeTempDir("ostravel-voice")) {}
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    bool Empty() const { return std::filesystem::is_empty(path_); }

private:
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Le32(std::uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}
inline std::string Le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}
inline std::uint32_t Get32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

inline std::string Chunk(const std::string& id, const std::string& data) {
    std::string out = id + Le32(static_cast<std::uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0) out += '\0';
    return out;
}
inline std::string FormatBytes(const WaveFormat& format) {
    std::string out(kWaveFormatBytes, '\0');
    StoreWaveFormat(format, reinterpret_cast<unsigned char*>(out.data()));
    return out;
}
// RIFF WAVE around the given chunks, with the true size.
inline std::string Wave(const std::string& chunks) {
    return "RIFF" + Le32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}
inline std::string Samples(std::size_t count, unsigned seed) {
    std::string out(count, '\0');
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char>((i * 13 + seed) & 0xFF);
    return out;
}

// A message-box seam that records every text.
class MessageBoxes {
public:
    std::function<void(const std::string&)> Seam() {
        return [this](const std::string& text) {
            std::lock_guard lock(mutex_);
            texts_.push_back(text);
        };
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
};

constexpr std::chrono::seconds kThreadWait{10};

}  // namespace ostravel::testing
