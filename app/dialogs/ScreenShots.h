// The region picker: a full-screen window over a frozen, dimmed picture of
// the desktop, in which the user drags a rectangle or clicks a window to
// take its rectangle, with a magnifier, eight handles to resize, moving by
// dragging the inside, and "Ok" that writes the rectangle into the region
// edits. A right click drops the selection, or without one closes the picker.
#pragma once

#include "RegionEdits.h"
#include "WindowList.h"
#include "XConnection.h"

#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class TfrmScreenShots : public QWidget {
public:
  enum TState : uint8_t { stHover = 0, stDrawing = 1, stSelected = 2 };
  static constexpr int kInside = 9, kOutside = 8;

  explicit TfrmScreenShots(const TRegionEdits& AEdits);
  ~TfrmScreenShots() override;

  // Takes the desktop picture and the window list, then shows the picker
  // (nothing happens while it is shown).
  void Open();

  TState State() const { return FState; }
  // Corners as the user set them, both inside the selection.
  const QRect& Selection() const { return FSelection; }
  const QRect& HoverRect() const { return FHoverRect; }
  QWidget* ToolPanel() const { return FPanel; }
  QPushButton* OkButton() const { return FOk; }
  QPushButton* CancelButton() const { return FCancel; }
  // Where the magnifier and the information box were drawn last.
  const QRect& MagnifierRect() const { return FMagnifier; }
  const QRect& InfoRect() const { return FInfo; }
  // The lines of the information box, as drawn last.
  const QStringList& InfoLines() const { return FInfoLines; }
  const QImage& Capture() const { return FCapture; }

  void SBPrintClick();
  void SBExitClick() { hide(); }

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
  int HitTest(const QPoint& APoint) const;
  void UpdateHandles();
  void UpdateCursor(int AHit);
  void UpdateHover(const QPoint& AGlobal);
  void PlaceToolPanel();
  void Foreground();
  void DrawMagnifier(class QPainter& APainter, const QPoint& ACursor);
  void DrawInfoBox(QPainter& APainter, const QPoint& ACursor);
  QRgb CapturePixel(const QPoint& APoint) const;

  TRegionEdits FEdits;
  TXConnection FX;
  std::unique_ptr<TWindowList> FWindowList;
  QImage FCapture;
  QPoint FPressPoint;
  QRect FAnchor; // the selection when the button went down
  QRect FSelection;
  TState FState = stHover;
  std::array<QRect, 8> FHandleRects{};
  int FHit = kOutside;
  QRect FHoverRect;
  bool FSnap = true;
  bool FDragging = false;
  QTimer FTimer;
  QWidget* FPanel = nullptr;
  QPushButton* FOk = nullptr;
  QPushButton* FCancel = nullptr;
  QRect FMagnifier, FInfo;
  QStringList FInfoLines;
};
