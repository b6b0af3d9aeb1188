// The preview window as a Qt widget: a tool window that stays on top, has
// only a close button, opens centred on the screen at the frame's size and
// is dragged by a press anywhere in it. RegisterPreviewWindow makes it the
// window of every task's preview.
#pragma once

#include "Previewer.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

class TBitmap;

class TPreviewerForm : public QWidget, public TPreviewWindow {
public:
  explicit TPreviewerForm(std::function<void()> AOnClosed);

  void ShowAt(int AWidth, int AHeight) override;
  void SetCaption(const std::string& ACaption) override;
  void Draw(const TBitmap& ABitmap) override;
  // The picture last drawn.
  const QImage& Picture() const { return FPicture; }

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void closeEvent(QCloseEvent* AEvent) override;

private:
  std::function<void()> FOnClosed;
  QImage FPicture;
  bool FDragging = false;
  QPoint FDragOffset; // from the pointer to the window's corner
};

// A copy of ABitmap as a Qt image (every depth of TBitmap).
QImage BitmapToImage(const TBitmap& ABitmap);

// Makes TPreviewerForm the window of the engine's previews; main thread.
void RegisterPreviewWindow();
void UnregisterPreviewWindow();
