// The picture-shaped form (see SkinForm.h).
#include "SkinForm.h"

#include "SkinDraw.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

TkivSkinForm::TkivSkinForm(QWidget* AHost) : QWidget(AHost) {
  if (AHost && AHost->isWindow()) AHost->setWindowFlag(Qt::FramelessWindowHint, true);
  resize(200, 100);
}

void TkivSkinForm::SetGlyph(const TBitmap& AGlyph) {
  FGlyph = AGlyph;
  UpdateShape();
  update();
}

void TkivSkinForm::SetTransparentColor(TColor AValue) {
  FTransparentColor = AValue;
  UpdateShape();
  update();
}

void TkivSkinForm::UpdateShape() {
  if (FGlyph.Empty()) return;
  QWidget* host = window();
  if (host != this) host->setMask(ToRegion(RegionFromBitmap(FGlyph, FTransparentColor)));
  resize(FGlyph.Width(), FGlyph.Height());
  move(0, 0);
  if (host != this) host->resize(width(), height());
  if (OnRegionChanged) OnRegionChanged(this);
}

void TkivSkinForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!FGlyph.Empty()) {
    painter.drawImage(0, 0, ToQImage(FGlyph));
  } else {
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  if (OnPaint) OnPaint(this);
}

void TkivSkinForm::mousePressEvent(QMouseEvent* AEvent) {
  QWidget::mousePressEvent(AEvent);
  QWidget* host = window();
  if (host == this) return;
  QWindow* handle = host->windowHandle();
  if (handle && handle->startSystemMove()) return;
  // Without a window manager that moves windows, the picture moves it.
  FDragging = true;
  FDragStart = AEvent->globalPosition().toPoint();
  FWindowStart = host->pos();
}

void TkivSkinForm::mouseMoveEvent(QMouseEvent* AEvent) {
  QWidget::mouseMoveEvent(AEvent);
  if (FDragging) window()->move(FWindowStart + AEvent->globalPosition().toPoint() - FDragStart);
}

void TkivSkinForm::mouseReleaseEvent(QMouseEvent* AEvent) {
  QWidget::mouseReleaseEvent(AEvent);
  const bool wasDragging = FDragging;
  FDragging = false;
  if (rect().contains(AEvent->position().toPoint()) && OnClick &&
      (!wasDragging || window()->pos() == FWindowStart))
    OnClick(this);
}
