// Optimisation: what each option drops or changes, and that an optimised
// animation still plays exactly as before (by our painter and by
// ImageMagick) while it gets smaller.
#include <gtest/gtest.h>

#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFTextExtensions.h"
#include "PictureTestSupport.h"
#include "TestPictures.h"

namespace {

std::string ErrorOf(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const std::exception& AError) {
    return AError.what();
  }
  return "";
}

std::vector<std::vector<uint8_t>> Played(TGIFImage& AImage) {
  std::vector<std::vector<uint8_t>> frames;
  for (const TBitmap& frame : ComposeFrames(AImage))
    frames.push_back(CanvasRGBA(frame));
  return frames;
}

std::vector<int> Delays(TGIFImage& AImage) {
  std::vector<int> delays;
  for (int i = 0; i < AImage.FrameCount(); ++i) {
    TGIFGraphicControlExtension* control = AImage.Frames(i).GraphicControlExtension();
    delays.push_back(control ? control->Delay() : 0);
  }
  return delays;
}

// Three 4 x 4 frames over red, green, blue, black; index 3 is transparent in
// the last two.
std::unique_ptr<TGIFImage> Sequence(const std::vector<uint8_t>& AMiddle) {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(0, 0, 0)});
  TGIFSubImage& first = AddFrame(*image, 0, 0, 4, 4, std::vector<uint8_t>(16, 0));
  SetTiming(first, 20, dmNoDisposal);
  AddLoop(first, 0);
  TGIFSubImage& middle = AddFrame(*image, 0, 0, 4, 4, AMiddle);
  SetTiming(middle, 30, dmNoDisposal);
  SetTransparentIndex(middle, 3);
  std::vector<uint8_t> last(16, 3);
  last[5] = 2;
  TGIFSubImage& third = AddFrame(*image, 0, 0, 4, 4, last);
  SetTiming(third, 40, dmNoDisposal);
  SetTransparentIndex(third, 3);
  return image;
}

TEST(OptimizeTest, AllTransparentFrameIsCroppedAwayAndItsDelayMovesToThePreviousFrame) {
  auto image = Sequence(std::vector<uint8_t>(16, 3));
  const auto before = Played(*image);
  image->Optimize(ooCrop, crNone, 8, dtNearest);
  ASSERT_EQ(image->FrameCount(), 2);
  EXPECT_EQ(Delays(*image), (std::vector<int>{50, 40}));
  // The last frame lost its transparent border.
  EXPECT_EQ(image->Frames(1).BoundsRect(), (TGIFRect{1, 1, 2, 2}));
  const auto after = Played(*image);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(CompareRGBA(before[0], after[0], 4), "");
  EXPECT_EQ(CompareRGBA(before[2], after[1], 4), "");
}

TEST(OptimizeTest, AllTransparentFirstFrameKeepsItsPlaceAsOnePixel) {
  auto image = Sequence(std::vector<uint8_t>(16, 1));
  SetTransparentIndex(image->Frames(0), 0);
  image->Optimize(ooCrop, crNone, 8, dtNearest);
  ASSERT_EQ(image->FrameCount(), 3);
  EXPECT_EQ(image->Frames(0).BoundsRect(), (TGIFRect{0, 0, 1, 1}));
  EXPECT_EQ(Delays(*image), (std::vector<int>{20, 30, 40}));
  EXPECT_EQ(LoopCount(*image), 0);
}

TEST(OptimizeTest, FrameThatRestoresTheBackgroundKeepsItsSize) {
  std::vector<uint8_t> middle(16, 3);
  middle[0] = 1;
  auto image = Sequence(middle);
  Control(image->Frames(1)).SetDisposal(dmBackground);
  const auto before = Played(*image);
  image->Optimize(ooCrop, crNone, 8, dtNearest);
  EXPECT_EQ(image->Frames(1).BoundsRect(), (TGIFRect{0, 0, 4, 4}));
  EXPECT_EQ(Played(*image), before);
}

TEST(OptimizeTest, CleanupDropsUnusedTransparencyExtensionsAndNeedlessControls) {
  auto image = Sequence(std::vector<uint8_t>(16, 1)); // the middle frame shows no index 3
  auto comment = std::make_unique<TGIFCommentExtension>(&image->Frames(2));
  comment->Text() = {"made by a test"};
  image->Frames(2).Extensions().Add(std::move(comment));
  image->Optimize(ooCleanup, crNone, 8, dtNearest);
  ASSERT_EQ(image->FrameCount(), 3);
  EXPECT_FALSE(image->Frames(1).Transparent());
  EXPECT_EQ(LoopCount(*image), 0) << "the loop of a picture of several frames stays";
  ASSERT_EQ(image->Frames(2).Extensions().Count(), 1) << "the comment is gone";
  EXPECT_NE(image->Frames(2).GraphicControlExtension(), nullptr);

  // One frame: its loop and its control go.
  TGIFImage single;
  SetGlobalColors(single, {RGB(0, 0, 0), RGB(255, 255, 255)});
  TGIFSubImage& frame = AddFrame(single, 0, 0, 2, 1, {0, 1});
  SetTiming(frame, 50, dmNoDisposal);
  AddLoop(frame, 0);
  single.Optimize(ooCleanup, crNone, 8, dtNearest);
  EXPECT_EQ(single.Frames(0).Extensions().Count(), 0);
  EXPECT_EQ(single.GetVersion(), 1);
}

