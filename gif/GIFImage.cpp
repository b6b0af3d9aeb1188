// The picture class: loading, saving, assignment, palette, bitmap and
// drawing, and the bookkeeping of its painters.
#include "GIFImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "GIFError.h"
#include "GIFImageData.h"
#include "GIFMessages.h"
#include "GIFPainter.h"
#include "MainThread.h"

namespace {

// The file mode a new file gets: 0666 less the process's umask, read
// without changing it (umask() would race with other threads).
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0)
      return 0666 & ~static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 0644;
}

[[noreturn]] void RaiseFileError(const std::string& AText, const std::string& AFileName) {
  throw Exception(AText + " \"" + AFileName + "\". " + std::strerror(errno));
}

// Writes ABytes to a new file beside AFileName and renames it over
// AFileName, so that the old file stays whole until the new one is.
void ReplaceFile(const std::string& AFileName, const std::vector<uint8_t>& ABytes) {
  std::string target = AFileName;
  std::error_code error;
  if (std::filesystem::is_symlink(target, error)) {
    const std::filesystem::path resolved = std::filesystem::canonical(target, error);
    if (!error) target = resolved.string();
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  const mode_t mode = exists ? (existing.st_mode & 07777) : NewFileMode();

  std::random_device random;
  std::string temporary;
  int descriptor = -1;
  for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
    temporary = target + ".tmp" + std::to_string(random() % 1000000);
    descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0 && errno != EEXIST) RaiseFileError("Cannot create file", AFileName);
  }
  if (descriptor < 0) RaiseFileError("Cannot create file", AFileName);
  auto fail = [&](const char* AText) {
    const int saved = errno;
    ::close(descriptor);
    ::unlink(temporary.c_str());
    errno = saved;
    RaiseFileError(AText, AFileName);
  };
  size_t written = 0;
  while (written < ABytes.size()) {
    const ssize_t n = ::write(descriptor, ABytes.data() + written, ABytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("Stream write error:");
    written += static_cast<size_t>(n);
  }
  if (::fchmod(descriptor, mode) != 0 || ::fsync(descriptor) != 0) fail("Stream write error:");
  if (::close(descriptor) != 0) {
    ::unlink(temporary.c_str());
    RaiseFileError("Stream write error:", AFileName);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    RaiseFileError("Cannot create file", AFileName);
  }
}

// Sets a flag for the lifetime of the guard.
class TFlagGuard {
public:
  explicit TFlagGuard(bool& AFlag) : FFlag(AFlag) { FFlag = true; }
  ~TFlagGuard() { FFlag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
  bool& FFlag;
};

} // namespace

TGIFImage::TGIFImage() : FHeader(this), FImages(this) {
  Clear();
}

TGIFImage::~TGIFImage() {
  StopPainters();
  {
    // Painters that could not be waited for (one of them is calling this
    // picture's owner up the stack) lose their picture and free themselves.
    std::lock_guard lock(FPaintersLock);
    for (std::unique_ptr<TGIFPainter>& painter : FPainters) {
      painter->Detach();
      painter->ClearReference();
      painter.release();
    }
    FPainters.clear();
    FDrawPainter = nullptr;
  }
  *FAlive = false;
  FBitmapCanvas.reset();
  FBitmap.reset();
  FImages.Clear();
  TMainThread::Cancel(this);
}

void TGIFImage::ReportWarning(TGIFObject* ASender, int ASeverity, const std::string& AMessage) {
  TWarningEvent handler = OnCodecWarning;
  if (handler) handler(*this, ASender, ASeverity, AMessage);
}

void TGIFImage::GlobalColorMapChanged() {
  SetPalette({});
}

int TGIFImage::GetVersion() {
  int version = 0;
  for (int i = 0; i < FrameCount(); ++i)
    version = std::max(version, Frames(i).RequiredVersion());
  return version;
}

int TGIFImage::GetColorResolution() {
  int resolution = FHeader.ColorMap().BitsPerPixel() - 1;
  for (int i = 0; i < FrameCount(); ++i)
    resolution = std::max(resolution, Frames(i).ColorMap().BitsPerPixel() - 1);
  return std::max(resolution, 0);
}

