// RIFF files, as much as the wave reader and writer need: open, descend into a form or a chunk,
// ascend (writing the sizes when creating), create a chunk, read and write. Every chunk found must
// lie inside its parent and inside the file, so a reader never goes past what a chunk declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace ostravel {

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}
inline constexpr std::uint32_t kFourCCRiff = MakeFourCC('R', 'I', 'F', 'F');
inline constexpr std::uint32_t kFourCCList = MakeFourCC('L', 'I', 'S', 'T');
inline constexpr std::uint32_t kFourCCWave = MakeFourCC('W', 'A', 'V', 'E');
inline constexpr std::uint32_t kFourCCFmt = MakeFourCC('f', 'm', 't', ' ');
inline constexpr std::uint32_t kFourCCData = MakeFourCC('d', 'a', 't', 'a');

struct ChunkInfo {
    std::uint32_t ckid = 0;
    std::uint32_t cksize = 0;        // bytes of data (for RIFF and LIST, the form type included)
    std::uint32_t fccType = 0;       // form type of RIFF and LIST chunks
    std::uint64_t dwDataOffset = 0;  // file offset of the data (of the form type for RIFF/LIST)
    bool dirty = false;              // created here: its size is written on ascending
};

enum class DescendMode {
    Any,        // the next chunk, whatever it is
    FindChunk,  // the next chunk whose id is ckid
    FindRiff,   // the next RIFF chunk whose form type is fccType
};

class RiffFile {
public:
    static std::unique_ptr<RiffFile> OpenForReading(const std::string& path);
    // Creates the file, emptying any file of that name.
    static std::unique_ptr<RiffFile> Create(const std::string& path);

    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Searches from the current position to the end of `parent` (or of the file). On success the
    // file is positioned at the chunk's data (after the form type for RIFF and LIST). A chunk
    // that claims more bytes than its parent or the file holds is not found. On failure the
    // position is where it was.
    bool Descend(ChunkInfo& chunk, const ChunkInfo* parent, DescendMode mode);
    // Reading: moves past the chunk (and its pad byte). Creating: writes the chunk's real size if
    // it changed, pads it to an even length and moves past it.
    bool Ascend(ChunkInfo& chunk);
    // Writes a chunk header (with the form type when `riff`) at the current position; its size
    // is fixed when ascending.
    bool CreateChunk(ChunkInfo& chunk, bool riff);

    // Bytes read (0 at the end of the file), or -1 on an error.
    long long Read(char* buffer, std::size_t size);
    // False on an error, or when the file would outgrow what a RIFF size can state.
    bool Write(const char* data, std::size_t size);
    bool Close();

    std::uint64_t Position() const { return position_; }
    std::uint64_t FileSize() const { return size_; }

private:
    RiffFile(std::FILE* file, bool writing, std::uint64_t size);
    bool Seek(std::uint64_t offset);
    bool ReadExact(unsigned char* buffer, std::size_t size);

    std::FILE* file_;
    bool writing_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
};

}  // namespace ostravel
