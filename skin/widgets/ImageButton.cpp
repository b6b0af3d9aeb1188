// The picture button (see ImageButton.h).
#include "ImageButton.h"

#include <QPainter>

TkivImageButton::TkivImageButton(QWidget* AParent) : TkivCustomButton(AParent) {}

void TkivImageButton::SetStretch(bool AValue) {
  FStretch = AValue;
  update();
}

void TkivImageButton::SetDrawFocused(bool AValue) {
  FDrawFocused = AValue;
  update();
}

void TkivImageButton::SetPicture(TBitmap& AField, const TBitmap& APicture) {
  AField = APicture;
  AutoSizeChanged();
  update();
}

void TkivImageButton::AutoSizeChanged() {
  if (parentWidget() && AutoSize() && !FPicNormal.Empty())
    resize(FPicNormal.Width(), FPicNormal.Height());
}

void TkivImageButton::PaintPic(QPainter& ACanvas, const TBitmap& APicture) {
  if (APicture.Empty()) return;
  const QImage image =
      PictureTransparent() ? KeyedImage(APicture, TopLeftColor(APicture)) : ToQImage(APicture);
  if (FStretch)
    ACanvas.drawImage(rect(), image);
  else
    ACanvas.drawImage(0, 0, image);
}

void TkivImageButton::PaintFocus(QPainter& ACanvas) {
  if (FDrawFocused) TkivCustomButton::PaintFocus(ACanvas);
}
