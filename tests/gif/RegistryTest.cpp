// The picture class in the picture-format registry: registered by the
// explicit call at start-up, found by extension and by clipboard name,
// loading through TPicture, gone after unregistration.
#include <gtest/gtest.h>

#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFRegistration.h"
#include "PictureFormats.h"
#include "PictureTestSupport.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterGIFImage(24); }
  void TearDown() override { UnregisterGIFImage(); }
};

TEST_F(RegistryTest, GIFIsFoundByExtensionInAnyCase) {
  for (const char* extension : {"gif", "GIF", ".gif", ".Gif"}) {
    std::optional<TPictureFileFormat> format = TPictureFormats::FindFileFormat(extension);
    ASSERT_TRUE(format) << extension;
    EXPECT_EQ(format->Description, "GIF Image");
    EXPECT_EQ(format->Factory()->ClassName(), "TGIFImage");
  }
  EXPECT_FALSE(TPictureFormats::FindFileFormat("png"));
}

TEST_F(RegistryTest, ClipboardFormatIsFoundByNameWithItsMimeType) {
  std::optional<TClipboardFormat> format = TPictureFormats::FindClipboardFormat("GIF Image");
  ASSERT_TRUE(format);
  EXPECT_EQ(format->MimeType, "image/gif");
  EXPECT_EQ(format->Number, GIFClipboardFormat);
  EXPECT_GE(format->Number, 0xC000);
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(GIFClipboardFormat));
  // The same name always answers the same number.
  EXPECT_EQ(TPictureFormats::RegisterClipboardFormat("GIF Image", "image/gif"), GIFClipboardFormat);
}

TEST_F(RegistryTest, PictureLoadsAndSavesGIFFilesThroughTheRegistry) {
  TTempFolder folder;
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 255, 255)});
  AddFrame(image, 0, 0, 2, 1, {0, 1});
  image.SaveToFile(folder.Path("a.GIF"));

  TPicture picture;
  picture.LoadFromFile(folder.Path("a.GIF"));
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Graphic()->ClassName(), "TGIFImage");
  EXPECT_EQ(picture.Graphic()->Width(), 2);
  picture.SaveToFile(folder.Path("b.gif"));
  EXPECT_EQ(ReadFileBytes(folder.Path("b.gif")), ReadFileBytes(folder.Path("a.GIF")));

  TClipboardData data;
  image.SaveToClipboardFormat(data);
  TPicture pasted;
  pasted.LoadFromClipboardFormat(GIFClipboardFormat, data);
  EXPECT_EQ(pasted.Graphic()->Width(), 2);

  // A frame takes a picture's graphic.
  TGIFImage framed;
  framed.Assign(picture);
  EXPECT_EQ(framed.Width(), 2);

  try {
    picture.LoadFromFile(folder.Path("a.xyz"));
    FAIL() << "no error";
  } catch (const EInvalidGraphic& AError) {
    EXPECT_STREQ(AError.what(), "Unknown picture file extension (.xyz)");
  }
}

TEST_F(RegistryTest, UnregisteringTakesTheClassOut) {
  const int number = GIFClipboardFormat;
  UnregisterGIFImage();
  EXPECT_FALSE(TPictureFormats::FindFileFormat("gif"));
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(number));
  // The clipboard format itself stays registered, as clipboard formats do.
  EXPECT_TRUE(TPictureFormats::FindClipboardFormat("GIF Image"));
  RegisterGIFImage(24);
  EXPECT_EQ(GIFClipboardFormat, number);
  EXPECT_TRUE(TPictureFormats::FindFileFormat("gif"));
}

TEST(RegistrationTest, PaletteDisplayIsAScreenOfAtMost8Bits) {
  struct TCase {
    int Bits, Planes;
    bool Palette;
  };
  for (TCase test : {TCase{8, 1, true}, TCase{4, 2, true}, TCase{3, 3, false}, TCase{16, 1, false},
                     TCase{24, 1, false}}) {
    RegisterGIFImage(test.Bits, test.Planes);
    EXPECT_EQ(PaletteDisplay, test.Palette) << test.Bits << " x " << test.Planes;
    UnregisterGIFImage();
  }
  RegisterGIFImage(24);
  TGIFImage image;
  EXPECT_FALSE(image.ShouldDither());
  RegisterGIFImage(8);
  EXPECT_TRUE(image.ShouldDither());
  UnregisterGIFImage();
  PaletteDisplay = false;
}

} // namespace
