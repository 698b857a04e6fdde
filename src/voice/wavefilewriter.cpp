#include "voice/wavefilewriter.h"

#include <cstring>
#include <string>

#include "platform/trace.h"

namespace ostravel {

WaveFileRequest* NewWaveFileRequest(const std::string& fileName, const WaveFormat& format) {
    auto* request = new WaveFileRequest{};
    std::memcpy(request->fileName, fileName.data(),
                fileName.size() < sizeof request->fileName ? fileName.size() : sizeof request->fileName - 1);
    StoreWaveFormat(format, request->format);
    return request;
}

WaveFileWriter::WaveFileWriter() = default;

WaveFileWriter::~WaveFileWriter() {
    EndThread();
    CloseFile();
}

void WaveFileWriter::OnMessage(const ThreadMessage& message) {
    switch (message.message) {
        case WM_WAVEFILE_OPEN:
            CreateFile(reinterpret_cast<WaveFileRequest*>(message.lParam));
            break;
        case WM_WAVEFILE_BLOCK:
            WriteBlock(reinterpret_cast<WaveHeader*>(message.lParam));
            break;
        case WM_WAVEFILE_CLOSE:
            CloseFile();
            break;
        case WM_WAVEFILE_QUIT:
            CloseFile();
            PostQuitMessage(0);
            break;
        default:
            break;
    }
}

void WaveFileWriter::DiscardMessage(const ThreadMessage& message) {
    if (message.lParam == 0) return;
    if (message.message == WM_WAVEFILE_OPEN) {
        delete reinterpret_cast<WaveFileRequest*>(message.lParam);
    } else if (message.message == WM_WAVEFILE_BLOCK) {
        ReleaseBlock(reinterpret_cast<WaveHeader*>(message.lParam));
    }
}

void WaveFileWriter::CreateFile(WaveFileRequest* request) {
    if (request == nullptr) return;
    const std::unique_ptr<WaveFileRequest> owned(request);
    // A second open finishes the first file rather than leaving it without its sizes.
    CloseFile();

    const std::string name(request->fileName, strnlen(request->fileName, sizeof request->fileName - 1));
    file_ = RiffFile::Create(name);
    if (!file_) return;

    // The extra bytes written can never exceed what the request holds.
    std::size_t extra =
        static_cast<std::size_t>(request->format[16]) | (static_cast<std::size_t>(request->format[17]) << 8);
    if (extra > sizeof request->extraFormat) extra = sizeof request->extraFormat;
    const std::size_t formatBytes = kWaveFormatBytes + extra;
    unsigned char format[kWaveFormatBytes + sizeof request->extraFormat];
    std::memcpy(format, request->format, kWaveFormatBytes);
    std::memcpy(format + kWaveFormatBytes, request->extraFormat, extra);
    if (extra != static_cast<std::size_t>(request->format[16] | (request->format[17] << 8))) {
        format[16] = static_cast<unsigned char>(extra & 0xFF);
        format[17] = static_cast<unsigned char>(extra >> 8);
    }

    riffChunk_ = {};
    riffChunk_.fccType = kFourCCWave;
    subChunk_ = {};
    subChunk_.ckid = kFourCCFmt;
    subChunk_.cksize = static_cast<std::uint32_t>(formatBytes);
    bool made = file_->CreateChunk(riffChunk_, true) && file_->CreateChunk(subChunk_, false) &&
                file_->Write(reinterpret_cast<const char*>(format), formatBytes) && file_->Ascend(subChunk_);
    if (made) {
        subChunk_ = {};
        subChunk_.ckid = kFourCCData;
        made = file_->CreateChunk(subChunk_, false);
    }
    if (!made) {
        OSTRAVEL_TRACE("cannot start wave file " + name + "\n");
        file_.reset();
    }
}

void WaveFileWriter::WriteBlock(WaveHeader* block) {
    if (block == nullptr) return;
    if (file_ && block->lpData != nullptr && block->dwBufferLength > 0) {
        if (!file_->Write(block->lpData, block->dwBufferLength)) {
            OSTRAVEL_TRACE("error writing wave file\n");
        }
    }
    ReleaseBlock(block);
}

void WaveFileWriter::CloseFile() {
    if (!file_) return;
    // Ascending out of both chunks writes their real sizes.
    file_->Ascend(subChunk_);
    file_->Ascend(riffChunk_);
    file_->Close();
    file_.reset();
}

}  // namespace ostravel
