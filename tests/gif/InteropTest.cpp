// Interop at the image-data level, both ways. Pictures written by
// ImageMagick, ffmpeg and gifsicle (made at test time) must read to the same
// frames and colour indices as giflib reads; pictures this codec writes, over
// a matrix of colour depths, interlacing, sizes and both coders, must read
// back through giflib and its gif2rgb to the same pixels.
#include <gtest/gtest.h>

#include <random>

#include "CodeStream.h"
#include "ExternalProgram.h"
#include "GIFAppExtensions.h"
#include "GIFImageData.h"
#include "GIFTestImage.h"
#include "GiflibReader.h"

namespace {

using TBytes = std::vector<uint8_t>;

std::vector<uint8_t> TableColors(TGIFColorMap& AMap) {
  std::vector<uint8_t> colors;
  for (int i = 0; i < AMap.Count(); ++i) {
    colors.push_back(AMap.Entry(i).Red);
    colors.push_back(AMap.Entry(i).Green);
    colors.push_back(AMap.Entry(i).Blue);
  }
  return colors;
}

// Frames with an image, in file order (extensions before the trailer make
// a frame without one).
std::vector<TGIFFrameBase*> ImageFrames(TGIFTestImage& AImage) {
  std::vector<TGIFFrameBase*> frames;
  for (auto& frame : AImage.Frames)
    if (!frame->Empty()) frames.push_back(frame.get());
  return frames;
}

int LoopCount(TGIFTestImage& AImage) {
  for (auto& frame : AImage.Frames)
    for (int i = 0; i < frame->Extensions().Count(); ++i)
      if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(frame->Extensions().Extensions(i)))
        return loop->Loops();
  return -1;
}

struct TProgramCase {
  const char* Name;
  // "@" in an argument stands for the test's folder; the last command writes "@out.gif".
  std::vector<std::vector<std::string>> Commands;
  int Frames;
};

void PrintTo(const TProgramCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Name;
}

class ProgramPictureTest : public ::testing::TestWithParam<TProgramCase> {};

