// The picture class: one GIF picture (a header with the logical screen and
// the global colour table, and its frames) that reads and writes itself from
// and to streams, files and the clipboard, draws itself still or animated,
// converts to and from bitmaps and other graphics, and optimises itself.
// Frames are read and drawn in the main thread; painters in threads of their
// own reach the picture only through the main-thread queue.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "GIFCanvas.h"
#include "GIFHeader.h"
#include "GIFImageList.h"
#include "GIFPictureHost.h"
#include "GIFSettings.h"
#include "GIFStream.h"
#include "GIFSubImage.h"
#include "Graphic.h"
#include "PictureFormats.h"

class TGIFPainter;
class TGIFPainterClock;

class TGIFImage : public TGraphic, public TGIFPictureHost {
public:
  // Sender item, severity (1 for every warning of the codec), message.
  using TWarningEvent =
      std::function<void(TGIFImage& ASender, TGIFObject* AItem, int ASeverity, const std::string&)>;
  using TPainterEvent = std::function<void(TGIFPainter& ASender)>;

  TGIFImage();
  ~TGIFImage() override;

  // TGraphic
  std::string ClassName() const override { return "TGIFImage"; }
  bool Empty() const override { return FImages.Count() == 0; }
  int Width() const override { return FHeader.Width(); }
  int Height() const override { return FHeader.Height(); }
  // Smaller than a frame's right or bottom edge raises; the same value does
  // nothing.
  void SetWidth(int AValue);
  void SetHeight(int AValue);
  void LoadFromFile(const std::string& AFileName) override;
  // Writes a temporary file beside the target and renames it over the
  // target only when the whole picture was written: a failed save leaves an
  // existing file as it was.
  void SaveToFile(const std::string& AFileName) override;
  // Another picture is copied frame by frame; any other graphic becomes the
  // only frame.
  void Assign(TGraphic& ASource) override;
  void Assign(const TBitmap& ABitmap, const TBitmap* AMask = nullptr);
  void Assign(TPicture& APicture);
  void AssignTo(TBitmap& ADest) override;
  void LoadFromClipboardFormat(int AFormat, const TClipboardData& AData) override;
  void SaveToClipboardFormat(TClipboardData& AData) override;

  void LoadFromStream(TGIFStream& AStream);
  void SaveToStream(TGIFStream& AStream);
  // The picture as a form's stored data: optimised first when
  // OptimizeOnWrite is on.
  void WriteData(TGIFStream& AStream);
  void ReadData(TGIFStream& AStream) { LoadFromStream(AStream); }

  // Frame 0 alone (tiled or stretched), or the frames animated by a painter.
  void Draw(TGIFCanvas& ACanvas, const TGIFRect& ARect);
  TPalette GetPalette() override;
  void SetPalette(const TPalette& APalette);

  // Stops the painters and empties the picture.
  void Clear();
  // A new frame from the bitmap, the graphic or the frame; answers its index.
  int Add(const TBitmap& ABitmap, const TBitmap* AMask = nullptr);
  int Add(TGraphic& AGraphic);
  int Add(std::unique_ptr<TGIFSubImage> AFrame);
  // The composed picture: frame 0 on the logical screen; null when empty.
  TBitmap* GetBitmap();
  void NewBitmap();
  void FreeBitmap();
  TColor GetBackgroundColor();
  TGIFGlobalColorMap& GetGlobalColorMap() { return FHeader.ColorMap(); }
  bool ShouldDither() const override;

  // A painter for ACanvas and ARect, none when the picture is empty or the
  // rectangle is. A threaded one is returned to be started; one in the
  // caller's thread has run to its end before this returns (and answers
  // null), raising again what its body raised. *ARef, when given, is set to
  // the painter and cleared when it ends.
  TGIFPainter* CreatePainter(TGIFCanvas& ACanvas, TGIFDrawFlags AOptions, const TGIFRect& ARect,
                             TGIFPainter** ARef = nullptr);
  // Stops the painter that Draw started, then frees the cached bitmap.
  void StopDraw();
  // Stops every painter and waits for the threaded ones to end.
  void StopPainters();
  void Optimize(TGIFOptimizeOptions AOptions, TGIFColorReduction AColorReduction,
                unsigned AColorBits, TGIFDitherMode ADitherMode);

