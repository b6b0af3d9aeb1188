// LZW encode and decode of 1920 x 1080 8-bit pictures (desktop-like,
// gradient, noise), the codec side by side with giflib's EGifPutLine and
// DGifGetLine in the same run. Both decoders read the same giflib-written
// data. Prints the best of several runs and the ratio ours / giflib.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <gif_lib.h>

#include "GIFImageData.h"
#include "GIFStream.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 7;

using TBytes = std::vector<uint8_t>;

// Windows on a plain background: title bars, text-like glyph rows, a few
// icons and one gradient panel.
TBytes Desktop() {
  TBytes pixels(static_cast<size_t>(kWidth) * kHeight, 17);
  std::mt19937 random(1);
  auto fill = [&](int ALeft, int ATop, int AWidth, int AHeight, uint8_t AColor) {
    for (int y = ATop; y < std::min(ATop + AHeight, kHeight); ++y)
      std::fill_n(pixels.begin() + y * kWidth + ALeft, std::min(AWidth, kWidth - ALeft), AColor);
  };
  for (int window = 0; window < 6; ++window) {
    int left = static_cast<int>(random() % 1200);
    int top = static_cast<int>(random() % 600);
    int width = 400 + static_cast<int>(random() % 500);
    int height = 250 + static_cast<int>(random() % 400);
    fill(left, top, width, height, 250);
    fill(left, top, width, 28, static_cast<uint8_t>(60 + window));
    for (int line = top + 40; line + 12 < std::min(top + height, kHeight); line += 18) {
      for (int x = left + 10; x + 8 < std::min(left + width - 10, kWidth); x += 9) {
        if (random() % 7 == 0) continue; // a space
        for (int dy = 0; dy < 11; ++dy)
          for (int dx = 0; dx < 7; ++dx)
            if (random() % 3 == 0) pixels[static_cast<size_t>(line + dy) * kWidth + x + dx] = 0;
      }
    }
  }
  for (int y = 700; y < 1000; ++y)
    for (int x = 1300; x < 1900; ++x)
      pixels[static_cast<size_t>(y) * kWidth + x] = static_cast<uint8_t>(100 + (x - 1300) / 8);
  return pixels;
}

TBytes Gradient() {
  TBytes pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      pixels[static_cast<size_t>(y) * kWidth + x] =
          static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight));
  return pixels;
}

TBytes Noise() {
  TBytes pixels(static_cast<size_t>(kWidth) * kHeight);
  std::mt19937 random(2);
  for (uint8_t& pixel : pixels)
    pixel = static_cast<uint8_t>(random());
  return pixels;
}

double BestMilliseconds(const std::function<void()>& AWork) {
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    AWork();
    std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

TBytes OursEncode(const TBytes& APixels) {
  TGIFMemoryStream stream;
  WriteImageData(stream, APixels.data(), kWidth, kHeight, false, 8, 256, TGIFCompression::ccLZW);
  return stream.Data();
}

TBytes OursDecode(const TBytes& AImageData) {
  TGIFMemoryStream stream(AImageData);
  return ReadImageData(stream, kWidth, kHeight, false, 0, nullptr);
}

int WriteToVector(GifFileType* AFile, const GifByteType* ABytes, int ACount) {
  auto* out = static_cast<TBytes*>(AFile->UserData);
  out->insert(out->end(), ABytes, ABytes + ACount);
  return ACount;
}

struct TReader {
  const TBytes* Data;
  size_t Position;
};

int ReadFromVector(GifFileType* AFile, GifByteType* ABytes, int ACount) {
  auto* reader = static_cast<TReader*>(AFile->UserData);
  size_t count =
      std::min<size_t>(static_cast<size_t>(ACount), reader->Data->size() - reader->Position);
  std::memcpy(ABytes, reader->Data->data() + reader->Position, count);
  reader->Position += count;
  return static_cast<int>(count);
}

// A whole file: screen, 256-entry grey table, one frame.
TBytes GiflibEncode(const TBytes& APixels) {
  TBytes out;
  int error = 0;
  GifFileType* file = EGifOpen(&out, WriteToVector, &error);
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i)
    colors[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(i),
                             static_cast<GifByteType>(i)};
  ColorMapObject* map = GifMakeMapObject(256, colors);
  EGifPutScreenDesc(file, kWidth, kHeight, 8, 0, map);
  EGifPutImageDesc(file, 0, 0, kWidth, kHeight, false, nullptr);
  for (int y = 0; y < kHeight; ++y)
    EGifPutLine(file, const_cast<GifPixelType*>(APixels.data() + static_cast<size_t>(y) * kWidth),
                kWidth);
  EGifCloseFile(file, &error);
  GifFreeMapObject(map);
  return out;
}

TBytes GiflibDecode(const TBytes& AFile) {
  TReader reader{&AFile, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&reader, ReadFromVector, &error);
  TBytes pixels(static_cast<size_t>(kWidth) * kHeight);
  GifRecordType record;
  while (DGifGetRecordType(file, &record) == GIF_OK && record != IMAGE_DESC_RECORD_TYPE) {
  }
  DGifGetImageDesc(file);
  for (int y = 0; y < kHeight; ++y)
    DGifGetLine(file, pixels.data() + static_cast<size_t>(y) * kWidth, kWidth);
  DGifCloseFile(file, &error);
  return pixels;
}

// The image data of a giflib file: behind the 13-byte screen, the 768-byte
// table and the 10-byte image descriptor, before the trailer.
TBytes ImageDataOf(const TBytes& AFile) {
  return TBytes(AFile.begin() + 13 + 768 + 10, AFile.end() - 1);
}

} // namespace

int main() {
  struct TPicture {
    const char* Name;
    TBytes Pixels;
  };
  TPicture pictures[] = {{"desktop", Desktop()}, {"gradient", Gradient()}, {"noise", Noise()}};

  std::printf("LZW, %d x %d, 8 bits per pixel, best of %d runs\n", kWidth, kHeight, kRuns);
  std::printf("%-9s %-7s %10s %10s %7s %12s %12s\n", "picture", "step", "ours ms", "giflib ms",
              "ratio", "ours bytes", "giflib bytes");
  for (const TPicture& picture : pictures) {
    TBytes ours = OursEncode(picture.Pixels);
    TBytes theirs = GiflibEncode(picture.Pixels);
    TBytes data = ImageDataOf(theirs);
    if (OursDecode(data) != picture.Pixels || GiflibDecode(theirs) != picture.Pixels ||
        OursDecode(ours) != picture.Pixels) {
      std::printf("%s: decoded pixels differ, figures would mean nothing\n", picture.Name);
      return 1;
    }

    double encodeOurs = BestMilliseconds([&] { OursEncode(picture.Pixels); });
    double encodeTheirs = BestMilliseconds([&] { GiflibEncode(picture.Pixels); });
    double decodeOurs = BestMilliseconds([&] { OursDecode(data); });
    double decodeTheirs = BestMilliseconds([&] { GiflibDecode(theirs); });
    std::printf("%-9s %-7s %10.2f %10.2f %7.2f %12zu %12zu\n", picture.Name, "encode", encodeOurs,
                encodeTheirs, encodeOurs / encodeTheirs, ours.size(), data.size());
    std::printf("%-9s %-7s %10.2f %10.2f %7.2f\n", picture.Name, "decode", decodeOurs, decodeTheirs,
                decodeOurs / decodeTheirs);
  }
  return 0;
}
