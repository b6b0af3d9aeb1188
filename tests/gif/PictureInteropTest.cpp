// Whole pictures across programs, both ways. Files that ImageMagick, ffmpeg
// and gifsicle write, and crafted variants of them, load to the frames,
// delays, disposal methods and pixels giflib reads, and play (painter,
// disposal included) to ImageMagick's coalesced frames. Stills and
// animations this codec writes read back through giftext, gif2rgb,
// gifsicle, ffprobe, ImageMagick and PIL with the same pixels, delays and
// loop counts.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <sstream>

#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFTextExtensions.h"
#include "GiflibReader.h"
#include "PictureTestSupport.h"
#include "TestPictures.h"

namespace {

using TBytes = std::vector<uint8_t>;
using TStrings = std::vector<std::string>;

std::string ProgramOutput(const std::vector<std::string>& AArguments) {
  std::string output;
  EXPECT_EQ(RunProgramOutput(AArguments, output), 0) << AArguments[0] << " failed";
  return output;
}

void RequirePrograms(std::initializer_list<const char*> ANames) {
  for (const char* name : ANames)
    ASSERT_FALSE(FindProgram(name).empty()) << name << " is missing: scripts/install-deps";
}

// Frames, delays, disposal, transparency and pixels as giflib reads them.
void ExpectLikeGiflib(TGIFImage& AImage, const TGiflibPicture& AExpected, size_t AFrames) {
  ASSERT_EQ(AExpected.Error, "");
  EXPECT_EQ(AImage.Width(), AExpected.Width);
  EXPECT_EQ(AImage.Height(), AExpected.Height);
  std::vector<TGIFSubImage*> frames = ImageFrames(AImage);
  ASSERT_EQ(frames.size(), AFrames);
  ASSERT_LE(AFrames, AExpected.Frames.size());
  for (size_t i = 0; i < AFrames; ++i) {
    const TGiflibFrame& want = AExpected.Frames[i];
    TGIFSubImage& frame = *frames[i];
    EXPECT_EQ(frame.BoundsRect(),
              (TGIFRect{want.Left, want.Top, want.Left + want.Width, want.Top + want.Height}))
        << "frame " << i;
    EXPECT_EQ(frame.Interlaced(), want.Interlaced) << "frame " << i;
    EXPECT_TRUE(frame.PixelData() == want.Pixels) << "frame " << i << " pixels differ";
    TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    EXPECT_EQ(control ? control->Delay() : -1, want.Delay) << "frame " << i;
    EXPECT_EQ(control ? control->Disposal() : -1, want.Disposal) << "frame " << i;
    EXPECT_EQ(frame.Transparent() ? frame.TransparentIndex() : -1, want.TransparentIndex)
        << "frame " << i;
  }
}

// The painter's frames equal ImageMagick's -coalesce frames.
void ExpectLikeCoalesced(TGIFImage& AImage, const std::vector<TBytes>& ACoalesced, size_t AFrames) {
  ASSERT_GE(ACoalesced.size(), AFrames) << "convert -coalesce failed";
  std::vector<TBitmap> composed = ComposeFrames(AImage);
  ASSERT_EQ(composed.size(), AFrames);
  for (size_t i = 0; i < AFrames; ++i)
    EXPECT_EQ(CompareRGBA(ACoalesced[i], CanvasRGBA(composed[i]), AImage.Width()), "")
        << "frame " << i;
}

// --- Files others write -----------------------------------------------------

struct TReadCase {
  const char* Name;
  std::vector<std::vector<std::string>> Commands; // "@" names the folder; last writes @in.gif
  size_t Frames;
};

void PrintTo(const TReadCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class OthersFilesTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(OthersFilesTest, LoadAndPlayLikeGiflibAndImageMagick) {
  RequirePrograms({"convert", "gifsicle", "ffmpeg"});
  TTempFolder folder;
  for (std::vector<std::string> command : GetParam().Commands) {
    for (std::string& argument : command)
      if (argument[0] == '@') argument = folder.Path(argument.substr(1));
    ASSERT_EQ(RunProgram(command), 0) << command[0] << " failed";
  }
  const TBytes file = ReadFileBytes(folder.Path("in.gif"));
  TLoadedPicture loaded = LoadPicture(file);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, TStrings{});
  ExpectLikeGiflib(*loaded.Image, ReadWithGiflib(file), GetParam().Frames);
  ExpectLikeCoalesced(*loaded.Image, CoalescedFrames(folder.Path("in.gif"), folder),
                      GetParam().Frames);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, OthersFilesTest,
    ::testing::Values(
        TReadCase{"ImageMagickRose64InterlacedTransparent",
                  {{"convert", "rose:", "-alpha", "set", "-channel", "A", "-fx", "(i<20&&j<10)?0:1",
                    "+channel", "-colors", "64", "-interlace", "GIF", "@in.gif"}},
                  1},
        TReadCase{"ImageMagickAnimationWithBackgroundDisposal",
                  {{"convert", "-delay", "10",       "-loop",    "3",          "-dispose", "none",
                    "-size",   "40x30",  "xc:red",   "-dispose", "background", "-page",    "+5+5",
                    "-size",   "20x10",  "xc:blue",  "-dispose", "none",       "-page",    "+10+12",
                    "-size",   "8x8",    "xc:green", "@in.gif"}},
                  3},
        TReadCase{"FfmpegLavfi",
                  {{"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc2=s=64x48:r=5:d=1", "-y", "@in.gif"}},
                  5},
        TReadCase{"GifsicleO3",
                  {{"convert", "rose:", "-colors", "32", "@a.gif"},
                   {"convert", "rose:", "-flip", "-colors", "32", "@b.gif"},
                   {"gifsicle", "-O3", "--loopcount=5", "-d", "30", "@a.gif", "@b.gif", "@a.gif",
                    "-o", "@in.gif"}},
                  3}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// Crafted variants of an ImageMagick animation: blocks are added or the
// bytes changed. giflib and ImageMagick read the variant when they take it,
// else the file it was made from.
struct TCraftedCase {
  const char* Name;
  std::function<TBytes(TBytes, const std::vector<size_t>&)> Craft;
  bool OraclesReadIt;
  size_t Frames;
  TStrings Warnings;
};

void PrintTo(const TCraftedCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

TBytes InsertAt(TBytes AFile, size_t AOffset, const TBytes& ABytes) {
  AFile.insert(AFile.begin() + static_cast<std::ptrdiff_t>(AOffset), ABytes.begin(), ABytes.end());
  return AFile;
}

TBytes CommentBlock(size_t ALength) {
  TBytes block{'!', 0xFE};
  for (size_t done = 0; done < ALength;) {
    const size_t size = std::min<size_t>(255, ALength - done);
    block.push_back(static_cast<uint8_t>(size));
    for (size_t i = 0; i < size; ++i)
      block.push_back(static_cast<uint8_t>('a' + (done + i) % 26));
    done += size;
  }
  block.push_back(0);
  return block;
}

class CraftedFilesTest : public ::testing::TestWithParam<TCraftedCase> {};

TEST_P(CraftedFilesTest, LoadAndPlayLikeTheFileTheyWereMadeFrom) {
  RequirePrograms({"convert"});
  TTempFolder folder;
  ASSERT_EQ(RunProgram({"convert",  "-delay",     "10",       "-loop",    "3",
                        "-dispose", "none",       "-size",    "40x30",    "xc:red",
                        "-dispose", "background", "-page",    "+5+5",     "-size",
                        "20x10",    "xc:blue",    "-dispose", "previous", "-page",
                        "+10+12",   "-size",      "8x8",      "xc:green", folder.Path("base.gif")}),
            0);
  const TBytes base = ReadFileBytes(folder.Path("base.gif"));
  const std::vector<size_t> blocks = BlockOffsets(base);
  ASSERT_EQ(blocks.size(), 8u) << "control, loop, image, control and image twice, trailer";
  const TBytes crafted = GetParam().Craft(base, blocks);
  WriteFileBytes(folder.Path("crafted.gif"), crafted);
  const std::string oracleFile = folder.Path(GetParam().OraclesReadIt ? "crafted.gif" : "base.gif");

  TLoadedPicture loaded = LoadPicture(crafted);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, GetParam().Warnings);
  ExpectLikeGiflib(*loaded.Image, ReadWithGiflib(ReadFileBytes(oracleFile)), GetParam().Frames);
  EXPECT_EQ(LoopCount(*loaded.Image), 2) << "ImageMagick stores -loop 3 as 2";
  ExpectLikeCoalesced(*loaded.Image, CoalescedFrames(oracleFile, folder), GetParam().Frames);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, CraftedFilesTest,
    ::testing::Values(
        TCraftedCase{"LongComment",
                     [](TBytes F, const auto& B) { return InsertAt(F, B[1], CommentBlock(600)); },
                     true,
                     3,
                     {}},
        TCraftedCase{"PlainText",
                     [](TBytes F, const auto& B) {
                       return InsertAt(F, B[3], {'!', 0x01, 12, 0, 0, 0,   0,   40,  0,   30,  0,
                                                 8,   8,    1,  0, 5, 'h', 'e', 'l', 'l', 'o', 0});
                     },
                     true,
                     3,
                     {}},
        TCraftedCase{"UnknownApplicationExtension",
                     [](TBytes F, const auto& B) {
                       return InsertAt(F, B[3],
                                       {'!', 0xFF, 11,  'X', 'M', 'P', ' ', 'D', 'a', 't', 'a',
                                        'X', 'M',  'P', 3,   1,   2,   3,   1,   9,   0});
                     },
                     true,
                     3,
                     {}},
        TCraftedCase{"AnimExts",
                     [](TBytes F, const auto&) {
                       const char* name = "NETSCAPE2.0";
                       auto at = std::search(F.begin(), F.end(), name, name + 11);
                       EXPECT_NE(at, F.end());
                       if (at != F.end()) std::memcpy(&*at, "ANIMEXTS1.0", 11);
                       return F;
                     },
                     true,
                     3,
                     {}},
        TCraftedCase{"LowerCaseSignature",
                     [](TBytes F, const auto&) {
                       std::memcpy(F.data(), "gif", 3);
                       return F;
                     },
                     false,
                     3,
                     {}},
        TCraftedCase{"FourBytePrefix",
                     [](TBytes F, const auto&) {
                       return InsertAt(F, 0, {0x34, 0x12, 0, 0});
                     },
                     false,
                     3,
                     {}},
        TCraftedCase{"StrayByteBetweenBlocks",
                     [](TBytes F, const auto& B) { return InsertAt(F, B[3], {0x42}); },
                     false,
                     1,
                     {"Unknown GIF block type", "Invalid Image trailer"}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST(CraftedExtensionsTest, AreKeptAndWrittenBack) {
  RequirePrograms({"convert"});
  TTempFolder folder;
  ASSERT_EQ(RunProgram({"convert", "-size", "4x4", "xc:red", folder.Path("base.gif")}), 0);
  TBytes file = ReadFileBytes(folder.Path("base.gif"));
  const size_t first = BlockOffsets(file)[0];
  file =
      InsertAt(file, first,
               {'!', 0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 2, 7, 8, 0});
  file = InsertAt(file, first, CommentBlock(600));
  TLoadedPicture loaded = LoadPicture(file);
  ASSERT_EQ(loaded.Error, "");
  TGIFExtensionList& extensions = ImageFrames(*loaded.Image)[0]->Extensions();
  ASSERT_GE(extensions.Count(), 2);
  auto* comment = dynamic_cast<TGIFCommentExtension*>(extensions.Extensions(0));
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->Text().size(), 3u) << "600 characters in sub-blocks of 255, 255 and 90";
  auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(extensions.Extensions(1));
  ASSERT_NE(unknown, nullptr);
  const TBytes saved = SavePicture(*loaded.Image);
  EXPECT_NE(std::search(saved.begin(), saved.end(),
                        file.begin() + static_cast<std::ptrdiff_t>(first),
                        file.begin() + static_cast<std::ptrdiff_t>(first) + 600),
            saved.end())
      << "the comment and the unknown block are written back as they came";
  EXPECT_EQ(ReadWithGiflib(saved).Error, "");
}

// --- Files this codec writes ---------------------------------------------------

// A picture of many colours in 5 x 5 cells (at most 256 colours, so that
// the octree keeps them exact).
std::unique_ptr<TBitmap> Colourful(int AWidth, int AHeight, int ASeed) {
  return MakePicture(AWidth, AHeight, [=](int x, int y) {
    return TRGB{(x / 5) * 25, (y / 5) * 30, ((x / 5 + y / 5) * 20 + ASeed * 40) % 256};
  });
}

TBitmap Mask(int AWidth, int AHeight, const std::function<bool(int, int)>& ATransparent) {
  TBitmap mask(AWidth, AHeight, 8);
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x)
      mask.ScanLine(y)[x] = ATransparent(x, y) ? 1 : 0;
  return mask;
}

std::unique_ptr<TGIFImage> ExactImage() {
  auto image = std::make_unique<TGIFImage>();
  image->ColorReduction = crOctree;
  image->ReductionBits = 8;
  return image;
}

std::unique_ptr<TGIFImage> Still(bool ATransparent) {
  auto image = ExactImage();
  auto bitmap = Colourful(50, 40, 1);
  const TBitmap mask =
      Mask(50, 40, [](int x, int y) { return (x - 25) * (x - 25) + (y - 20) * (y - 20) < 100; });
  image->Add(*bitmap, ATransparent ? &mask : nullptr);
  return image;
}

struct TFrameSpec {
  int Left, Top, Width, Height;
  int Delay, Disposal;
  bool Transparent;
};

// Frames of many colours, each with its local table; ALoops on frame 0.
std::unique_ptr<TGIFImage> Animation(const std::vector<TFrameSpec>& AFrames, int ALoops) {
  auto image = ExactImage();
  image->Header().ScreenDescriptor().ScreenWidth = 48;
  image->Header().ScreenDescriptor().ScreenHeight = 36;
  int seed = 0;
  for (const TFrameSpec& spec : AFrames) {
    auto bitmap = Colourful(spec.Width, spec.Height, ++seed);
    const TBitmap mask = Mask(spec.Width, spec.Height,
                              [&](int x, int y) { return spec.Transparent && (x + y) % 3 == 0; });
    const int index = image->Add(*bitmap, spec.Transparent ? &mask : nullptr);
    TGIFSubImage& frame = image->Frames(index);
    frame.SetBounds(spec.Left, spec.Top, spec.Width, spec.Height);
    SetTiming(frame, spec.Delay, spec.Disposal);
    if (index == 0 && ALoops >= 0) AddLoop(frame, ALoops);
  }
  return image;
}

// Disposal 0 and 1 only: every reader composes these alike.
std::unique_ptr<TGIFImage> KeepingAnimation() {
  return Animation({{0, 0, 48, 36, 7, dmNoDisposal, false},
                    {5, 5, 20, 10, 25, dmNoDisposal, true},
                    {10, 12, 8, 8, 100, dmNone, false}},
                   5);
}

std::unique_ptr<TGIFImage> RestoringAnimation() {
  return Animation({{0, 0, 48, 36, 10, dmNoDisposal, false},
                    {5, 5, 20, 10, 10, dmBackground, false},
                    {10, 12, 8, 8, 10, dmPrevious, true},
                    {0, 0, 10, 10, 10, dmNoDisposal, false},
                    {2, 3, 30, 20, 10, dmNone, true},
                    {20, 6, 12, 12, 10, dmBackground, true},
                    {1, 1, 5, 5, 10, dmPrevious, false}},
                   0);
}

// The colour each pixel of frame AFrame shows (its table's entry).
TBytes FrameRGB(TGIFSubImage& AFrame) {
  TBytes rgb;
  TGIFColorMap& map = AFrame.ActiveColorMap();
  for (uint8_t pixel : AFrame.PixelData())
    rgb.insert(rgb.end(), {map.Entry(pixel).Red, map.Entry(pixel).Green, map.Entry(pixel).Blue});
  return rgb;
}

class WrittenFilesTest : public ::testing::Test {
protected:
  std::string Write(TGIFImage& AImage, const std::string& AName) {
    AImage.SaveToFile(FFolder.Path(AName));
    return FFolder.Path(AName);
  }
  TTempFolder FFolder;
};

TEST_F(WrittenFilesTest, StillsReadBackThroughGif2rgbGiflibAndImageMagick) {
  RequirePrograms({"gif2rgb", "convert"});
  for (bool transparent : {false, true}) {
    auto image = Still(transparent);
    const std::string file = Write(*image, "still.gif");
    TGIFSubImage& frame = image->Frames(0);
    EXPECT_EQ(frame.Transparent(), transparent);
    ASSERT_EQ(RunProgram({"gif2rgb", "-1", "-o", FFolder.Path("still.rgb"), file}), 0);
    EXPECT_TRUE(ReadFileBytes(FFolder.Path("still.rgb")) == FrameRGB(frame))
        << "gif2rgb shows other colours";
    ExpectLikeGiflib(*image, ReadWithGiflib(ReadFileBytes(file)), 1);
    ExpectLikeCoalesced(*image, CoalescedFrames(file, FFolder), 1);
    // The colours of the source picture survive exactly.
    auto source = Colourful(50, 40, 1);
    const std::vector<TBitmap> composed = ComposeFrames(*image);
    EXPECT_EQ(BitmapPixelBGR(composed[0], 3, 7), BitmapPixelBGR(*source, 3, 7));
  }
}

TEST_F(WrittenFilesTest, AnimationsReadBackThroughGiftextGifsicleFfprobeAndIdentify) {
  RequirePrograms({"giftext", "gifsicle", "ffprobe", "identify"});
  auto image = KeepingAnimation();
  const std::string file = Write(*image, "anim.gif");

  // giftext: the frames' places, delays and disposal methods.
  const std::string text = ProgramOutput({"giftext", file});
  std::regex place(R"(Image Size - Left = (\d+), Top = (\d+), Width = (\d+), Height = (\d+))");
  std::regex delay(R"(DelayTime: (\d+))");
  std::regex disposal(R"(Disposal Mode: (\d+))");
  std::vector<std::string> places, delays, disposals;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), place);
       it != std::sregex_iterator(); ++it)
    places.push_back((*it)[1].str() + "," + (*it)[2].str() + "," + (*it)[3].str() + "," +
                     (*it)[4].str());
  for (auto it = std::sregex_iterator(text.begin(), text.end(), delay);
       it != std::sregex_iterator(); ++it)
    delays.push_back((*it)[1]);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), disposal);
       it != std::sregex_iterator(); ++it)
    disposals.push_back((*it)[1]);
  EXPECT_EQ(places, (TStrings{"0,0,48,36", "5,5,20,10", "10,12,8,8"}));
  EXPECT_EQ(delays, (TStrings{"7", "25", "100"}));
  EXPECT_EQ(disposals, (TStrings{"1", "1", "0"}));

  // gifsicle: the frame count, the loop count, delays.
  const std::string info = ProgramOutput({"gifsicle", "--info", file});
  EXPECT_NE(info.find("3 images"), std::string::npos) << info;
  EXPECT_NE(info.find("loop count 5"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 0.07s"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 0.25s"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 1.00s"), std::string::npos) << info;

  // ffprobe: each packet lasts its frame's delay.
  const std::string packets =
      ProgramOutput({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                     "packet=duration_time", "-of", "csv=p=0", file});
  EXPECT_EQ(packets, "0.070000\n0.250000\n1.000000\n");

  // ImageMagick: delays, disposal, places; -loop 5 reads as 6 iterations.
  const std::string frames = ProgramOutput({"identify", "-format", "%T|%D|%w|%h|%X|%Y;", file});
  EXPECT_EQ(frames, "7|None|48|36|+0|+0;25|None|20|10|+5|+5;100|Undefined|8|8|+10|+12;");
  const std::string verbose = ProgramOutput({"identify", "-verbose", file + "[0]"});
  EXPECT_NE(verbose.find("Iterations: 6"), std::string::npos);
}

// PIL's frames, loop and durations, and its composed RGBA frames.
struct TPilRead {
  int Frames = 0;
  int Loop = -1;
  std::vector<int> Durations;
  std::vector<TBytes> Pixels;
};

TPilRead ReadWithPil(const std::string& AFile, const TTempFolder& AFolder) {
  TPilRead read;
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "print(im.n_frames, im.info.get('loop', -1))\n"
      "for i in range(im.n_frames):\n"
      "    im.seek(i)\n"
      "    print(im.info.get('duration', -1))\n"
      "    open(sys.argv[2] + '/pil-%d.rgba' % i, 'wb').write(im.convert('RGBA').tobytes())\n";
  const std::string output =
      ProgramOutput({"/usr/bin/python3", "-c", script, AFile, AFolder.Path("")});
  std::istringstream lines(output);
  lines >> read.Frames >> read.Loop;
  for (int i = 0; i < read.Frames; ++i) {
    int duration = -1;
    lines >> duration;
    read.Durations.push_back(duration);
    read.Pixels.push_back(ReadFileBytes(AFolder.Path("pil-" + std::to_string(i) + ".rgba")));
  }
  return read;
}

TEST_F(WrittenFilesTest, PilReadsStillsAndAnimationsToTheSamePixelsDelaysAndLoops) {
  std::string probe;
  ASSERT_EQ(RunProgramOutput({"/usr/bin/python3", "-c", "import PIL"}, probe), 0)
      << "PIL is missing: scripts/install-deps installs python3-pil";
  for (bool transparent : {false, true}) {
    auto still = Still(transparent);
    const TPilRead read = ReadWithPil(Write(*still, "still.gif"), FFolder);
    ASSERT_EQ(read.Frames, 1);
    EXPECT_EQ(CompareRGBA(read.Pixels[0], CanvasRGBA(ComposeFrames(*still)[0]), 50), "");
  }
  auto animation = KeepingAnimation();
  const TPilRead read = ReadWithPil(Write(*animation, "anim.gif"), FFolder);
  ASSERT_EQ(read.Frames, 3);
  EXPECT_EQ(read.Loop, 5);
  EXPECT_EQ(read.Durations, (std::vector<int>{70, 250, 1000}));
  const std::vector<TBitmap> composed = ComposeFrames(*animation);
  ASSERT_EQ(composed.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(CompareRGBA(read.Pixels[i], CanvasRGBA(composed[i]), 48), "") << "frame " << i;
}

TEST_F(WrittenFilesTest, DisposalMethodsPlayLikeImageMagicksCoalescedFrames) {
  RequirePrograms({"convert"});
  auto image = RestoringAnimation();
  const std::string file = Write(*image, "restoring.gif");
  ExpectLikeGiflib(*image, ReadWithGiflib(ReadFileBytes(file)), 7);
  ExpectLikeCoalesced(*image, CoalescedFrames(file, FFolder), 7);
  // And the same after a round trip through our own reader.
  TGIFImage reread;
  reread.LoadFromFile(file);
  ExpectLikeCoalesced(reread, CoalescedFrames(file, FFolder), 7);
}

} // namespace
