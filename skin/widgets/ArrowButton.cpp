// The arrow button (see ArrowButton.h).
#include "ArrowButton.h"

#include "BuiltInStyles.h"
#include "SkinDraw.h"
#include "StylePainter.h"

#include <QPainter>

namespace {
constexpr uint8_t ButtonTransKey = 5; // "SKIN2_BUTTONTRANS"
constexpr int ButtonTransPosition = 2;
} // namespace

TkivArrowButton::TkivArrowButton(QWidget* AParent) : TkivCustomButton(AParent) {
  UIStyleChanged();
}

void TkivArrowButton::SetArrow(TkivArrowButtonType AValue) {
  FArrow = AValue;
  update();
}

void TkivArrowButton::SetFileTheme(TkivThemeComponent* ATheme) {
  SetBaseFileTheme(ATheme);
  SetUIStyle(UIStyle());
}

void TkivArrowButton::UIStyleChanged() {
  const TkivFileTheme* theme = FileTheme() ? &FileTheme()->Theme() : nullptr;
  const TkivStyleChoice choice = UsingFileTheme(theme, UIStyle());
  const int transparent = choice.UseFileTheme
                              ? theme->GetBool(ButtonTransKey)
                              : GetThemeBool(StyleNumber(choice.Style), ButtonTransPosition);
  SetTransparent(transparent != 0);
}

void TkivArrowButton::PaintPic(QPainter& ACanvas, const TBitmap& APicture) {
  // The picture as nine slices over the whole button; what it leaves out
  // stays the key colour and is not drawn.
  TBitmap sliced = FilledBitmap(width(), height(), SkinKeyColor);
  TSkinCanvas canvas(sliced);
  DrawNineSlice(APicture, canvas, {0, 0, width(), height()}, PictureTransparent());
  ACanvas.drawImage(0, 0, KeyedImage(sliced, SkinKeyColor));

  const int x = (width() - 6) / 2;
  const int y = (height() - 3) / 2;
  QPolygon triangle;
  if (FArrow == TkivArrowButtonType::kivUp)
    triangle << QPoint(x, y + 3) << QPoint(x + 3, y) << QPoint(x + 6, y + 3);
  else
    triangle << QPoint(x, y) << QPoint(x + 3, y + 3) << QPoint(x + 6, y);
  ACanvas.setRenderHint(QPainter::Antialiasing, false);
  ACanvas.setPen(Qt::black);
  ACanvas.setBrush(Qt::black);
  ACanvas.drawPolygon(triangle);
}
