// The picture class: the block loop and its tolerance, failed loads, saving
// (and a failed save that leaves the old file whole), size changes,
// assignment, the palette, the cached bitmap, clipboard data, progress, and
// the defaults every new picture takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFException.h"
#include "GIFPainter.h"
#include "GIFRegistration.h"
#include "PictureTestSupport.h"
#include "TestPictures.h"

namespace {

using TBytes = std::vector<uint8_t>;
using TStrings = std::vector<std::string>;

std::string ErrorOf(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const std::exception& AError) {
    return AError.what();
  }
  return "";
}

// Two frames over a global table: 4 x 3 red and green, 2 x 2 blue at (1, 1).
std::unique_ptr<TGIFImage> TwoFrames() {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 0, 0)});
  TGIFSubImage& first = AddFrame(*image, 0, 0, 4, 3, {0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 1, 1});
  SetTiming(first, 20, dmNoDisposal);
  AddFrame(*image, 1, 1, 2, 2, {2, 2, 2, 3});
  return image;
}

TBytes TwoFrameFile() {
  return SavePicture(*TwoFrames());
}

TBytes Insert(TBytes AFile, size_t AOffset, const TBytes& ABytes) {
  AFile.insert(AFile.begin() + static_cast<std::ptrdiff_t>(AOffset), ABytes.begin(), ABytes.end());
  return AFile;
}

struct TLoopCase {
  const char* Name;
  std::function<TBytes(const TBytes&, const std::vector<size_t>&)> Make;
  int Frames;
  TStrings Warnings;
};

class BlockLoopTest : public ::testing::TestWithParam<TLoopCase> {};

TEST_P(BlockLoopTest, ReadsTheFramesItCanAndWarnsAboutTheRest) {
  const TBytes clean = TwoFrameFile();
  const std::vector<size_t> blocks = BlockOffsets(clean);
  ASSERT_EQ(blocks.size(), 4u) << "graphic control extension, two images, trailer";
  TLoadedPicture loaded = LoadPicture(GetParam().Make(clean, blocks));
  EXPECT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, GetParam().Warnings);
  ASSERT_EQ(static_cast<int>(ImageFrames(*loaded.Image).size()), GetParam().Frames);
  auto reference = TwoFrames();
  for (int i = 0; i < GetParam().Frames; ++i)
    EXPECT_EQ(loaded.Image->Frames(i).PixelData(), reference->Frames(i).PixelData()) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BlockLoopTest,
    ::testing::Values(TLoopCase{"Clean", [](const TBytes& F, const auto&) { return F; }, 2, {}},
                      TLoopCase{"ZerosBeforeAndBetweenBlocks",
                                [](const TBytes& F, const auto& B) {
                                  return Insert(Insert(F, B[2], {0, 0, 0}), B[0], {0, 0});
                                },
                                2,
                                {}},
                      TLoopCase{"EndsAfterTheHeader",
                                [](const TBytes& F, const auto& B) {
                                  return TBytes(F.begin(), F.begin() + B[0]);
                                },
                                0,
                                {}},
                      TLoopCase{"EndsWithoutTrailer",
                                [](const TBytes& F, const auto& B) {
                                  return TBytes(F.begin(), F.begin() + B[3]);
                                },
                                2,
                                {}},
                      TLoopCase{
                          "StrayByteBetweenFrames",
                          [](const TBytes& F, const auto& B) { return Insert(F, B[2], {0x42}); },
                          1,
                          {"Unknown GIF block type", "Invalid Image trailer"}},
                      TLoopCase{"GarbageAfterTrailer",
                                [](const TBytes& F, const auto&) {
                                  return Insert(F, F.size(), {1, 2, 3});
                                },
                                2,
                                {}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(PictureLoadTest, FailedLoadKeepsFramesReadAndRewindsTheStream) {
  TBytes file = TwoFrameFile();
  const std::vector<size_t> blocks = BlockOffsets(file);
  // An extension of a label nobody knows, before the second image.
  file = Insert(file, blocks[2], {'!', 0x99, 1, 0, 0});
  TBytes prefixed = Insert(file, 0, {'x', 'y', 'z'});
  TGIFMemoryStream stream(prefixed);
  stream.SetPosition(3);
  TGIFImage image;
  EXPECT_EQ(ErrorOf([&] { image.LoadFromStream(stream); }), "Unknown extension type");
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_EQ(ImageFrames(image).size(), 1u);

  TGIFMemoryStream notGIF(TBytes{'P', 'N', 'G', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'});
  EXPECT_EQ(ErrorOf([&] { image.LoadFromStream(notGIF); }), "Invalid GIF signature");
  EXPECT_TRUE(image.Empty());
}

TEST(PictureLoadTest, ProgressIsReportedWhileLoading) {
  TBytes file = TwoFrameFile();
  TGIFImage image;
  std::vector<std::pair<TProgressStage, int>> reports;
  TStrings messages;
  image.OnProgress = [&](TGraphic&, TProgressStage AStage, int APercent, bool,
                         const std::string& AMessage) {
    reports.emplace_back(AStage, APercent);
    messages.push_back(AMessage);
  };
  TGIFMemoryStream stream(file);
  image.LoadFromStream(stream);
  ASSERT_GE(reports.size(), 4u);
  EXPECT_EQ(reports.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 100));
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "Loading..."), 4);
}

class PictureFileTest : public ::testing::Test {
protected:
  std::string Path(const std::string& AName) { return FFolder.Path(AName); }
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FFolder.Path("")))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TTempFolder FFolder;
};

