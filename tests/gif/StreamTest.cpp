// The codec's streams and byte helpers: memory and file streams, exact
// reads, and items saved to and loaded from files.
#include <gtest/gtest.h>

#include "Exception.h"
#include "ExternalProgram.h"
#include "GIFException.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"
#include "GIFTestImage.h"
#include "GIFTextExtensions.h"

namespace {

using TBytes = std::vector<uint8_t>;

TEST(StreamTest, MemoryStreamReadsWritesAndSeeksPastTheEnd) {
  TGIFMemoryStream stream;
  stream.Write("abc", 3);
  EXPECT_EQ(stream.Position(), 3);
  stream.SetPosition(5);
  stream.Write("z", 1);
  EXPECT_EQ(stream.Data(), (TBytes{'a', 'b', 'c', 0, 0, 'z'}));

  stream.SetPosition(1);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, sizeof(buffer)), 5u);
  EXPECT_EQ(ReadByte(stream), kEndOfStream);
  stream.Seek(10, TSeekOrigin::soEnd);
  EXPECT_EQ(stream.Read(buffer, 1), 0u);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), Exception);
}

TEST(StreamTest, ReadCheckRaisesOnAShortRead) {
  TGIFMemoryStream stream(TBytes{1, 2, 3});
  uint8_t buffer[4];
  try {
    ReadCheck(stream, buffer, 4);
    FAIL() << "no exception";
  } catch (const GIFException& error) {
    EXPECT_STREQ(error.what(), kMsgPrematureEnd);
  }
}

TEST(StreamTest, LittleEndianWords) {
  uint8_t bytes[2];
  PutWord(bytes, 0xABCD);
  EXPECT_EQ(bytes[0], 0xCD);
  EXPECT_EQ(bytes[1], 0xAB);
  EXPECT_EQ(GetWord(bytes), 0xABCD);
}

TEST(StreamTest, SkipSubBlocksStopsBehindTheTerminatorOrAtTheEnd) {
  TGIFMemoryStream stream(TBytes{2, 9, 9, 1, 9, 0, 7});
  SkipSubBlocks(stream);
  EXPECT_EQ(stream.Position(), 6);
  TGIFMemoryStream cut(TBytes{2, 9, 9, 200, 1});
  SkipSubBlocks(cut);
  EXPECT_EQ(ReadByte(cut), kEndOfStream);
}

TEST(StreamTest, ItemsGoToFilesAndComeBack) {
  TTempFolder folder;
  std::string name = folder.Path("comment.bin");
  TGIFTestImage image;
  TGIFFrameBase& frame = image.AddFrame(1, 1, {0});
  TGIFCommentExtension comment(&frame);
  comment.Text() = {"first", "second"};
  comment.SaveToFile(name);
  EXPECT_EQ(ReadFileBytes(name).size(), 2 + 6 + 7 + 1u);

  TGIFCommentExtension reread(&frame);
  reread.LoadFromFile(name);
  EXPECT_EQ(reread.Text(), comment.Text());
  EXPECT_THROW(reread.LoadFromFile(folder.Path("missing.bin")), Exception);
}

TEST(StreamTest, FileStreamSeeksAndKnowsItsSize) {
  TTempFolder folder;
  TGIFFileStream file(folder.Path("data.bin"), TFileMode::fmCreate);
  file.Write("0123456789", 10);
  EXPECT_EQ(file.Size(), 10);
  EXPECT_EQ(file.Position(), 10);
  file.Seek(-4, TSeekOrigin::soEnd);
  EXPECT_EQ(ReadByte(file), '6');
  EXPECT_EQ(file.Position(), 7);
}

} // namespace
