// The preview window of a task: TPreviewer shows the frames the preview step
// hands it in a small window of its own. The previewer is called from the
// task's thread; every window operation runs in the main thread.
//
// The engine holds no window code. The window comes from a factory that the
// host registers at start-up (the Qt preview library's
// RegisterPreviewWindow); without one a previewer shows nothing, says so in
// one log line and answers False, so that the preview step stops feeding it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TBitmap;

// A window that shows a task's frames. Made and used in the main thread only.
class TPreviewWindow {
public:
  virtual ~TPreviewWindow() = default;
  // Shows the window for the first time: AWidth x AHeight client area,
  // centred on the screen, above other windows.
  virtual void ShowAt(int AWidth, int AHeight) = 0;
  virtual void SetCaption(const std::string& ACaption) = 0;
  // Draws ABitmap at 0, 0 and returns when it is drawn.
  virtual void Draw(const TBitmap& ABitmap) = 0;
};

// Makes a window; AOnClosed is to be called (in the main thread) when the
// user closes it.
using TPreviewWindowFactory =
    std::function<std::unique_ptr<TPreviewWindow>(std::function<void()> AOnClosed)>;
// Registers the factory of the program's preview windows (null: none).
void SetPreviewWindowFactory(TPreviewWindowFactory AFactory);
bool HasPreviewWindowFactory();

// "hh:mm:ss.mmm" of APTS + 5 ms (microseconds), or "N/A" for an unset time.
std::string PreviewCaption(int64_t APTS);

class TPreviewer {
public:
  TPreviewer() = default;
  // Frees the window in the main thread (waits for it there).
  ~TPreviewer();
  TPreviewer(const TPreviewer&) = delete;
  TPreviewer& operator=(const TPreviewer&) = delete;

  // Shows the frame, creating the window on the first one, and returns when
  // it is drawn; ABitmap must stay valid until then. Answers False, without
  // drawing, once the user has closed the window (for good) or when there is
  // no window to show.
  bool ShowFrame(const TBitmap& ABitmap, int AFrameNumber, int64_t APTS);
  bool Closed() const { return FClosed.load(); }

private:
  void DrawFrame(); // main thread

  std::unique_ptr<TPreviewWindow> FWindow; // made and freed in the main thread
  std::atomic<bool> FClosed{false};
  bool FNoWindowLogged = false;
  // The frame being shown, handed to the main thread.
  const TBitmap* FBitmap = nullptr;
  int FFrameNumber = 0;
  int64_t FPTS = 0;
};
