// What the picture, painter and optimisation suites share: a clock that
// moves only when a painter waits, the frames a painter composes, RGBA views
// of them, ImageMagick's coalesced frames, the top-level blocks of a GIF
// file, and loading and saving pictures with their warnings.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "ExternalProgram.h"
#include "GIFImage.h"
#include "GIFPainterClock.h"

// Waits pass at once and move the clock by their length; a wait without end
// (a painter that never advances by itself) really waits until woken.
class TFakeClock : public TGIFPainterClock {
public:
  int64_t Now() override { return FNow; }
  bool WaitFor(std::unique_lock<std::mutex>& ALock, std::condition_variable& AWake,
               int64_t AMilliseconds, const std::function<bool()>& AWoken) override;
  void Sleep(int64_t AMilliseconds) override;
  // Each timed wait and sleep, in order.
  std::vector<int64_t> Waits();

private:
  std::atomic<int64_t> FNow{1000};
  std::mutex FLock;
  std::vector<int64_t> FWaits;
};

// Plays the picture once by a painter in the caller's thread (with a fake
// clock) over a 32-bit canvas cleared to 0, and takes the canvas after each
// frame.
std::vector<TBitmap> ComposeFrames(TGIFImage& AImage,
                                   TGIFDrawFlags AOptions = gdAnimate | gdTransparent);

// R, G, B, A bytes of a 32-bit canvas (A is the fourth byte: 0 where
// nothing was drawn).
std::vector<uint8_t> CanvasRGBA(const TBitmap& ABitmap);

// ImageMagick's -coalesce frames of a file as RGBA; empty when convert fails.
std::vector<std::vector<uint8_t>> CoalescedFrames(const std::string& AFileName,
                                                  const TTempFolder& AFolder);

// "" when the frames show the same: the same transparency (alpha below 128
// or not) and, where opaque, the same colour. Otherwise the first difference.
std::string CompareRGBA(const std::vector<uint8_t>& AExpected, const std::vector<uint8_t>& AActual,
                        int AWidth);

// Offsets of a GIF file's top-level blocks after the header and the global
// table: extensions, images and, last, the trailer.
std::vector<size_t> BlockOffsets(const std::vector<uint8_t>& AFile);

struct TLoadedPicture {
  std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
  std::vector<std::string> Warnings;
  // The message of what the load raised; "" when it raised nothing.
  std::string Error;
};
TLoadedPicture LoadPicture(const std::vector<uint8_t>& AData);
std::vector<uint8_t> SavePicture(TGIFImage& AImage);

// Frames that hold an image (a file's extensions before the trailer make a
// frame without one).
std::vector<TGIFSubImage*> ImageFrames(TGIFImage& AImage);
// The loop count of the picture's loop extension; -1 without one.
int LoopCount(TGIFImage& AImage);
