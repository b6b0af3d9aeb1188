// The recordings' one colour conversion (32-bit B,G,R to yuv420p at the same
// size) done by libyuv instead of the scaler: the pictures it gives against
// the scaler's and against the source, the cases that stay with the scaler,
// and the recorder's own output strings, each container decoded.
#include "DecodedPictures.h"
#include "LibAVOwners.h"
#include "LoggedTest.h"
#include "MediaFiles.h"
#include "MediaProbe.h"
#include "RecorderStrings.h"
#include "TaskRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kFastLine = "pictures as yuv420p from libyuv";

// A B,G,R,0 picture and its planes after a conversion.
struct TPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Bgr0;
  const uint8_t* Pixel(int AX, int AY) const {
    return Bgr0.data() + (static_cast<size_t>(AY) * Width + AX) * 4;
  }
};

struct TYuvPlanes {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Y, U, V; // rows without padding
  int ChromaWidth() const { return (Width + 1) / 2; }
  int ChromaHeight() const { return (Height + 1) / 2; }
};

// Every pixel a colour of its own, so that neighbouring rows differ: the
// scaler's chroma, filtered over more rows than two, then differs plainly
// from a 2x2 average.
TPicture NoisePicture(int AWidth, int AHeight, uint32_t ASeed) {
  TPicture picture{AWidth, AHeight,
                   std::vector<uint8_t>(static_cast<size_t>(AWidth) * AHeight * 4)};
  uint32_t state = ASeed;
  for (size_t i = 0; i < picture.Bgr0.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      state = state * 1664525u + 1013904223u;
      picture.Bgr0[i + c] = static_cast<uint8_t>(state >> 24);
    }
    picture.Bgr0[i + 3] = 0;
  }
  return picture;
}