TEST_F(PictureFileTest, SavesAndLoadsThroughFiles) {
  auto image = TwoFrames();
  image->SaveToFile(Path("out.gif"));
  EXPECT_EQ(ReadFileBytes(Path("out.gif")), SavePicture(*image));
  TGIFImage reread;
  reread.LoadFromFile(Path("out.gif"));
  ASSERT_EQ(reread.FrameCount(), 2);
  EXPECT_EQ(reread.Frames(1).PixelData(), image->Frames(1).PixelData());
  EXPECT_EQ(FolderEntries(), TStrings{"out.gif"}) << "no temporary file is left behind";
}

struct TFailedSave {
  const char* Name;
  std::function<void(TGIFImage&)> Spoil;
  const char* Error;
};

class FailedSaveTest : public PictureFileTest, public ::testing::WithParamInterface<TFailedSave> {};

TEST_P(FailedSaveTest, LeavesTheOldFileWhole) {
  const TBytes old = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
  WriteFileBytes(Path("picture.gif"), old);
  ::chmod(Path("picture.gif").c_str(), 0640);
  auto image = TwoFrames();
  GetParam().Spoil(*image);
  EXPECT_EQ(ErrorOf([&] { image->SaveToFile(Path("picture.gif")); }), GetParam().Error);
  EXPECT_EQ(ReadFileBytes(Path("picture.gif")), old);
  EXPECT_EQ(FolderEntries(), TStrings{"picture.gif"});

  // A save that works replaces the file and keeps its permissions.
  TwoFrames()->SaveToFile(Path("picture.gif"));
  EXPECT_EQ(ReadFileBytes(Path("picture.gif")), TwoFrameFile());
  struct stat status {};
  ASSERT_EQ(::stat(Path("picture.gif").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedSaveTest,
    ::testing::Values(
        TFailedSave{"EmptyPicture", [](TGIFImage& A) { A.Clear(); }, "Unsupported GIF version"},
        TFailedSave{"ColourBeyondTheTable", [](TGIFImage& A) { A.Frames(1).PixelData()[3] = 200; },
                    "Color not in color table"}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(PictureSaveTest, VersionFollowsWhatTheFramesNeed) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 255, 255)});
  TGIFSubImage& frame = AddFrame(image, 0, 0, 1, 1, {1});
  EXPECT_EQ(image.GetVersion(), 1);
  const TBytes plain = SavePicture(image);
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + 6), "GIF87a");
  SetTiming(frame, 5, dmNone);
  EXPECT_EQ(image.GetVersion(), 2);
  TBytes saved = SavePicture(image);
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF89a");
}

TEST(PictureTest, NewPicturesTakeTheDefaults) {
  TGIFImage image;
  EXPECT_EQ(image.DrawOptions, 0x060F);
  EXPECT_EQ(image.ColorReduction, crNetscape216);
  EXPECT_EQ(image.ReductionBits, 8u);
  EXPECT_EQ(image.DitherMode, dtNearest);
  EXPECT_EQ(image.Compression(), TGIFCompression::ccLZW);
  EXPECT_EQ(image.ThreadPriority, TThreadPriority::tpNormal);
  EXPECT_EQ(image.AnimationSpeed, 100);
  EXPECT_EQ(image.DrawBackgroundColor, clNone);
  EXPECT_TRUE(image.Empty());
  EXPECT_FALSE(image.ShouldDither()) << "dithers only on a palette display by default";
  EXPECT_EQ(DelayUnitMs, 12);
  EXPECT_EQ(DefaultFrameDelay, 10);
  EXPECT_EQ(MinimumFrameDelay, 3);
  EXPECT_EQ(MaximumFrameDelay, 1000);
}

