// The recorder reads GIF pictures through its own codec: its start-up puts
// the codec into the picture-format registry and makes Qt's image reader
// take the codec's plugin for "gif". A file only this codec reads (a
// lower-case signature behind a 4-byte prefix, which Qt's own reader
// refuses) proves which reader answered.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "GIFImage.h"
#include "PictureFormats.h"

namespace {

// A 3 x 2 picture: red, green, blue over white, in a form only the codec reads.
std::string OnlyTheCodecReadsIt(const std::filesystem::path& AFolder) {
  TGIFImage picture;
  for (TColor colour : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu})
    picture.GetGlobalColorMap().Add(colour);
  auto frame = std::make_unique<TGIFSubImage>(&picture);
  frame->SetBounds(0, 0, 3, 2);
  frame->PixelData() = {0, 1, 2, 3, 3, 3};
  picture.Add(std::move(frame));
  TGIFMemoryStream stream;
  picture.SaveToStream(stream);
  std::vector<uint8_t> bytes = stream.Data();
  bytes[0] = 'g';
  bytes[1] = 'i';
  bytes[2] = 'f';
  const std::string file = (AFolder / "picture.gif").string();
  std::ofstream out(file, std::ios::binary);
  out.write("\x10\0\0\0", 4);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return file;
}

TEST(RecorderPicturesTest, GIFsAreReadThroughTheCodec) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vexmora-pictures-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string file = OnlyTheCodecReadsIt(folder);

  const std::optional<TPictureFileFormat> format = TPictureFormats::FindFileFormat("gif");
  ASSERT_TRUE(format) << "the codec is not in the picture-format registry";
  EXPECT_EQ(format->Description, "GIF Image");
  TPicture picture;
  picture.LoadFromFile(file);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TGIFImage");
  EXPECT_EQ(picture.Graphic()->Width(), 3);

  QImageReader reader(QString::fromStdString(file));
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << "Qt's reader refused it: " << reader.errorString().toStdString();
  EXPECT_EQ(image.size(), QSize(3, 2));
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 0), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(1, 1), qRgb(255, 255, 255));
  std::filesystem::remove_all(folder);
}

} // namespace