// Four flat quadrants: red, green, blue and white.
TPicture QuadrantPicture(int AWidth, int AHeight) {
  TPicture picture{AWidth, AHeight,
                   std::vector<uint8_t>(static_cast<size_t>(AWidth) * AHeight * 4)};
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      static const uint8_t kColours[4][3] = {
          {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
      const uint8_t* bgr = kColours[(y >= AHeight / 2) * 2 + (x >= AWidth / 2)];
      uint8_t* pixel = picture.Bgr0.data() + (static_cast<size_t>(y) * AWidth + x) * 4;
      pixel[0] = bgr[0];
      pixel[1] = bgr[1];
      pixel[2] = bgr[2];
      pixel[3] = 0;
    }
  return picture;
}

// AFrames copies of APicture as a raw B,G,R,0 file, and the input options
// that read it at 15 frames a second.
std::string WriteRawInput(const std::string& AFile, const TPicture& APicture, int AFrames) {
  std::FILE* file = std::fopen(AFile.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + AFile);
  for (int i = 0; i < AFrames; ++i)
    std::fwrite(APicture.Bgr0.data(), 1, APicture.Bgr0.size(), file);
  std::fclose(file);
  return " -f rawvideo -pixel_format bgr0 -video_size " + std::to_string(APicture.Width) + "x" +
         std::to_string(APicture.Height) + " -framerate 15 ";
}

TYuvPlanes PlanesOf(const AVFrame& AFrame) {
  TYuvPlanes planes;
  planes.Width = AFrame.width;
  planes.Height = AFrame.height;
  const auto copy = [](const AVFrame& AFrom, int APlane, int AWidth, int AHeight,
                       std::vector<uint8_t>& ATo) {
    for (int y = 0; y < AHeight; ++y)
      ATo.insert(ATo.end(), AFrom.data[APlane] + static_cast<ptrdiff_t>(y) * AFrom.linesize[APlane],
                 AFrom.data[APlane] + static_cast<ptrdiff_t>(y) * AFrom.linesize[APlane] + AWidth);
  };
  copy(AFrame, 0, planes.Width, planes.Height, planes.Y);
  copy(AFrame, 1, planes.ChromaWidth(), planes.ChromaHeight(), planes.U);
  copy(AFrame, 2, planes.ChromaWidth(), planes.ChromaHeight(), planes.V);
  return planes;
}

// What the scaler makes of APicture at AWidth x AHeight with AFlags, as the
// graph's scale filter asks it.
TYuvPlanes ScalerConversion(const TPicture& APicture, int AWidth, int AHeight, int AFlags) {
  TSwsContextPtr scaler(AV.sws_getContext(APicture.Width, APicture.Height, AV_PIX_FMT_BGR0, AWidth,
                                          AHeight, AV_PIX_FMT_YUV420P, AFlags, nullptr, nullptr,
                                          nullptr));
  TFramePtr frame(AV.av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = AWidth;
  frame->height = AHeight;
  if (!scaler || AV.av_frame_get_buffer(frame.get(), 32) < 0) throw std::runtime_error("no scaler");
  const uint8_t* source[4] = {APicture.Bgr0.data(), nullptr, nullptr, nullptr};
  const int stride[4] = {APicture.Width * 4, 0, 0, 0};
  AV.sws_scale(scaler.get(), source, stride, 0, APicture.Height, frame->data, frame->linesize);
  return PlanesOf(*frame);
}

// BT.601 in limited range of the average colour of each 2x2 block.
void BoxChroma(const TPicture& APicture, std::vector<double>& AUPlane,
               std::vector<double>& AVPlane) {
  for (int y = 0; y < APicture.Height; y += 2)
    for (int x = 0; x < APicture.Width; x += 2) {
      double b = 0, g = 0, r = 0;
      int count = 0;
      for (int dy = 0; dy < 2 && y + dy < APicture.Height; ++dy)
        for (int dx = 0; dx < 2 && x + dx < APicture.Width; ++dx, ++count) {
          const uint8_t* p = APicture.Pixel(x + dx, y + dy);
          b += p[0];
          g += p[1];
          r += p[2];
        }
      b /= count;
      g /= count;
      r /= count;
      AUPlane.push_back(128 + (-0.168736 * r - 0.331264 * g + 0.5 * b) * 224 / 255);
      AVPlane.push_back(128 + (0.5 * r - 0.418688 * g - 0.081312 * b) * 224 / 255);
    }
}

int LargestDifference(const std::vector<uint8_t>& AOurs, const std::vector<uint8_t>& AExpected) {
  int largest = 0;
  for (size_t i = 0; i < AOurs.size() && i < AExpected.size(); ++i)
    largest = std::max(largest, std::abs(AOurs[i] - AExpected[i]));
  return AOurs.size() == AExpected.size() ? largest : 256;
}

double LargestDifference(const std::vector<uint8_t>& AOurs, const std::vector<double>& AExpected) {
  double largest = 0;
  for (size_t i = 0; i < AOurs.size() && i < AExpected.size(); ++i)
    largest = std::max(largest, std::abs(AOurs[i] - AExpected[i]));
  return AOurs.size() == AExpected.size() ? largest : 256;
}

class YuvConversion : public TLoggedTest {
protected:
  // Converts three frames of APicture through a task into raw yuv420p with
  // AOptions added; answers the pictures written.
  std::vector<TYuvPlanes> Convert(const TPicture& APicture, const std::string& AOptions) {
    const std::string input = WriteRawInput(Folder.File("source.raw"), APicture, 3);
    const std::string output = Folder.File("converted.nut");
    TTaskRun run;
    EXPECT_TRUE(run.Add(Folder.File("source.raw"), input, output,
                        " -c:v rawvideo -pix_fmt yuv420p -f nut " + AOptions))
        << run.Error;
    run.Start();
    EXPECT_TRUE(run.WaitForEnd());
    std::vector<TYuvPlanes> pictures;
    ForEachVideoPicture(output, [&](const AVFrame& AFrame) {
      EXPECT_EQ(AFrame.format, AV_PIX_FMT_YUV420P);
      pictures.push_back(PlanesOf(AFrame));
    });
    return pictures;
  }
  TTempFolder Folder;
};

TEST_F(YuvConversion, LumaIsTheScalersAndChromaTheAverageOfEach2x2Block) {
  // An odd size too: the last column and row have blocks of their own.
  for (const auto& [width, height] : {std::pair{64, 48}, std::pair{63, 47}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    Log.Clear();
    const TPicture source = NoisePicture(width, height, 7);
    const std::vector<TYuvPlanes> pictures = Convert(source, "");
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_GE(Log.Find(kFastLine), 0) << "the conversion was the scaler's";
    const TYuvPlanes scaler = ScalerConversion(source, width, height, SWS_BICUBIC);
    std::vector<double> u, v;
    BoxChroma(source, u, v);
    // The pattern tells the two ways apart: the scaler's chroma is not a
    // 2x2 average.
    ASSERT_GT(LargestDifference(scaler.U, u), 8);
    for (const TYuvPlanes& picture : pictures) {
      EXPECT_LE(LargestDifference(picture.Y, scaler.Y), 2);
      EXPECT_LE(LargestDifference(picture.U, u), 2.0);
      EXPECT_LE(LargestDifference(picture.V, v), 2.0);
    }
  }
}

struct TScalerCase {
  const char* Name;
  const char* Options;
  int Width, Height;
  int Flags; // the scaler's
};

class YuvConversionLeavesToTheScaler : public YuvConversion,
                                       public testing::WithParamInterface<TScalerCase> {};

// Whatever else the graph must do, the scaler does all of it, the
// conversion included.
TEST_P(YuvConversionLeavesToTheScaler, EveryOtherConversion) {
  const TScalerCase& c = GetParam();
  const TPicture source = NoisePicture(64, 48, 11);
  const std::vector<TYuvPlanes> pictures = Convert(source, c.Options);
  ASSERT_EQ(pictures.size(), 3u);
  EXPECT_EQ(Log.Find(kFastLine), -1);
  const TYuvPlanes scaler = ScalerConversion(source, c.Width, c.Height, c.Flags);
  for (const TYuvPlanes& picture : pictures) {
    ASSERT_EQ(picture.Width, c.Width);
    ASSERT_EQ(picture.Height, c.Height);
    EXPECT_LE(LargestDifference(picture.Y, scaler.Y), 1);
    EXPECT_LE(LargestDifference(picture.U, scaler.U), 1);
    EXPECT_LE(LargestDifference(picture.V, scaler.V), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, YuvConversionLeavesToTheScaler,
    testing::Values(TScalerCase{"Scaled", "-s 32x24", 32, 24, SWS_BICUBIC},
                    TScalerCase{"FilterOfItsOwn", "-vf setsar=1", 64, 48, SWS_BICUBIC},
                    TScalerCase{"OtherScalerFlags", "-sws_flags bilinear", 64, 48, SWS_BILINEAR}),
    [](const testing::TestParamInfo<TScalerCase>& AInfo) { return AInfo.param.Name; });

// The recorder's strings over what the device gives: every container but avi
// (raw pictures, no conversion) takes the fast way, and each file shows the
// picture.
TEST_F(YuvConversion, TheRecordersContainersShowThePicture) {
  constexpr int kFrames = 8;
  const TPicture source = QuadrantPicture(320, 240);
  const std::string input = WriteRawInput(Folder.File("quadrants.raw"), source, kFrames);
  for (const TRecorderContainer& c : RecorderContainers()) {
    SCOPED_TRACE(c.Extension);
    Log.Clear();
    const std::string file = Folder.File(std::string("recorded.") + c.Extension);
    TTaskRun run;
    ASSERT_TRUE(run.Add(Folder.File("quadrants.raw"), input, file, c.Options)) << run.Error;
    run.Start();
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(Log.Find(kFastLine) >= 0, std::string(c.Extension) != "avi");
    const std::vector<TDecodedPicture> pictures = DecodePictures(file);
    ASSERT_EQ(pictures.size(), static_cast<size_t>(kFrames));
    for (const TDecodedPicture& picture : pictures) {
      EXPECT_TRUE(picture.Near(80, 60, 255, 0, 0, 24));
      EXPECT_TRUE(picture.Near(240, 60, 0, 255, 0, 24));
      EXPECT_TRUE(picture.Near(80, 180, 0, 0, 255, 24));
      EXPECT_TRUE(picture.Near(240, 180, 255, 255, 255, 24));
    }
  }
}

} // namespace
