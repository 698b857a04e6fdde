#include "voice/riff.h"

#include <gtest/gtest.h>

#include "voice/voice_test_support.h"

namespace ostravel::testing {
namespace {

TEST(Riff, CreatedChunksGetTheirSizesAndPadsWhenAscendingAndReadBack) {
    TempDir dir;
    const std::string path = dir.File("x.riff");
    {
        auto file = RiffFile::Create(path);
        ASSERT_TRUE(file);
        ChunkInfo form;
        form.fccType = MakeFourCC('T', 'E', 'S', 'T');
        ASSERT_TRUE(file->CreateChunk(form, true));
        ChunkInfo odd;
        odd.ckid = MakeFourCC('o', 'd', 'd', ' ');
        ASSERT_TRUE(file->CreateChunk(odd, false));
        ASSERT_TRUE(file->Write("abc", 3));
        ASSERT_TRUE(file->Ascend(odd));
        ChunkInfo even;
        even.ckid = MakeFourCC('e', 'v', 'e', 'n');
        ASSERT_TRUE(file->CreateChunk(even, false));
        ASSERT_TRUE(file->Write("wxyz", 4));
        ASSERT_TRUE(file->Ascend(even));
        ASSERT_TRUE(file->Ascend(form));
        ASSERT_TRUE(file->Close());
    }
    EXPECT_EQ(ReadAll(path), "RIFF" + Le32(4 + 12 + 12) + "TEST" + "odd " + Le32(3) + "abc" + '\0' + "even" +
                                 Le32(4) + "wxyz");

    auto file = RiffFile::OpenForReading(path);
    ASSERT_TRUE(file);
    ChunkInfo form;
    form.fccType = MakeFourCC('T', 'E', 'S', 'T');
    ASSERT_TRUE(file->Descend(form, nullptr, DescendMode::FindRiff));
    ChunkInfo chunk;
    chunk.ckid = MakeFourCC('e', 'v', 'e', 'n');
    ASSERT_TRUE(file->Descend(chunk, &form, DescendMode::FindChunk));  // skips the padded one
    char data[4];
    EXPECT_EQ(file->Read(data, 4), 4);
    EXPECT_EQ(std::string(data, 4), "wxyz");
    ASSERT_TRUE(file->Ascend(chunk));
    ChunkInfo next;
    EXPECT_FALSE(file->Descend(next, &form, DescendMode::Any));  // nothing left in the form
    EXPECT_EQ(file->Position(), file->FileSize());
}

TEST(Riff, ADescendThatFailsLeavesThePositionAlone) {
    TempDir dir;
    const std::string path = dir.File("y.riff");
    WriteAll(path, Wave(Chunk("fmt ", std::string(18, 'f'))));
    auto file = RiffFile::OpenForReading(path);
    ASSERT_TRUE(file);
    ChunkInfo form;
    form.fccType = kFourCCWave;
    ASSERT_TRUE(file->Descend(form, nullptr, DescendMode::FindRiff));
    const std::uint64_t at = file->Position();
    ChunkInfo data;
    data.ckid = kFourCCData;
    EXPECT_FALSE(file->Descend(data, &form, DescendMode::FindChunk));
    EXPECT_EQ(file->Position(), at);
}

TEST(Riff, ReadersCannotWriteAndWritersCannotRead) {
    TempDir dir;
    auto writer = RiffFile::Create(dir.File("z"));
    char byte;
    EXPECT_EQ(writer->Read(&byte, 1), -1);
    writer->Close();
    auto reader = RiffFile::OpenForReading(dir.File("z"));
    EXPECT_FALSE(reader->Write("a", 1));
    EXPECT_EQ(reader->Read(&byte, 1), 0);
    EXPECT_FALSE(RiffFile::OpenForReading(dir.File("absent")));
}

}  // namespace
}  // namespace ostravel::testing
