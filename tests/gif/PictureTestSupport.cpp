// Shared helpers of the picture suites (see PictureTestSupport.h).
#include "PictureTestSupport.h"

#include "GIFAppExtensions.h"
#include "GIFPainter.h"

bool TFakeClock::WaitFor(std::unique_lock<std::mutex>& ALock, std::condition_variable& AWake,
                         int64_t AMilliseconds, const std::function<bool()>& AWoken) {
  if (AWoken()) return true;
  if (AMilliseconds < 0) {
    AWake.wait(ALock, AWoken);
    return true;
  }
  Sleep(AMilliseconds);
  return AWoken();
}

void TFakeClock::Sleep(int64_t AMilliseconds) {
  std::lock_guard lock(FLock);
  FWaits.push_back(AMilliseconds);
  FNow += AMilliseconds;
}

std::vector<int64_t> TFakeClock::Waits() {
  std::lock_guard lock(FLock);
  return FWaits;
}

std::vector<TBitmap> ComposeFrames(TGIFImage& AImage, TGIFDrawFlags AOptions) {
  std::vector<TBitmap> frames;
  TBitmap target(AImage.Width(), AImage.Height(), 32);
  TGIFCanvas canvas(target);
  auto savedClock = AImage.PainterClock;
  auto savedEvent = AImage.OnFramePainted;
  AImage.PainterClock = std::make_shared<TFakeClock>();
  AImage.OnFramePainted = [&](TGIFPainter&) { frames.push_back(target); };
  try {
    AImage.CreatePainter(canvas, static_cast<TGIFDrawFlags>(AOptions & ~gdThreaded),
                         canvas.ClipRect());
  } catch (...) {
    AImage.PainterClock = savedClock;
    AImage.OnFramePainted = savedEvent;
    throw;
  }
  AImage.PainterClock = savedClock;
  AImage.OnFramePainted = savedEvent;
  // A one-frame picture is drawn without a painter event.
  if (AImage.FrameCount() == 1 && frames.empty()) frames.push_back(target);
  return frames;
}

std::vector<uint8_t> CanvasRGBA(const TBitmap& ABitmap) {
  std::vector<uint8_t> rgba;
  rgba.reserve(static_cast<size_t>(ABitmap.Width()) * ABitmap.Height() * 4);
  for (int y = 0; y < ABitmap.Height(); ++y) {
    const uint8_t* row = ABitmap.ScanLine(y);
    for (int x = 0; x < ABitmap.Width(); ++x)
      rgba.insert(rgba.end(), {row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]});
  }
  return rgba;
}

std::vector<std::vector<uint8_t>> CoalescedFrames(const std::string& AFileName,
                                                  const TTempFolder& AFolder) {
  const std::string pattern = AFolder.Path("coalesced-%d.rgba");
  if (RunProgram(
          {"convert", AFileName, "-coalesce", "+adjoin", "-depth", "8", "rgba:" + pattern}) != 0)
    return {};
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0;; ++i) {
    std::vector<uint8_t> frame =
        ReadFileBytes(AFolder.Path("coalesced-" + std::to_string(i) + ".rgba"));
    if (frame.empty()) break;
    frames.push_back(std::move(frame));
  }
  return frames;
}

std::string CompareRGBA(const std::vector<uint8_t>& AExpected, const std::vector<uint8_t>& AActual,
                        int AWidth) {
  if (AExpected.size() != AActual.size())
    return "sizes differ: " + std::to_string(AExpected.size()) + " and " +
           std::to_string(AActual.size());
  for (size_t i = 0; i + 3 < AExpected.size(); i += 4) {
    const bool expectedOpaque = AExpected[i + 3] >= 128;
    const bool actualOpaque = AActual[i + 3] >= 128;
    const bool same =
        expectedOpaque == actualOpaque &&
        (!expectedOpaque || (AExpected[i] == AActual[i] && AExpected[i + 1] == AActual[i + 1] &&
                             AExpected[i + 2] == AActual[i + 2]));
    if (!same) {
      const size_t pixel = i / 4;
      auto text = [&](const std::vector<uint8_t>& A) {
        std::string result(1, '(');
        for (size_t c = 0; c < 4; ++c) {
          if (c > 0) result += ',';
          result += std::to_string(A[i + c]);
        }
        result += ')';
        return result;
      };
      std::string message = "pixel (";
      message += std::to_string(pixel % static_cast<size_t>(AWidth));
      message += ", ";
      message += std::to_string(pixel / static_cast<size_t>(AWidth));
      message += "): expected ";
      message += text(AExpected);
      message += ", got ";
      message += text(AActual);
      return message;
    }
  }
  return "";
}

std::vector<size_t> BlockOffsets(const std::vector<uint8_t>& AFile) {
  std::vector<size_t> offsets;
  if (AFile.size() < 13) return offsets;
  size_t at = 13;
  if (AFile[10] & 0x80) at += 3 * (size_t{2} << (AFile[10] & 7));
  auto skipSubBlocks = [&] {
    while (at < AFile.size() && AFile[at] != 0)
      at += AFile[at] + 1;
    ++at;
  };
  while (at < AFile.size()) {
    offsets.push_back(at);
    const uint8_t kind = AFile[at];
    if (kind == ';') break;
    if (kind == '!') {
      at += 2;
      skipSubBlocks();
    } else if (kind == ',') {
      const uint8_t packed = AFile[at + 9];
      at += 10;
      if (packed & 0x80) at += 3 * (size_t{2} << (packed & 7));
      ++at; // minimum code size
      skipSubBlocks();
    } else {
      break;
    }
  }
  return offsets;
}

TLoadedPicture LoadPicture(const std::vector<uint8_t>& AData) {
  TLoadedPicture loaded;
  std::vector<std::string>* warnings = &loaded.Warnings;
  loaded.Image->OnCodecWarning = [warnings](TGIFImage&, TGIFObject*, int,
                                            const std::string& AMessage) {
    warnings->push_back(AMessage);
  };
  try {
    TGIFMemoryStream stream(AData);
    loaded.Image->LoadFromStream(stream);
  } catch (const std::exception& AError) {
    loaded.Error = AError.what();
  }
  return loaded;
}

std::vector<uint8_t> SavePicture(TGIFImage& AImage) {
  TGIFMemoryStream stream;
  AImage.SaveToStream(stream);
  return stream.Data();
}

std::vector<TGIFSubImage*> ImageFrames(TGIFImage& AImage) {
  std::vector<TGIFSubImage*> frames;
  for (int i = 0; i < AImage.FrameCount(); ++i)
    if (!AImage.Frames(i).Empty()) frames.push_back(&AImage.Frames(i));
  return frames;
}

int LoopCount(TGIFImage& AImage) {
  for (int i = 0; i < AImage.FrameCount(); ++i)
    for (int e = 0; e < AImage.Frames(i).Extensions().Count(); ++e)
      if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(AImage.Frames(i).Extensions().Extensions(e)))
        return loop->Loops();
  return -1;
}