int TGIFImage::GetBitsPerPixel() {
  int bits = FHeader.ColorMap().BitsPerPixel();
  for (int i = 0; i < FrameCount(); ++i)
    bits = std::max(bits, Frames(i).ColorMap().BitsPerPixel());
  return bits;
}

TColor TGIFImage::GetBackgroundColor() {
  return FHeader.BackgroundColor();
}

bool TGIFImage::ShouldDither() const {
  return (DrawOptions & gdDither) && (!(DrawOptions & gdDitherOnPaletteDisplay) || PaletteDisplay);
}

void TGIFImage::SetWidth(int AValue) {
  for (int i = 0; i < FrameCount(); ++i)
    if (Frames(i).Left() + Frames(i).Width() > AValue) GIFError(kMsgWidthTooSmall);
  if (AValue == Width()) return;
  FHeader.ScreenDescriptor().ScreenWidth = static_cast<uint16_t>(std::clamp(AValue, 0, 0xFFFF));
  FreeBitmap();
  Changed();
}

void TGIFImage::SetHeight(int AValue) {
  for (int i = 0; i < FrameCount(); ++i)
    if (Frames(i).Top() + Frames(i).Height() > AValue) GIFError(kMsgHeightTooSmall);
  if (AValue == Height()) return;
  FHeader.ScreenDescriptor().ScreenHeight = static_cast<uint16_t>(std::clamp(AValue, 0, 0xFFFF));
  FreeBitmap();
  Changed();
}

void TGIFImage::Clear() {
  StopPainters();
  FreeBitmap();
  FImages.Clear();
  FHeader.ColorMap().Clear();
  FHeader.ScreenDescriptor().ScreenWidth = 0;
  FHeader.ScreenDescriptor().ScreenHeight = 0;
  FHeader.Prepare();
  SetPalette({});
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> AFrame) {
  if (!AFrame || AFrame->Picture() != this) GIFError(kMsgUnsupportedObject);
  const int index = FImages.Add(std::move(AFrame));
  FreeBitmap();
  Changed();
  return index;
}

int TGIFImage::Add(const TBitmap& ABitmap, const TBitmap* AMask) {
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(ABitmap, AMask);
  return Add(std::move(frame));
}

int TGIFImage::Add(TGraphic& AGraphic) {
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(AGraphic);
  return Add(std::move(frame));
}

void TGIFImage::LoadFromStream(TGIFStream& AStream) {
  Progress(TProgressStage::psStarting, 0, false, kMsgLoading);
  try {
    Clear();
    const int64_t start = AStream.Position();
    try {
      FHeader.LoadFromStream(AStream);
      FImages.LoadFromStream(AStream);
      TGIFTrailer trailer(this);
      trailer.LoadFromStream(AStream);
    } catch (...) {
      AStream.SetPosition(start);
      throw;
    }
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, false, kMsgLoading);
    Changed();
    throw;
  }
  Progress(TProgressStage::psEnding, 100, false, kMsgLoading);
  Changed();
}

void TGIFImage::SaveToStream(TGIFStream& AStream) {
  Progress(TProgressStage::psStarting, 0, false, kMsgSaving);
  try {
    FHeader.SaveToStream(AStream);
    const int count = FrameCount();
    for (int i = 0; i < count; ++i) {
      Frames(i).SaveToStream(AStream);
      Progress(TProgressStage::psRunning, (i + 1) * 100 / count, false, kMsgSaving);
    }
    TGIFTrailer trailer(this);
    trailer.SaveToStream(AStream);
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, false, kMsgSaving);
    throw;
  }
  Progress(TProgressStage::psEnding, 100, false, kMsgSaving);
}

