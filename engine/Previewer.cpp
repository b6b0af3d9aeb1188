// The preview window of a task (see Previewer.h).
#include "Previewer.h"

#include "Bitmap.h"
#include "FFLog.h"
#include "FFText.h"
#include "FFUtils.h"
#include "LibAV.h"

#include <mutex>

namespace {

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

TPreviewWindowFactory& Factory() {
  static TPreviewWindowFactory factory;
  return factory;
}

TPreviewWindowFactory CurrentFactory() {
  std::lock_guard lock(FactoryLock());
  return Factory();
}

} // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory AFactory) {
  std::lock_guard lock(FactoryLock());
  Factory() = std::move(AFactory);
}

bool HasPreviewWindowFactory() {
  std::lock_guard lock(FactoryLock());
  return static_cast<bool>(Factory());
}

std::string PreviewCaption(int64_t APTS) {
  if (APTS == AV_NOPTS_VALUE) return "N/A";
  // Rounded to the nearest millisecond by the 5 ms the caption has always
  // added; a time before 0 shows as 0.
  const int64_t ms = APTS < -5000 ? 0 : (APTS + 5000) / 1000;
  return FormatText("%.2d:%.2d:%.2d.%.3d", static_cast<int>(ms / 3600000),
                    static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                    static_cast<int>(ms % 1000));
}

TPreviewer::~TPreviewer() {
  if (!FWindow) return;
  try {
    CallInMainThread([this] { FWindow.reset(); });
  } catch (...) {
  }
}

bool TPreviewer::ShowFrame(const TBitmap& ABitmap, int AFrameNumber, int64_t APTS) {
  if (FClosed) return false;
  FBitmap = &ABitmap;
  FFrameNumber = AFrameNumber;
  FPTS = APTS;
  CallInMainThread([this] { DrawFrame(); });
  FBitmap = nullptr;
  return !FClosed;
}

void TPreviewer::DrawFrame() {
  if (FClosed) return;
  if (!FWindow) {
    TPreviewWindowFactory factory = CurrentFactory();
    if (factory) FWindow = factory([this] { FClosed = true; });
    if (!FWindow) {
      // Nothing can show the frames: the preview ends here, as if closed.
      FClosed = true;
      if (!FNoWindowLogged)
        FFLogger().Log(this, TLogLevel::llInfo,
                       "no preview window in this program: the preview shows nothing");
      FNoWindowLogged = true;
      return;
    }
    FWindow->ShowAt(FBitmap->Width(), FBitmap->Height());
  }
  FWindow->SetCaption(PreviewCaption(FPTS));
  FWindow->Draw(*FBitmap);
}
