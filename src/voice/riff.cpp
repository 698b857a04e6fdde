#include "voice/riff.h"

#include <limits>

namespace ostravel {

namespace {

constexpr std::uint64_t kMaxRiffBytes = std::numeric_limits<std::uint32_t>::max();

std::uint32_t Get32(const unsigned char* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}
void Put32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t TellFile(std::FILE* file) {
#ifdef _WIN32
    const long long at = _ftelli64(file);
#else
    const off_t at = ftello(file);
#endif
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

}  // namespace

RiffFile::RiffFile(std::FILE* file, bool writing, std::uint64_t size)
    : file_(file), writing_(writing), size_(size) {}

RiffFile::~RiffFile() { Close(); }

std::unique_ptr<RiffFile> RiffFile::OpenForReading(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return nullptr;
    if (!SeekFile(file, 0) || std::fseek(file, 0, SEEK_END) != 0) {
        std::fclose(file);
        return nullptr;
    }
    const std::uint64_t size = TellFile(file);
    if (!SeekFile(file, 0)) {
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<RiffFile>(new RiffFile(file, false, size));
}

std::unique_ptr<RiffFile> RiffFile::Create(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return nullptr;
    return std::unique_ptr<RiffFile>(new RiffFile(file, true, 0));
}

bool RiffFile::Seek(std::uint64_t offset) {
    if (!SeekFile(file_, offset)) return false;
    position_ = offset;
    return true;
}

bool RiffFile::ReadExact(unsigned char* buffer, std::size_t size) {
    const std::size_t got = std::fread(buffer, 1, size, file_);
    position_ += got;
    return got == size;
}

bool RiffFile::Descend(ChunkInfo& chunk, const ChunkInfo* parent, DescendMode mode) {
    if (file_ == nullptr) return false;
    const std::uint64_t start = position_;
    std::uint64_t end = size_;
    if (parent != nullptr) {
        const std::uint64_t parentEnd = parent->dwDataOffset + parent->cksize;
        if (parentEnd < end) end = parentEnd;
    }
    std::uint64_t at = start;
    // Every step moves at least 8 bytes on, so the search ends.
    while (at + 8 <= end) {
        unsigned char header[8];
        if (!Seek(at) || !ReadExact(header, sizeof header)) break;
        const std::uint32_t id = Get32(header);
        const std::uint32_t size = Get32(header + 4);
        const std::uint64_t dataOffset = at + 8;
        if (dataOffset + size > end) break;  // claims more than there is: hostile or cut short
        const bool form = id == kFourCCRiff || id == kFourCCList;
        std::uint32_t type = 0;
        if (form) {
            unsigned char typeBytes[4];
            if (size < 4 || !ReadExact(typeBytes, sizeof typeBytes)) break;
            type = Get32(typeBytes);
        }
        const bool match = mode == DescendMode::Any || (mode == DescendMode::FindChunk && id == chunk.ckid) ||
                           (mode == DescendMode::FindRiff && id == kFourCCRiff && type == chunk.fccType);
        if (match) {
            chunk.ckid = id;
            chunk.cksize = size;
            chunk.fccType = form ? type : 0;
            chunk.dwDataOffset = dataOffset;
            chunk.dirty = false;
            return Seek(dataOffset + (form ? 4 : 0));
        }
        at = dataOffset + size + (size & 1);
    }
    Seek(start);
    return false;
}

bool RiffFile::Ascend(ChunkInfo& chunk) {
    if (file_ == nullptr) return false;
    if (!writing_) {
        const std::uint64_t end = chunk.dwDataOffset + chunk.cksize;
        const std::uint64_t padded = end + (chunk.cksize & 1);
        return Seek(padded <= size_ ? padded : end);
    }
    if (position_ < chunk.dwDataOffset) return false;
    const std::uint64_t length = position_ - chunk.dwDataOffset;
    if (length > kMaxRiffBytes) return false;
    const std::uint64_t end = position_;
    if (chunk.dirty || length != chunk.cksize) {
        unsigned char sizeBytes[4];
        Put32(sizeBytes, static_cast<std::uint32_t>(length));
        if (!Seek(chunk.dwDataOffset - 4) || std::fwrite(sizeBytes, 1, 4, file_) != 4) return false;
        chunk.cksize = static_cast<std::uint32_t>(length);
        chunk.dirty = false;
        if (!Seek(end)) return false;
    }
    if ((length & 1) != 0) {
        const char pad = 0;
        if (!Write(&pad, 1)) return false;
    }
    return true;
}

bool RiffFile::CreateChunk(ChunkInfo& chunk, bool riff) {
    if (file_ == nullptr || !writing_) return false;
    unsigned char header[12];
    Put32(header, riff ? kFourCCRiff : chunk.ckid);
    Put32(header + 4, chunk.cksize);
    Put32(header + 8, chunk.fccType);
    const std::uint64_t dataOffset = position_ + 8;
    if (!Write(reinterpret_cast<const char*>(header), riff ? 12 : 8)) return false;
    if (riff) chunk.ckid = kFourCCRiff;
    chunk.dwDataOffset = dataOffset;
    chunk.dirty = true;
    return true;
}

long long RiffFile::Read(char* buffer, std::size_t size) {
    if (file_ == nullptr || writing_) return -1;
    const std::size_t got = std::fread(buffer, 1, size, file_);
    position_ += got;
    if (got < size && std::ferror(file_) != 0) return -1;
    return static_cast<long long>(got);
}

bool RiffFile::Write(const char* data, std::size_t size) {
    if (file_ == nullptr || !writing_) return false;
    if (position_ + size > kMaxRiffBytes) return false;
    const std::size_t put = std::fwrite(data, 1, size, file_);
    position_ += put;
    if (position_ > size_) size_ = position_;
    return put == size;
}

bool RiffFile::Close() {
    if (file_ == nullptr) return true;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
}

}  // namespace ostravel