  TGIFImageList& Images() { return FImages; }
  TGIFSubImage& Frames(int AIndex) override { return FImages.Frames(AIndex); }

  // TGIFImageHost
  void ReportWarning(TGIFObject* ASender, int ASeverity, const std::string& AMessage) override;
  TGIFHeader& Header() override { return FHeader; }
  int FrameCount() const override { return FImages.Count(); }
  TGIFFrameBase& Frame(int AIndex) override { return FImages.Frames(AIndex); }
  int GetVersion() override;
  int GetColorResolution() override;
  int GetBitsPerPixel() override;
  TGIFCompression Compression() const override { return FCompression; }
  void GlobalColorMapChanged() override;

  // TGIFPictureHost
  TGIFFrameReduction FrameReduction() const override {
    return {ColorReduction, DitherMode, ReductionBits};
  }
  TColor GetDrawBackgroundColor() const override { return DrawBackgroundColor; }
  bool PaletteModified() const override { return TGraphic::PaletteModified(); }
  void FramePaletteChanged() override {
    SetPaletteModified(true);
    Changed();
  }
  // Progress of the picture's long operations, as its OnProgress reports it.
  void ReportProgress(TProgressStage AStage, int APercentDone, bool ARedrawNow,
                      const std::string& AMessage) override {
    Progress(AStage, APercentDone, ARedrawNow, AMessage);
  }
  void NotifyChanged() override { Changed(); }

  void SetCompression(TGIFCompression AValue) { FCompression = AValue; }

  TGIFDrawFlags DrawOptions = DefaultDrawOptions;
  TGIFColorReduction ColorReduction = DefaultColorReduction;
  unsigned ReductionBits = DefaultReductionBits;
  TGIFDitherMode DitherMode = DefaultDitherMode;
  TThreadPriority ThreadPriority = DefaultThreadPriority;
  // Percent of the stored delays; below 1 the painters never advance by themselves.
  int AnimationSpeed = DefaultAnimationSpeed;
  // clNone: restore-to-background uses the header's background colour.
  TColor DrawBackgroundColor = clNone;
  TWarningEvent OnCodecWarning;
  // Copied into every painter when it is made; they run in the main thread.
  TPainterEvent OnPaintStart, OnFramePaint, OnFramePainted, OnPaintLoop, OnPaintEnd;
  // The clock the painters wait by; the system's steady clock when null.
  std::shared_ptr<TGIFPainterClock> PainterClock;

private:
  friend class TGIFPainter;

  // A painter's thread has ended: it leaves the list and is freed here, in
  // the main thread, and what its body raised is raised again.
  void PainterEnded(TGIFPainter* APainter);
  std::unique_ptr<TGIFPainter> TakePainter(TGIFPainter* APainter);
  void CopyFrom(TGIFImage& ASource);
  void AssignFrame(const std::function<void(TGIFSubImage&)>& AAssign);

  bool FDrawing = false;
  bool FPaletteQuery = false;
  TGIFHeader FHeader;
  TGIFImageList FImages;
  TGIFCompression FCompression = DefaultCompression;
  TPalette FGlobalPalette;
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TGIFCanvas> FBitmapCanvas;

  // Guards the painter list and the draw painter; the main thread takes it.
  std::recursive_mutex FPaintersLock;
  std::vector<std::unique_ptr<TGIFPainter>> FPainters;
  TGIFPainter* FDrawPainter = nullptr;
  // Cleared by the destructor, so that a wait or a painter run that a
  // handler ended by freeing the picture knows it.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
