// A form shaped by a picture: the host window takes the picture's
// non-transparent pixels as its region and its size, and is dragged by it.
#pragma once

#include "SkinQt.h"

#include <QWidget>

#include <functional>

class TkivSkinForm : public QWidget {
  Q_OBJECT
public:
  explicit TkivSkinForm(QWidget* AHost = nullptr);

  const TBitmap& Glyph() const { return FGlyph; }
  void SetGlyph(const TBitmap& AGlyph);
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor AValue);
  bool Dragging() const { return FDragging; }

  std::function<void(QObject* ASender)> OnRegionChanged;
  std::function<void(QObject* ASender)> OnPaint;
  std::function<void(QObject* ASender)> OnClick;

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
  void UpdateShape();

  TBitmap FGlyph;
  TColor FTransparentColor = 0xFF00FF;
  bool FDragging = false;
  QPoint FDragStart;
  QPoint FWindowStart;
};