TEST(PictureTest, SizeCannotShrinkBelowAFrameAndAnUnchangedSizeKeepsTheBitmap) {
  auto image = TwoFrames();
  EXPECT_EQ(ErrorOf([&] { image->SetWidth(3); }), "Image width too small for contained frames");
  EXPECT_EQ(ErrorOf([&] { image->SetHeight(2); }), "Image height too small for contained frames");
  TBitmap* bitmap = image->GetBitmap();
  ASSERT_NE(bitmap, nullptr);
  image->SetWidth(4);
  EXPECT_EQ(image->GetBitmap(), bitmap) << "setting the same width dropped the cached bitmap";
  int changes = 0;
  image->OnChange = [&](TGraphic&) { ++changes; };
  image->SetWidth(6);
  EXPECT_EQ(image->Width(), 6);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image->GetBitmap()->Width(), 6);
}

TEST(PictureTest, CachedBitmapShowsTheFirstFrameOnTheLogicalScreen) {
  auto image = TwoFrames();
  TBitmap* same = image->GetBitmap();
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->BitsPerPixel(), 8) << "a full-screen first frame is copied as it is";
  EXPECT_EQ(Pixel8(*same, 1, 0), (TRGB{0, 255, 0}));

  TGIFImage small;
  SetGlobalColors(small, {RGB(0, 0, 0), RGB(9, 8, 7)});
  small.Header().ScreenDescriptor().ScreenWidth = 4;
  small.Header().ScreenDescriptor().ScreenHeight = 4;
  AddFrame(small, 2, 2, 2, 2, {1, 1, 1, 1});
  TBitmap converted;
  small.AssignTo(converted);
  ASSERT_EQ(converted.Width(), 4);
  EXPECT_EQ(converted.BitsPerPixel(), 32);
  EXPECT_EQ(BitmapPixelBGR(converted, 3, 3), 0x090807u);
  EXPECT_EQ(BitmapPixelBGR(converted, 0, 0), 0u);
}

// A few bytes of header claim a screen of any size; the frame bound holds
// for the composed picture too, before anything is allocated.
TEST(PictureTest, ComposedBitmapOfAScreenBeyondTheFrameBoundIsRefused) {
  TLoadedPicture huge = LoadPicture(ReadFileBytes(VEXMORA_GIF_HOSTILE_FILES "/screen-65535.gif"));
  ASSERT_EQ(huge.Error, "") << "loading holds the 1 x 1 frame alone";
  ASSERT_EQ(huge.Image->FrameCount(), 1);
  const std::string refused =
      "Image of 65535 x 65535 pixels exceeds the limit of 67108864 pixels per frame";
  EXPECT_EQ(ErrorOf([&] { huge.Image->GetBitmap(); }), refused);
  TBitmap target;
  EXPECT_EQ(ErrorOf([&] { huge.Image->AssignTo(target); }), refused);

  TGIFImage oneRowMore;
  SetGlobalColors(oneRowMore, {RGB(0, 0, 0), RGB(9, 8, 7)});
  oneRowMore.Header().ScreenDescriptor().ScreenWidth = 8192;
  oneRowMore.Header().ScreenDescriptor().ScreenHeight = 8193;
  AddFrame(oneRowMore, 0, 0, 1, 1, {1});
  EXPECT_EQ(ErrorOf([&] { oneRowMore.GetBitmap(); }),
            "Image of 8192 x 8193 pixels exceeds the limit of 67108864 pixels per frame");
}

TEST(PictureTest, PaletteQueryWithinAPaletteQueryIsRefused) {
  TGIFImage image;
  AddFrame(image, 0, 0, 1, 1, {0});
  // No table anywhere: the picture asks frame 0, which asks the picture.
  EXPECT_EQ(ErrorOf([&] { image.GetPalette(); }), "No global or local color table defined");
  SetGlobalColors(image, {RGB(1, 2, 3)});
  EXPECT_EQ(image.GetPalette(), (TPalette{{1, 2, 3, 4}}));
  image.DrawOptions = gdDither;
  image.SetPalette({});
  EXPECT_EQ(image.GetPalette().size(), 216u);
}

TEST(PictureTest, OneFramePictureIsDrawnWithoutAPainter) {
  TGIFImage image;
  SetGlobalColors(image, {RGB(0, 0, 0), RGB(255, 0, 0)});
  AddFrame(image, 0, 0, 2, 2, {1, 1, 1, 1});
  int painterEvents = 0;
  image.OnPaintStart = [&](TGIFPainter&) { ++painterEvents; };
  TBitmap target(2, 2, 32);
  TGIFCanvas canvas(target);
  image.Draw(canvas, canvas.ClipRect());
  EXPECT_EQ(painterEvents, 0);
  EXPECT_EQ(canvas.Pixel(1, 1), 0xFF0000u);

  // Asked for a threaded painter, a one-frame picture runs it at once.
  std::thread::id ranIn;
  image.OnPaintStart = [&](TGIFPainter&) { ranIn = std::this_thread::get_id(); };
  EXPECT_EQ(image.CreatePainter(canvas, gdThreaded | gdAnimate, canvas.ClipRect()), nullptr);
  EXPECT_EQ(ranIn, std::this_thread::get_id());
}