void TGIFImage::LoadFromFile(const std::string& AFileName) {
  TGIFFileStream stream(AFileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

void TGIFImage::SaveToFile(const std::string& AFileName) {
  TGIFMemoryStream stream;
  SaveToStream(stream);
  ReplaceFile(AFileName, stream.Data());
}

void TGIFImage::WriteData(TGIFStream& AStream) {
  if (OptimizeOnWrite) Optimize(ooAll, ColorReduction, ReductionBits, DitherMode);
  SaveToStream(AStream);
}

void TGIFImage::CopyFrom(TGIFImage& ASource) {
  Clear();
  // The source's handlers hear about the copy; afterwards the target has none.
  OnProgress = ASource.OnProgress;
  OnCodecWarning = ASource.OnCodecWarning;
  struct TDropHandlers {
    TGIFImage& Image;
    ~TDropHandlers() {
      Image.OnProgress = nullptr;
      Image.OnCodecWarning = nullptr;
    }
  } dropHandlers{*this};

  Progress(TProgressStage::psStarting, 0, false, kMsgCopying);
  try {
    FHeader.Assign(ASource.FHeader);
    ThreadPriority = ASource.ThreadPriority;
    DrawBackgroundColor = ASource.DrawBackgroundColor;
    DrawOptions = ASource.DrawOptions;
    ColorReduction = ASource.ColorReduction;
    DitherMode = ASource.DitherMode;
    OnPaintStart = ASource.OnPaintStart;
    OnFramePaint = ASource.OnFramePaint;
    OnFramePainted = ASource.OnFramePainted;
    OnPaintLoop = ASource.OnPaintLoop;
    OnPaintEnd = ASource.OnPaintEnd;
    const int count = ASource.FrameCount();
    for (int i = 0; i < count; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(this);
      frame->Assign(ASource.Frames(i));
      FImages.Add(std::move(frame));
      Progress(TProgressStage::psRunning, (i + 1) * 100 / count, false, kMsgCopying);
    }
  } catch (...) {
    Progress(TProgressStage::psEnding, 0, false, kMsgCopying);
    throw;
  }
  Progress(TProgressStage::psEnding, 100, false, kMsgCopying);
  FreeBitmap();
  Changed();
}

void TGIFImage::AssignFrame(const std::function<void(TGIFSubImage&)>& AAssign) {
  Clear();
  auto frame = std::make_unique<TGIFSubImage>(this);
  AAssign(*frame);
  Add(std::move(frame));
}

void TGIFImage::Assign(TGraphic& ASource) {
  if (&ASource == this) return;
  if (auto* picture = dynamic_cast<TGIFImage*>(&ASource)) {
    CopyFrom(*picture);
    return;
  }
  try {
    AssignFrame([&](TGIFSubImage& AFrame) { AFrame.Assign(ASource); });
  } catch (const EConvertError&) {
    TGraphic::Assign(ASource);
  }
}

void TGIFImage::Assign(const TBitmap& ABitmap, const TBitmap* AMask) {
  AssignFrame([&](TGIFSubImage& AFrame) { AFrame.Assign(ABitmap, AMask); });
}

void TGIFImage::Assign(TPicture& APicture) {
  if (!APicture.Graphic()) {
    Clear();
    return;
  }
  Assign(*APicture.Graphic());
}

void TGIFImage::AssignTo(TBitmap& ADest) {
  TBitmap* bitmap = GetBitmap();
  ADest.Assign(bitmap ? *bitmap : TBitmap());
}

TPalette TGIFImage::GetPalette() {
  if (FPaletteQuery) GIFError(kMsgNoColorTable);
  TFlagGuard query(FPaletteQuery);
  if (FBitmap && !FBitmap->Palette().empty()) return QuadsPalette(FBitmap->Palette());
  if (!FGlobalPalette.empty()) return FGlobalPalette;
  if (ShouldDither()) {
    FGlobalPalette = CreateNetscapePalette();
    return FGlobalPalette;
  }
  if (FHeader.ColorMap().Count() > 0) {
    FGlobalPalette = FHeader.ColorMap().ExportPalette();
    return FGlobalPalette;
  }
  if (FrameCount() > 0) return Frames(0).GetPalette();
  return {};
}

void TGIFImage::SetPalette(const TPalette& APalette) {
  if (APalette == FGlobalPalette) return;
  FGlobalPalette = APalette;
  if (FBitmap && QuadsPalette(FBitmap->Palette()) != APalette) {
    FreeBitmap();
    SetPaletteModified(true);
    Changed();
  }
}

void TGIFImage::NewBitmap() {
  if (FBitmap) return;
  // The composed picture is bounded as a frame is, before it is allocated:
  // a header may claim a screen of 65535 x 65535 pixels in a few bytes.
  CheckFrameSize(static_cast<size_t>(Width()), static_cast<size_t>(Height()));
  auto bitmap = std::make_unique<TBitmap>(Width(), Height(), 32);
  bitmap->Palette() = PaletteQuads(GetPalette());
  FBitmap = std::move(bitmap);
  FBitmapCanvas = std::make_unique<TGIFCanvas>(*FBitmap);
  // A change of the cached bitmap is a change of the picture.
  FBitmapCanvas->OnChange = [this] { Changed(); };
}

TBitmap* TGIFImage::GetBitmap() {
  if (Empty()) return nullptr;
  if (!FBitmap) {
    TGIFSubImage& first = Frames(0);
    if (first.Width() == Width() && first.Height() == Height()) {
      FBitmap = std::make_unique<TBitmap>(first.GetBitmap());
    } else {
      NewBitmap();
      first.Draw(*FBitmapCanvas, FBitmapCanvas->ClipRect(), false, false);
    }
  }
  return FBitmap.get();
}

void TGIFImage::FreeBitmap() {
  std::unique_ptr<TGIFPainter> stopped;
  {
    std::lock_guard lock(FPaintersLock);
    if (TGIFPainter* painter = FDrawPainter) {
      painter->Stop();
      if (painter->Threaded() && !painter->InCallback()) stopped = TakePainter(painter);
    }
  }
  if (stopped) {
    stopped->Join();
    if (std::exception_ptr error = stopped->SavedException())
      TMainThread::Post([error] { std::rethrow_exception(error); });
    stopped.reset();
  }
  FBitmapCanvas.reset();
  FBitmap.reset();
}

void TGIFImage::StopDraw() {
  FreeBitmap();
}

std::unique_ptr<TGIFPainter> TGIFImage::TakePainter(TGIFPainter* APainter) {
  std::lock_guard lock(FPaintersLock);
  auto it = std::find_if(
      FPainters.begin(), FPainters.end(),
      [&](const std::unique_ptr<TGIFPainter>& AItem) { return AItem.get() == APainter; });
  if (it == FPainters.end()) return nullptr;
  std::unique_ptr<TGIFPainter> painter = std::move(*it);
  FPainters.erase(it);
  if (FDrawPainter == APainter) FDrawPainter = nullptr;
  painter->ClearReference();
  return painter;
}

void TGIFImage::StopPainters() {
  std::vector<std::unique_ptr<TGIFPainter>> stopped;
  {
    std::lock_guard lock(FPaintersLock);
    for (auto it = FPainters.rbegin(); it != FPainters.rend(); ++it)
      (*it)->Stop();
    // Threaded painters are waited for, unless one is calling up the stack
    // right now: that one ends by itself once its call returns. Painters in
    // the caller's thread end when their body sees the stop.
    for (auto it = FPainters.begin(); it != FPainters.end();) {
      TGIFPainter* painter = it->get();
      if (painter->Threaded() && !painter->InCallback()) {
        if (FDrawPainter == painter) FDrawPainter = nullptr;
        painter->ClearReference();
        stopped.push_back(std::move(*it));
        it = FPainters.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (std::unique_ptr<TGIFPainter>& painter : stopped) {
    painter->Join();
    if (std::exception_ptr error = painter->SavedException())
      TMainThread::Post([error] { std::rethrow_exception(error); });
  }
  stopped.clear();
  FreeBitmap();
}

void TGIFImage::PainterEnded(TGIFPainter* APainter) {
  std::unique_ptr<TGIFPainter> painter = TakePainter(APainter);
  if (!painter) return;
  painter->Join();
  std::exception_ptr error = painter->SavedException();
  painter.reset();
  if (error) std::rethrow_exception(error);
}

TGIFPainter* TGIFImage::CreatePainter(TGIFCanvas& ACanvas, TGIFDrawFlags AOptions,
                                      const TGIFRect& ARect, TGIFPainter** ARef) {
  if (ARef) *ARef = nullptr;
  if (Empty() || ARect.IsEmpty()) return nullptr;
  if (FrameCount() == 1) AOptions &= static_cast<TGIFDrawFlags>(~(gdThreaded | gdAnimate));
  auto owned = std::make_unique<TGIFPainter>(*this, ACanvas, ARect, AOptions, ARef);
  TGIFPainter* painter = owned.get();
  {
    std::lock_guard lock(FPaintersLock);
    FPainters.push_back(std::move(owned));
  }
  if (ARef) *ARef = painter;
  if (AOptions & gdThreaded) return painter;

  // In the caller's thread: the whole animation runs now.
  std::shared_ptr<bool> alive = FAlive;
  painter->Animate();
  if (!*alive) {
    // A handler freed the picture; the painter was handed over to itself.
    std::unique_ptr<TGIFPainter> self(painter);
    std::exception_ptr error = self->SavedException();
    self.reset();
    if (error) std::rethrow_exception(error);
    return nullptr;
  }
  std::unique_ptr<TGIFPainter> finished = TakePainter(painter);
  std::exception_ptr error = painter->SavedException();
  finished.reset();
  if (error) std::rethrow_exception(error);
  return nullptr;
}

void TGIFImage::Draw(TGIFCanvas& ACanvas, const TGIFRect& ARect) {
  if (FDrawing || Empty()) return;
  TFlagGuard drawing(FDrawing);
  const bool tile = (DrawOptions & gdTile) != 0;
  if (FrameCount() == 1 || !(DrawOptions & gdAnimate)) {
    Frames(0).Draw(ACanvas, ARect, tile, (DrawOptions & gdTransparent) != 0);
    return;
  }

  const bool onCanvas = (DrawOptions & gdPaintOnCanvas) != 0;
  if (!FBitmap || onCanvas) {
    TGIFPainter* painter = nullptr;
    {
      std::lock_guard lock(FPaintersLock);
      if (FDrawPainter && &FDrawPainter->Canvas() == &ACanvas && FDrawPainter->Rect() == ARect)
        return;
      StopDraw();
      TGIFCanvas* target = &ACanvas;
      TGIFRect targetRect = ARect;
      if (!onCanvas) {
        NewBitmap();
        FBitmapCanvas->CopyRect(FBitmapCanvas->ClipRect(), ACanvas.Bitmap(), ARect);
        target = FBitmapCanvas.get();
        targetRect = FBitmapCanvas->ClipRect();
      }
      painter = CreatePainter(*target, DrawOptions, targetRect, &FDrawPainter);
      if (!painter) return;
      painter->Start();
    }
    if (onCanvas) return;
    // The first frame is awaited here, the main-thread queue served meanwhile.
    std::shared_ptr<bool> alive = FAlive;
    while (*alive && FDrawPainter == painter && !painter->Started())
      if (!TMainThread::ProcessWait(std::chrono::milliseconds(1))) std::this_thread::yield();
    if (!*alive) return;
  }
  if (!FBitmap) return;
  if (tile) {
    for (int y = ARect.Top; y < ARect.Bottom && Height() > 0; y += Height())
      for (int x = ARect.Left; x < ARect.Right && Width() > 0; x += Width())
        ACanvas.StretchDraw({x, y, x + Width(), y + Height()}, *FBitmap);
  } else {
    ACanvas.StretchDraw(ARect, *FBitmap);
  }
  ACanvas.Changed();
}

void TGIFImage::SaveToClipboardFormat(TClipboardData& AData) {
  if (Empty()) return;
  AData.Bitmap = *GetBitmap();
  TGIFMemoryStream stream;
  SaveToStream(stream);
  AData.Formats[GIFClipboardFormat] = stream.Data();
}

void TGIFImage::LoadFromClipboardFormat(int AFormat, const TClipboardData& AData) {
  if (AFormat == GIFClipboardFormat && GIFClipboardFormat != 0) {
    auto it = AData.Formats.find(AFormat);
    if (it != AData.Formats.end()) {
      TGIFMemoryStream stream(it->second);
      LoadFromStream(stream);
      return;
    }
  } else if (AFormat == CF_BITMAP && AData.Bitmap) {
    Assign(*AData.Bitmap);
    return;
  }
  GIFError(kMsgUnsupportedClipboardFormat);
}
