// The recordings' one colour conversion alone: a B,G,R,0 picture (what the
// capture device gives) into yuv420p of the same size, by the engine's
// libyuv path (TYuvConversion, pooled pictures, as the loop runs it) side by
// side with swscale as libavfilter's automatic conversion asks it (bicubic,
// one thread), in the same run, at 1920x1080 and 3840x2160. The pictures
// come in turn from a few sources larger together than the caches, as fresh
// screen grabs come. Prints the best and the median time of one picture
// over many and the ratio ours / swscale.
#include "LibAVFolder.h"
#include "LibAVOwners.h"
#include "YuvConversion.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
constexpr int kRounds = 60;
constexpr int kSources = 4;

// Windows of flat colour with rows of short dark bars like text over a
// gradient, and some noise: neither all flat nor all detail.
TFramePtr DesktopPicture(int AWidth, int AHeight, unsigned ASeed) {
  TFramePtr frame(AV.av_frame_alloc());
  frame->format = AV_PIX_FMT_BGR0;
  frame->width = AWidth;
  frame->height = AHeight;
  if (AV.av_frame_get_buffer(frame.get(), 32) < 0) return nullptr;
  std::mt19937 random(ASeed);
  for (int y = 0; y < AHeight; ++y) {
    uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
    for (int x = 0; x < AWidth; ++x) {
      uint8_t* pixel = row + x * 4;
      const bool window = (x / 400 + y / 300) % 2 == 0;
      const bool bar = window && y % 16 < 10 && (x / 6) % 7 != 0 && random() % 5 != 0;
      pixel[0] = bar ? 20 : window ? 235 : static_cast<uint8_t>(x * 255 / AWidth);
      pixel[1] = bar ? 20 : window ? 230 : static_cast<uint8_t>(y * 255 / AHeight);
      pixel[2] = bar ? 20 : window ? 225 : static_cast<uint8_t>(random() & 0x3f);
      pixel[3] = 0;
    }
  }
  return frame;
}

struct TTimes {
  double Best = 0, Median = 0; // milliseconds a picture
};

TTimes Time(const std::function<void()>& AConvert) {
  std::vector<double> times;
  AConvert(); // the first call makes contexts and pools
  for (int i = 0; i < kRounds; ++i) {
    const TClock::time_point began = TClock::now();
    AConvert();
    times.push_back(std::chrono::duration<double, std::milli>(TClock::now() - began).count());
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

bool RunSize(int AWidth, int AHeight) {
  std::vector<TFramePtr> sources;
  for (int i = 0; i < kSources; ++i)
    sources.push_back(DesktopPicture(AWidth, AHeight, static_cast<unsigned>(i + 1)));
  size_t next = 0;
  const auto source = [&]() -> const AVFrame& { return *sources[next++ % sources.size()]; };
  TFramePtr target(AV.av_frame_alloc());
  target->format = AV_PIX_FMT_YUV420P;
  target->width = AWidth;
  target->height = AHeight;
  TSwsContextPtr scaler(AV.sws_getContext(AWidth, AHeight, AV_PIX_FMT_BGR0, AWidth, AHeight,
                                          AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                          nullptr));
  if (std::count(sources.begin(), sources.end(), nullptr) || !scaler ||
      AV.av_frame_get_buffer(target.get(), 32) < 0) {
    std::fprintf(stderr, "no pictures or no scaler at %dx%d\n", AWidth, AHeight);
    return false;
  }
  TYuvConversion conversion;
  TFramePtr converted(AV.av_frame_alloc());
  bool failed = false;
  const TTimes ours = Time([&] {
    failed |= conversion.Convert(source(), converted.get()) < 0;
    AV.av_frame_unref(converted.get()); // back to the pool, as the loop gives it back
  });
  const TTimes peer = Time([&] {
    const AVFrame& picture = source();
    AV.sws_scale(scaler.get(), picture.data, picture.linesize, 0, AHeight, target->data,
                 target->linesize);
  });
  if (failed) {
    std::fprintf(stderr, "the conversion failed at %dx%d\n", AWidth, AHeight);
    return false;
  }
  std::printf("%4dx%-4d %12.3f %12.3f %12.3f %12.3f %9.3f\n", AWidth, AHeight, ours.Best,
              ours.Median, peer.Best, peer.Median, ours.Median / peer.Median);
  return true;
}

} // namespace

int main() {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("bgr0 -> yuv420p at the same size, one thread each, %d pictures after a first one\n",
              kRounds);
  std::printf("%-9s %12s %12s %12s %12s %9s\n", "size", "libyuv best", "libyuv med", "sws best",
              "sws med", "ratio");
  const bool ok = RunSize(1920, 1080) && RunSize(3840, 2160);
  std::printf(
      "ms a picture; ratio: medians, ours over swscale (bicubic, as libavfilter converts)\n");
  return ok ? 0 : 1;
}