TEST(PictureTest, CopyTakesEverythingButLeavesNoHandlers) {
  auto source = TwoFrames();
  source->DrawBackgroundColor = RGB(1, 2, 3);
  source->DrawOptions = gdAnimate;
  source->AnimationSpeed = 50;
  TStrings sourceMessages;
  source->OnProgress = [&](TGraphic&, TProgressStage, int, bool, const std::string& AMessage) {
    sourceMessages.push_back(AMessage);
  };
  TGIFImage target;
  target.OnProgress = [](TGraphic&, TProgressStage, int, bool, const std::string&) {};
  target.OnCodecWarning = [](TGIFImage&, TGIFObject*, int, const std::string&) {};
  target.Assign(*source);
  EXPECT_FALSE(target.OnProgress);
  EXPECT_FALSE(target.OnCodecWarning);
  EXPECT_EQ(std::count(sourceMessages.begin(), sourceMessages.end(), "Copying..."), 4);
  EXPECT_EQ(target.DrawBackgroundColor, RGB(1, 2, 3));
  EXPECT_EQ(target.DrawOptions, gdAnimate);
  EXPECT_EQ(target.AnimationSpeed, 100) << "the speed is not copied";
  EXPECT_EQ(SavePicture(target), SavePicture(*source));
}

// A graphic of another format: it hands over a bitmap, or nothing.
class TOtherGraphic : public TGraphic {
public:
  explicit TOtherGraphic(bool AConverts) : FConverts(AConverts) {}
  std::string ClassName() const override { return "TOtherGraphic"; }
  bool Empty() const override { return false; }
  int Width() const override { return 3; }
  int Height() const override { return 1; }
  void LoadFromFile(const std::string&) override {}
  void SaveToFile(const std::string&) override {}
  void AssignTo(TBitmap& ADest) override {
    if (!FConverts) TGraphic::AssignTo(ADest);
    ADest = *MakePicture(3, 1, [](int x, int) { return TRGB{x * 102, 0, 255}; });
  }
  void LoadFromClipboardFormat(int, const TClipboardData&) override {}
  void SaveToClipboardFormat(TClipboardData&) override {}

private:
  bool FConverts;
};

TEST(PictureTest, OtherGraphicsBecomeOneFrameOrReportTheUnsupportedPair) {
  TGIFImage image;
  TOtherGraphic converts(true);
  image.Assign(converts);
  ASSERT_EQ(image.FrameCount(), 1);
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Frames(0).ColorMap().GetColor(image.Frames(0).Pixels(2, 0)), RGB(204, 0, 255));

  TOtherGraphic refuses(false);
  try {
    image.Assign(refuses);
    FAIL() << "no error";
  } catch (const EConvertError& AError) {
    EXPECT_STREQ(AError.what(), "Cannot assign a TOtherGraphic to a TGIFImage");
  }
  EXPECT_TRUE(image.Empty());
}

TEST(PictureTest, AddTakesFramesOfThisPictureOnly) {
  TGIFImage image;
  TGIFImage other;
  EXPECT_EQ(ErrorOf([&] { image.Add(std::make_unique<TGIFSubImage>(&other)); }),
            "Object type not supported for operation");
}

class ClipboardDataTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterGIFImage(24); }
  void TearDown() override { UnregisterGIFImage(); }
};

TEST_F(ClipboardDataTest, PictureTravelsAsGIFBytesAndABitmap) {
  auto image = TwoFrames();
  TClipboardData data;
  image->SaveToClipboardFormat(data);
  ASSERT_EQ(data.Formats.count(GIFClipboardFormat), 1u);
  EXPECT_EQ(data.Formats[GIFClipboardFormat], SavePicture(*image));
  ASSERT_TRUE(data.Bitmap);
  EXPECT_EQ(data.Bitmap->Width(), 4);

  TGIFImage fromGIF;
  fromGIF.LoadFromClipboardFormat(GIFClipboardFormat, data);
  EXPECT_EQ(SavePicture(fromGIF), SavePicture(*image));

  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(CF_BITMAP, data);
  EXPECT_EQ(fromBitmap.FrameCount(), 1);
  EXPECT_EQ(fromBitmap.Width(), 4);

  EXPECT_EQ(ErrorOf([&] { fromBitmap.LoadFromClipboardFormat(12345, data); }),
            "Unsupported clipboard format");
  TClipboardData empty;
  TGIFImage nothing;
  nothing.SaveToClipboardFormat(empty);
  EXPECT_TRUE(empty.Formats.empty()) << "an empty picture puts nothing on the clipboard";
}

} // namespace