TEST_P(ProgramPictureTest, ReadsToTheSameIndicesAsGiflib) {
  TTempFolder folder;
  for (std::vector<std::string> command : GetParam().Commands) {
    ASSERT_FALSE(FindProgram(command[0]).empty())
        << command[0] << " is missing: scripts/install-deps installs it";
    for (std::string& argument : command)
      if (argument[0] == '@') argument = folder.Path(argument.substr(1));
    ASSERT_EQ(RunProgram(command), 0) << command[0] << " failed";
  }
  TBytes file = ReadFileBytes(folder.Path("out.gif"));
  ASSERT_FALSE(file.empty());

  TGiflibPicture expected = ReadWithGiflib(file);
  ASSERT_EQ(expected.Error, "");
  TGIFTestImage image;
  image.Load(file);
  EXPECT_TRUE(image.Warnings.empty()) << image.Warnings.front();
  EXPECT_EQ(image.Header().Width(), expected.Width);
  EXPECT_EQ(image.Header().Height(), expected.Height);
  EXPECT_EQ(TableColors(image.Header().ColorMap()), expected.GlobalColors);
  EXPECT_EQ(LoopCount(image), expected.Loops);

  std::vector<TGIFFrameBase*> frames = ImageFrames(image);
  ASSERT_EQ(frames.size(), expected.Frames.size());
  EXPECT_EQ(static_cast<int>(frames.size()), GetParam().Frames);
  bool anyInterlaced = false;
  for (size_t i = 0; i < frames.size(); ++i) {
    const TGiflibFrame& want = expected.Frames[i];
    TGIFFrameBase& frame = *frames[i];
    EXPECT_EQ(frame.Left(), want.Left) << "frame " << i;
    EXPECT_EQ(frame.Top(), want.Top) << "frame " << i;
    EXPECT_EQ(frame.Width(), want.Width) << "frame " << i;
    EXPECT_EQ(frame.Height(), want.Height) << "frame " << i;
    EXPECT_EQ(frame.Interlaced(), want.Interlaced) << "frame " << i;
    EXPECT_EQ(TableColors(frame.ColorMap()), want.LocalColors) << "frame " << i;
    EXPECT_TRUE(frame.PixelData() == want.Pixels) << "frame " << i << " pixels differ";
    anyInterlaced = anyInterlaced || want.Interlaced;
  }
  if (std::string(GetParam().Name).find("Interlaced") != std::string::npos) {
    EXPECT_TRUE(anyInterlaced) << "the case meant to test interlacing has none";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramPictureTest,
    ::testing::Values(
        TProgramCase{"ImageMagickFewColours",
                     {{"convert", "rose:", "-colors", "5", "+dither", "@out.gif"}},
                     1},
        TProgramCase{
            "ImageMagickManyColours", {{"convert", "rose:", "-colors", "256", "@out.gif"}}, 1},
        TProgramCase{"ImageMagickInterlaced",
                     {{"convert", "rose:", "-colors", "64", "-interlace", "GIF", "@out.gif"}},
                     1},
        TProgramCase{"ImageMagickLargeInterlaced",
                     {{"convert", "logo:", "-interlace", "GIF", "@out.gif"}},
                     1},
        TProgramCase{"ImageMagickPlasma",
                     {{"convert", "-seed", "7", "-size", "301x199", "plasma:fractal", "-colors",
                       "256", "@out.gif"}},
                     1},
        TProgramCase{
            "ImageMagickTwoColours",
            {{"convert", "-size", "97x31", "gradient:black-white", "-colors", "2", "@out.gif"}},
            1},
        TProgramCase{
            "ImageMagickOneColour", {{"convert", "-size", "64x48", "xc:red", "@out.gif"}}, 1},
        TProgramCase{
            "ImageMagickOnePixel", {{"convert", "-size", "1x1", "xc:blue", "@out.gif"}}, 1},
        TProgramCase{"ImageMagickAnimation",
                     {{"convert", "-delay", "10", "-loop", "3", "-size", "40x30", "xc:red",
                       "xc:green", "-size", "20x10", "xc:blue", "@out.gif"}},
                     3},
        TProgramCase{"Ffmpeg",
                     {{"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                       "testsrc2=s=160x90:r=5:d=1", "-y", "@out.gif"}},
                     5},
        TProgramCase{"FfmpegPaletteUse",
                     {{"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                       "testsrc2=s=120x80:r=4:d=1", "-vf",
                       "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-y", "@out.gif"}},
                     4},
        TProgramCase{
            "GifsicleOptimisedAnimation",
            {{"convert", "rose:", "-colors", "32", "@a.gif"},
             {"convert", "rose:", "-flip", "-colors", "32", "@b.gif"},
             {"gifsicle", "-O3", "--loopcount=5", "@a.gif", "@b.gif", "@a.gif", "-o", "@out.gif"}},
            3},
        TProgramCase{"GifsicleInterlaced",
                     {{"convert", "logo:", "-resize", "30%", "@a.gif"},
                      {"gifsicle", "--interlace", "@a.gif", "-o", "@out.gif"}},
                     1},
        TProgramCase{"GifsicleFewColours",
                     {{"convert", "-seed", "3", "-size", "120x90", "plasma:", "@a.gif"},
                      {"gifsicle", "--colors", "4", "@a.gif", "-o", "@out.gif"}},
                     1}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// Our side: one frame over a global table of 2^bits distinct colours.
struct TWrittenCase {
  int Bits;
  bool Interlaced;
  // "OnePixel"; "OneBlock": 255 code bytes; "TwoBlocks": 256 code bytes;
  // "Over4095Codes". A depth's code widths rule out some totals; then the
  // nearest total on the same side of the block border stands in (254, 257).
  const char* Size;
  TGIFCompression Compression;
};

std::string CaseName(const TWrittenCase& ACase) {
  return std::string(ACase.Compression == TGIFCompression::ccRLE ? "RLE" : "LZW") +
         std::to_string(ACase.Bits) + "Bit" + (ACase.Interlaced ? "Interlaced" : "") + ACase.Size;
}

void PrintTo(const TWrittenCase& ACase, std::ostream* AOut) {
  *AOut << CaseName(ACase);
}

TBytes Noise(size_t ACount, int ABits, unsigned ASeed) {
  std::mt19937 random(ASeed);
  TBytes pixels(ACount);
  for (uint8_t& pixel : pixels)
    pixel = static_cast<uint8_t>(random() & ((1u << ABits) - 1));
  return pixels;
}

TBytes ImageData(const TBytes& APixels, int AWidth, int AHeight, const TWrittenCase& ACase) {
  TGIFMemoryStream stream;
  WriteImageData(stream, APixels.data(), AWidth, AHeight, ACase.Interlaced, ACase.Bits,
                 1 << ACase.Bits, ACase.Compression);
  return stream.Data();
}

size_t CodeBytes(const TBytes& AData) {
  size_t total = 0;
  for (size_t size : ReadCodes(AData).BlockSizes)
    total += size;
  return total;
}

// A picture of AHeight rows whose code bytes total exactly ABytes: noise up
// to some pixel, one colour behind it. Moving that pixel moves the total in
// small steps.
bool PixelsOfStreamSize(size_t ABytes, int AHeight, const TWrittenCase& ACase, TBytes& APixels,
                        int& AWidth) {
  auto pixelsOf = [&](const TBytes& ANoise, size_t ANoisy) {
    TBytes pixels(ANoise.size(), 0);
    std::copy(ANoise.begin(), ANoise.begin() + static_cast<std::ptrdiff_t>(ANoisy), pixels.begin());
    return pixels;
  };
  int width =
      std::max(static_cast<int>(ABytes * 8 / static_cast<size_t>(ACase.Bits + 1)) / AHeight, 1);
  for (int attempt = 0; attempt < 40; ++attempt, width += 1 + width / 50) {
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(AHeight);
    TBytes noise = Noise(count, ACase.Bits, static_cast<unsigned>(width));
    auto total = [&](size_t ANoisy) {
      return CodeBytes(ImageData(pixelsOf(noise, ANoisy), width, AHeight, ACase));
    };
    if (total(count) < ABytes) continue;
    // The totals grow with the noise, closely enough for a search and a scan.
    size_t low = 0;
    size_t high = count;
    while (low < high) {
      size_t middle = (low + high) / 2;
      if (total(middle) + 4 < ABytes)
        low = middle + 1;
      else
        high = middle;
    }
    for (size_t noisy = low; noisy <= std::min(count, low + 200); ++noisy) {
      if (total(noisy) == ABytes) {
        APixels = pixelsOf(noise, noisy);
        AWidth = width;
        return true;
      }
    }
  }
  return false;
}

class WrittenPictureTest : public ::testing::TestWithParam<TWrittenCase> {};

TEST_P(WrittenPictureTest, ReadsBackThroughGiflibAndGif2rgb) {
  const TWrittenCase& test = GetParam();
  std::string size = test.Size;
  int width = 1;
  int height = test.Interlaced ? 11 : 1;
  TBytes pixels;
  if (size == "OnePixel") {
    height = 1;
    pixels = {static_cast<uint8_t>((1 << test.Bits) - 1)};
  } else if (size == "OneBlock" || size == "TwoBlocks") {
    std::vector<size_t> totals =
        size == "OneBlock" ? std::vector<size_t>{255, 254} : std::vector<size_t>{256, 257};
    bool found = false;
    for (size_t total : totals)
      found = found || PixelsOfStreamSize(total, height, test, pixels, width);
    ASSERT_TRUE(found);
    EXPECT_EQ(ReadCodes(ImageData(pixels, width, height, test)).BlockSizes.size(),
              size == "OneBlock" ? 1u : 2u);
  } else {
    width = test.Bits < 4 ? 700 : 300;
    height = 200;
    pixels = Noise(static_cast<size_t>(width) * height, test.Bits, 11);
    ASSERT_GT(ReadCodes(ImageData(pixels, width, height, test)).Codes.size(), 4095u);
  }

  TGIFTestImage image;
  image.SetCompression(test.Compression);
  image.Header().ScreenDescriptor().ScreenWidth = static_cast<uint16_t>(width);
  image.Header().ScreenDescriptor().ScreenHeight = static_cast<uint16_t>(height);
  std::mt19937 random(5);
  for (int i = 0; i < (1 << test.Bits); ++i)
    image.Header().ColorMap().Add(static_cast<TColor>(random() & 0xFFFFFF));
  image.AddFrame(width, height, pixels, test.Interlaced);
  TBytes file = image.Save();

  TGiflibPicture read = ReadWithGiflib(file);
  ASSERT_EQ(read.Error, "");
  ASSERT_EQ(read.Frames.size(), 1u);
  EXPECT_EQ(read.Frames[0].Interlaced, test.Interlaced);
  EXPECT_TRUE(read.Frames[0].Pixels == pixels) << "giflib reads other pixels";

  TTempFolder folder;
  WriteFileBytes(folder.Path("in.gif"), file);
  ASSERT_FALSE(FindProgram("gif2rgb").empty()) << "scripts/install-deps installs giflib-tools";
  ASSERT_EQ(RunProgram({"gif2rgb", "-1", "-o", folder.Path("out.rgb"), folder.Path("in.gif")}), 0);
  TBytes rgb = ReadFileBytes(folder.Path("out.rgb"));
  TBytes expected;
  for (uint8_t pixel : pixels) {
    const TGIFColor& color = image.Header().ColorMap().Entry(pixel);
    expected.insert(expected.end(), {color.Red, color.Green, color.Blue});
  }
  EXPECT_TRUE(rgb == expected) << "gif2rgb shows other colours";
}

std::vector<TWrittenCase> WrittenCases() {
  std::vector<TWrittenCase> cases;
  for (TGIFCompression compression : {TGIFCompression::ccLZW, TGIFCompression::ccRLE})
    for (int bits : {1, 2, 4, 8})
      for (bool interlaced : {false, true})
        for (const char* size : {"OnePixel", "OneBlock", "TwoBlocks", "Over4095Codes"})
          cases.push_back({bits, interlaced, size, compression});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Matrix, WrittenPictureTest, ::testing::ValuesIn(WrittenCases()),
                         [](const auto& AInfo) { return CaseName(AInfo.param); });

} // namespace
