// The picture-to-bitmap converter of the hooks, on pictures made in the test
// and converted by the real libswscale.
#include "FormatConverter.h"
#include "Exception.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "LibAVOwners.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Counts the scaler contexts the converter asks for, passing each request on
// to the real libswscale.
int gScalerRequests = 0;
decltype(AV.sws_getCachedContext) gRealGetCachedContext = nullptr;
SwsContext* CountingGetCachedContext(SwsContext* AContext, int ASrcW, int ASrcH,
                                     AVPixelFormat ASrcFormat, int ADstW, int ADstH,
                                     AVPixelFormat ADstFormat, int AFlags, SwsFilter* ASrcFilter,
                                     SwsFilter* ADstFilter, const double* AParam) {
  ++gScalerRequests;
  return gRealGetCachedContext(AContext, ASrcW, ASrcH, ASrcFormat, ADstW, ADstH, ADstFormat, AFlags,
                               ASrcFilter, ADstFilter, AParam);
}

class FormatConverter : public ::testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    gScalerRequests = 0;
    gRealGetCachedContext = AV.sws_getCachedContext;
    AV.sws_getCachedContext = &CountingGetCachedContext;
  }
  void TearDown() override {
    if (gRealGetCachedContext) AV.sws_getCachedContext = gRealGetCachedContext;
  }

  // A frame of the libraries' allocator; AAlign is the row alignment.
  static TFramePtr MakeFrame(AVPixelFormat AFormat, int AWidth, int AHeight, int AAlign) {
    TFramePtr frame(AV.av_frame_alloc());
    frame->format = AFormat;
    frame->width = AWidth;
    frame->height = AHeight;
    EXPECT_EQ(AV.av_frame_get_buffer(frame.get(), AAlign), 0);
    return frame;
  }
  // A BGRA picture whose every pixel differs from its neighbours.
  static TFramePtr MakePatternBGRA(int AWidth, int AHeight, int AAlign) {
    TFramePtr frame = MakeFrame(AV_PIX_FMT_BGRA, AWidth, AHeight, AAlign);
    for (int y = 0; y < AHeight; ++y) {
      uint8_t* row = frame->data[0] + y * frame->linesize[0];
      for (int x = 0; x < AWidth; ++x) {
        row[4 * x + 0] = static_cast<uint8_t>(x * 4 + y);
        row[4 * x + 1] = static_cast<uint8_t>(y * 5 + x * 3);
        row[4 * x + 2] = static_cast<uint8_t>(255 - x * 2 - y);
        row[4 * x + 3] = 255;
      }
    }
    return frame;
  }
  static bool Convert(TFormatConverter& AConverter, const AVFrame* AFrame, bool ACopy = true) {
    return AConverter.PictureToBitmap(AFrame->data, AFrame->linesize,
                                      static_cast<AVPixelFormat>(AFrame->format), AFrame->height,
                                      AFrame->width, ACopy);
  }
};

TEST_F(FormatConverter, EvenBGRAOrBGR0WithTheBitmapsRowLengthIsShownWithoutConversion) {
  // B,G,R,0 (the capture device's 32-bit pictures) has the bitmap's layout too.
  for (AVPixelFormat format : {AV_PIX_FMT_BGRA, AV_PIX_FMT_BGR0}) {
    SCOPED_TRACE(AV.av_get_pix_fmt_name(format));
    TFramePtr frame = MakePatternBGRA(64, 48, 4);
    frame->format = format;
    ASSERT_EQ(frame->linesize[0], 64 * 4);
    TFormatConverter converter;

    ASSERT_TRUE(Convert(converter, frame.get())) << converter.LastError();
    EXPECT_FALSE(converter.Converted());
    EXPECT_EQ(gScalerRequests, 0) << "no scaler context for a picture already in the bitmap's format";
    EXPECT_EQ(converter.BufferSize(), 0u);
    EXPECT_EQ(converter.CurrentData()[0], frame->data[0]) << "the caller's picture, not a copy";
    const TBitmap& bitmap = converter.Bitmap();
    ASSERT_EQ(bitmap.Width(), 64);
    ASSERT_EQ(bitmap.Height(), 48);
    ASSERT_EQ(bitmap.BitsPerPixel(), 32);
    for (int y = 0; y < 48; ++y)
      ASSERT_EQ(std::memcmp(bitmap.ScanLine(y), frame->data[0] + y * frame->linesize[0], 64 * 4), 0)
          << "row " << y;

    // What a handler draws goes straight back into the frame.
    converter.Bitmap().ScanLine(10)[4 * 20 + 1] = 0xAB;
    ASSERT_TRUE(converter.CopyBitmapToPicture());
    EXPECT_EQ(frame->data[0][10 * frame->linesize[0] + 4 * 20 + 1], 0xAB);
  }
}