TEST(OptimizeTest, RestoreThatTheNextOpaqueFrameHidesIsDropped) {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 255, 0)});
  TGIFSubImage& small = AddFrame(*image, 1, 1, 2, 2, {0, 0, 0, 0});
  SetTiming(small, 10, dmBackground);
  TGIFSubImage& cover = AddFrame(*image, 0, 0, 4, 4, std::vector<uint8_t>(16, 1));
  SetTiming(cover, 10, dmNoDisposal);
  image->Optimize(ooCleanup, crNone, 8, dtNearest);
  EXPECT_EQ(Control(image->Frames(0)).Disposal(), dmNone);

  // A restore the next frame does not wholly cover stays.
  auto partly = std::make_unique<TGIFImage>();
  SetGlobalColors(*partly, {RGB(255, 0, 0), RGB(0, 255, 0)});
  TGIFSubImage& big = AddFrame(*partly, 0, 0, 4, 4, std::vector<uint8_t>(16, 0));
  SetTiming(big, 10, dmBackground);
  TGIFSubImage& inside = AddFrame(*partly, 1, 1, 2, 2, {1, 1, 1, 1});
  SetTiming(inside, 10, dmNoDisposal);
  const auto before = Played(*partly);
  partly->Optimize(ooCleanup, crNone, 8, dtNearest);
  EXPECT_EQ(Control(partly->Frames(0)).Disposal(), dmBackground);
  EXPECT_EQ(Played(*partly), before);
}

TEST(OptimizeTest, ReduceColorsOptionOnlyRefusesTheCallersPaletteWithoutCleanup) {
  for (int reduction = crNone; reduction <= crCallerPalette; ++reduction) {
    auto image = Sequence(std::vector<uint8_t>(16, 1));
    EXPECT_EQ(ErrorOf([&] {
                image->Optimize(ooReduceColors | ooCleanup,
                                static_cast<TGIFColorReduction>(reduction), 8, dtNearest);
              }),
              "")
        << reduction;
  }
  auto image = Sequence(std::vector<uint8_t>(16, 1));
  EXPECT_EQ(ErrorOf([&] { image->Optimize(ooReduceColors, crCallerPalette, 8, dtNearest); }),
            "Invalid reduction method");
}

TEST(OptimizeTest, ProgressIsReportedAndAnEmptyPictureIsLeftAlone) {
  auto image = Sequence(std::vector<uint8_t>(16, 1));
  std::vector<std::pair<TProgressStage, int>> reports;
  image->OnProgress = [&](TGraphic&, TProgressStage AStage, int APercent, bool,
                          const std::string& AMessage) {
    EXPECT_EQ(AMessage, "Optimizing...");
    reports.emplace_back(AStage, APercent);
  };
  image->Optimize(ooAll & ~ooReduceColors, crNone, 8, dtNearest);
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(reports.back(), std::make_pair(TProgressStage::psEnding, 100));

  TGIFImage empty;
  int calls = 0;
  empty.OnProgress = [&](TGraphic&, TProgressStage, int, bool, const std::string&) { ++calls; };
  empty.Optimize(ooAll, crCallerPalette, 8, dtNearest);
  EXPECT_EQ(calls, 0);
}

TEST(OptimizeTest, OptimisedAnimationPlaysTheSameAndIsSmaller) {
  TTempFolder folder;
  // Four full frames of one scene with small changes, each with its own
  // table, as a writer that knows nothing of the frames before makes them.
  {
    TGIFImage source;
    source.ColorReduction = crOctree;
    source.ReductionBits = 8;
    for (int i = 0; i < 4; ++i) {
      auto bitmap = MakePicture(70, 46, [i](int x, int y) {
        if (i >= 1 && x >= 10 && x < 20 && y >= 10 && y < 20) return TRGB{255, 0, 0};
        if (i >= 2 && x >= 30 && x < 40 && y >= 5 && y < 15) return TRGB{0, 0, 255};
        if (i == 3 && y < 8) return TRGB{0, 200, 0};
        return TRGB{(x / 7) * 25, (y / 5) * 28, 90};
      });
      const int index = source.Add(*bitmap);
      SetTiming(source.Frames(index), 20, dmNone);
      if (index == 0) AddLoop(source.Frames(0), 0);
    }
    source.SaveToFile(folder.Path("in.gif"));
  }
  TGIFImage image;
  image.LoadFromFile(folder.Path("in.gif"));
  const auto before = Played(image);
  const size_t sizeBefore = ReadFileBytes(folder.Path("in.gif")).size();
  image.Optimize(ooAll & ~ooReduceColors, crNone, 8, dtNearest);
  image.SaveToFile(folder.Path("out.gif"));
  const size_t sizeAfter = ReadFileBytes(folder.Path("out.gif")).size();
  EXPECT_LT(sizeAfter, sizeBefore);

  const auto after = Played(image);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(CompareRGBA(before[i], after[i], image.Width()), "") << "frame " << i;
  const auto coalesced = CoalescedFrames(folder.Path("out.gif"), folder);
  ASSERT_EQ(coalesced.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(CompareRGBA(before[i], coalesced[i], image.Width()), "") << "frame " << i;
}

} // namespace