struct TConversionCase {
  const char* Name;
  AVPixelFormat Format;
  int Width, Height, Align;
};

class FormatConverterConverts : public FormatConverter,
                                public ::testing::WithParamInterface<TConversionCase> {};

// Each of these needs the converter's own RGB picture, and the bitmap still
// shows the source's pixels.
TEST_P(FormatConverterConverts, IntoItsOwnPicture) {
  const TConversionCase& c = GetParam();
  TFramePtr frame = c.Format == AV_PIX_FMT_BGRA ? MakePatternBGRA(c.Width, c.Height, c.Align)
                                                : MakeFrame(c.Format, c.Width, c.Height, c.Align);
  if (c.Format == AV_PIX_FMT_YUV420P) {
    // Full-range white in limited-range YUV: Y 235, no colour.
    for (int y = 0; y < c.Height; ++y)
      std::memset(frame->data[0] + y * frame->linesize[0], 235, c.Width);
    for (int p = 1; p < 3; ++p)
      for (int y = 0; y < c.Height / 2; ++y)
        std::memset(frame->data[p] + y * frame->linesize[p], 128, c.Width / 2);
  }
  TFormatConverter converter;
  ASSERT_TRUE(Convert(converter, frame.get())) << converter.LastError();
  EXPECT_TRUE(converter.Converted());
  EXPECT_EQ(gScalerRequests, 1);
  EXPECT_NE(converter.CurrentData()[0], frame->data[0]);
  const TBitmap& bitmap = converter.Bitmap();
  ASSERT_EQ(bitmap.Width(), c.Width);
  ASSERT_EQ(bitmap.Height(), c.Height);
  EXPECT_EQ(converter.CurrentLineSize()[0], bitmap.Stride());
  EXPECT_GE(converter.BufferSize(), static_cast<size_t>(bitmap.Stride()) * c.Height);
  for (int y = 0; y < c.Height; ++y)
    for (int x = 0; x < c.Width; ++x) {
      const uint8_t* got = bitmap.ScanLine(y) + 4 * x;
      if (c.Format == AV_PIX_FMT_BGRA) {
        const uint8_t* want = frame->data[0] + y * frame->linesize[0] + 4 * x;
        ASSERT_EQ(std::memcmp(got, want, 3), 0) << "pixel " << x << "," << y;
      } else {
        for (int k = 0; k < 3; ++k)
          ASSERT_GE(got[k], 253) << "pixel " << x << "," << y;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, FormatConverterConverts,
    ::testing::Values(TConversionCase{"OddWidthBGRA", AV_PIX_FMT_BGRA, 63, 48, 4},
                      TConversionCase{"OddHeightBGRA", AV_PIX_FMT_BGRA, 64, 47, 4},
                      TConversionCase{"PaddedRowsBGRA", AV_PIX_FMT_BGRA, 60, 40, 64},
                      TConversionCase{"YUV420P", AV_PIX_FMT_YUV420P, 64, 48, 0}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(FormatConverter, RefusesDepthsItCannotShow) {
  TFormatConverter converter;
  for (int bits : {12, 0, 1, 4, 64, -32}) {
    try {
      converter.SetBitsPixel(bits);
      ADD_FAILURE() << bits << " was taken";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid BitsPixel " + std::to_string(bits));
    }
  }
  EXPECT_EQ(converter.BitsPixel(), 32) << "a refused depth changes nothing";
}

TEST_F(FormatConverter, TheSameDepthKeepsThePictureAnotherResetsIt) {
  TFramePtr frame = MakePatternBGRA(64, 48, 4);
  TFormatConverter converter;
  ASSERT_TRUE(Convert(converter, frame.get()));
  converter.SetBitsPixel(32);
  EXPECT_EQ(converter.CurrentData()[0], frame->data[0]);
  converter.SetBitsPixel(24);
  EXPECT_EQ(converter.CurrentData()[0], nullptr);
  EXPECT_EQ(converter.BitmapPixFmt(), AV_PIX_FMT_BGR24);
  EXPECT_EQ(converter.Bitmap().BitsPerPixel(), 24);
  // 15 and 16 bit are different pixel layouts.
  converter.SetBitsPixel(15);
  converter.SetBitsPixel(16);
  EXPECT_EQ(converter.BitmapPixFmt(), AV_PIX_FMT_RGB565LE);
  EXPECT_EQ(converter.Bitmap().BitsPerPixel(), 16);
}

struct TDepthCase {
  int BitsPixel;
  int ChannelBits[3]; // blue, green, red
  // Pure red (255, 0, 0) as the bitmap stores it: a palette colour for 8
  // bit, else the pixel's bytes.
  std::vector<uint8_t> Red;
};

class FormatConverterDepths : public FormatConverter,
                              public ::testing::WithParamInterface<TDepthCase> {};

// A BGRA picture goes into a bitmap of the depth and back out; the pixels
// survive within the depth's precision, and the bitmap holds them in the
// DIB layout of the depth.
TEST_P(FormatConverterDepths, RoundTripWithinTheDepthsPrecision) {
  const TDepthCase& c = GetParam();
  const int width = 63, height = 34;
  TFramePtr source = MakePatternBGRA(width, height, 4);
  // Pure red at the top left.
  uint8_t* red = source->data[0];
  red[0] = 0;
  red[1] = 0;
  red[2] = 255;
  TFormatConverter converter;
  converter.SetBitsPixel(c.BitsPixel);
  ASSERT_TRUE(Convert(converter, source.get())) << converter.LastError();

  const TBitmap& bitmap = converter.Bitmap();
  EXPECT_EQ(bitmap.BitsPerPixel(), c.BitsPixel);
  EXPECT_EQ(bitmap.Stride(), TBitmap::RowStride(width, c.BitsPixel));
  if (c.BitsPixel == 8) {
    ASSERT_EQ(bitmap.Palette().size(), 256u);
    EXPECT_EQ(bitmap.Palette()[bitmap.ScanLine(0)[0]], 0xFF0000u);
  } else {
    EXPECT_EQ(std::vector<uint8_t>(bitmap.ScanLine(0), bitmap.ScanLine(0) + c.Red.size()), c.Red);
  }

  TFramePtr back = MakeFrame(AV_PIX_FMT_BGRA, width, height, 0);
  ASSERT_TRUE(converter.CopyBitmapToPicture());
  ASSERT_TRUE(converter.BitmapToPicture(back->data, back->linesize, AV_PIX_FMT_BGRA, height, width))
      << converter.LastError();
  int worst[3] = {};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k) {
        const int a = source->data[0][y * source->linesize[0] + 4 * x + k];
        const int b = back->data[0][y * back->linesize[0] + 4 * x + k];
        worst[k] = std::max(worst[k], std::abs(a - b));
      }
  // A pixel may be off by less than the distance between two levels of the
  // channel, and no more.
  for (int k = 0; k < 3; ++k)
    EXPECT_LT(worst[k] * ((1 << c.ChannelBits[k]) - 1), 255) << "channel " << k;
}

INSTANTIATE_TEST_SUITE_P(Depths, FormatConverterDepths,
                         ::testing::Values(TDepthCase{8, {2, 3, 3}, {}},
                                           TDepthCase{15, {5, 5, 5}, {0x00, 0x7C}},
                                           TDepthCase{16, {5, 6, 5}, {0x00, 0xF8}},
                                           TDepthCase{24, {8, 8, 8}, {0x00, 0x00, 0xFF}},
                                           TDepthCase{32, {8, 8, 8}, {0x00, 0x00, 0xFF}}),
                         [](const auto& AInfo) {
                           return std::to_string(AInfo.param.BitsPixel) + "Bit";
                         });

// The hook cycle on a decoder's picture: what the handler draws on the
// bitmap ends up in the YUV frame, and the rest of the frame stays.
TEST_F(FormatConverter, DrawingOnTheBitmapReachesAYUVPicture) {
  const int width = 64, height = 48;
  TFramePtr frame = MakeFrame(AV_PIX_FMT_YUV420P, width, height, 0);
  for (int y = 0; y < height; ++y)
    std::memset(frame->data[0] + y * frame->linesize[0], 16, width);
  for (int p = 1; p < 3; ++p)
    for (int y = 0; y < height / 2; ++y)
      std::memset(frame->data[p] + y * frame->linesize[p], 128, width / 2);
  TFormatConverter converter;
  ASSERT_TRUE(Convert(converter, frame.get()));
  // A white square from (16,16) to (31,31).
  for (int y = 16; y < 32; ++y)
    std::memset(converter.Bitmap().ScanLine(y) + 16 * 4, 255, 16 * 4);
  ASSERT_TRUE(converter.CopyBitmapToPicture());
  ASSERT_TRUE(
      converter.BitmapToPicture(frame->data, frame->linesize, AV_PIX_FMT_YUV420P, height, width))
      << converter.LastError();
  auto luma = [&](int x, int y) { return int{frame->data[0][y * frame->linesize[0] + x]}; };
  EXPECT_NEAR(luma(20, 20), 235, 2);
  EXPECT_NEAR(luma(31, 31), 235, 2);
  EXPECT_NEAR(luma(4, 4), 16, 2);
  EXPECT_NEAR(luma(40, 40), 16, 2);
  EXPECT_EQ(gScalerRequests, 2);
}

TEST_F(FormatConverter, BufferGrowsWithThePictureAndIsKeptWhenItShrinks) {
  TFormatConverter converter;
  TFramePtr small = MakePatternBGRA(63, 48, 4);
  TFramePtr large = MakePatternBGRA(127, 96, 4);
  TFramePtr tiny = MakePatternBGRA(31, 24, 4);
  ASSERT_TRUE(Convert(converter, small.get()));
  const size_t first = converter.BufferSize();
  EXPECT_EQ(first, 63u * 4 * 48);
  ASSERT_TRUE(Convert(converter, large.get()));
  const size_t grown = converter.BufferSize();
  EXPECT_EQ(grown, 127u * 4 * 96);
  ASSERT_TRUE(Convert(converter, tiny.get()));
  EXPECT_EQ(converter.BufferSize(), grown);
  // The bitmap follows the picture's size either way.
  EXPECT_EQ(converter.Bitmap().Width(), 31);
  EXPECT_EQ(converter.Bitmap().Height(), 24);
  EXPECT_EQ(std::memcmp(converter.Bitmap().ScanLine(23), tiny->data[0] + 23 * tiny->linesize[0], 3),
            0);
}

TEST_F(FormatConverter, FailuresAnswerFalseWithTheirText) {
  TFormatConverter converter;
  TFramePtr frame = MakePatternBGRA(64, 48, 4);
  uint8_t* const noData[4] = {};
  const int noLines[4] = {};

  EXPECT_FALSE(converter.BitmapToPicture(frame->data, frame->linesize, AV_PIX_FMT_BGRA, 48, 64))
      << "nothing converted yet";
  EXPECT_EQ(converter.LastError(), "No RGB picture of size 64x48 to convert");
  EXPECT_FALSE(converter.CopyBitmapToPicture());

  EXPECT_FALSE(converter.PictureToBitmap(noData, noLines, AV_PIX_FMT_BGRA, 0, 0, true));
  EXPECT_EQ(converter.LastError(), "Invalid picture size 0x0");

  // A hardware surface format cannot be read by the scaler.
  EXPECT_FALSE(
      converter.PictureToBitmap(frame->data, frame->linesize, AV_PIX_FMT_VAAPI, 48, 64, true));
  EXPECT_EQ(converter.LastError(), "Cannot initialize the toRGB conversion context");
  EXPECT_EQ(converter.CurrentData()[0], nullptr);

  ASSERT_TRUE(Convert(converter, frame.get()));
  EXPECT_FALSE(converter.BitmapToPicture(frame->data, frame->linesize, AV_PIX_FMT_VAAPI, 48, 64));
  EXPECT_EQ(converter.LastError(), "Cannot initialize the fromRGB conversion context");
  EXPECT_FALSE(converter.BitmapToPicture(frame->data, frame->linesize, AV_PIX_FMT_BGRA, 24, 32))
      << "another size than the picture's";

  // A handler that resizes the bitmap cannot make the copy overrun the picture.
  const uint8_t before = frame->data[0][0];
  converter.Bitmap().SetSize(128, 96, 32);
  std::memset(converter.Bitmap().Bits().data(), before ^ 0xFF, converter.Bitmap().Bits().size());
  EXPECT_FALSE(converter.CopyBitmapToPicture());
  EXPECT_EQ(converter.LastError(), "The bitmap's size or depth was changed");
  EXPECT_EQ(frame->data[0][0], before);
}

} // namespace
