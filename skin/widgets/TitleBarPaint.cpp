// Painting the title bar (see TitleBar.h): its sections, its buttons in
// their states, the application icon and the caption.
#include "TitleBar.h"

#include "FormFrame.h"
#include "SkinCanvas.h"
#include "SkinColor.h"
#include "SkinDraw.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>

int TkivTitleBar::ButtonsWidth() const {
  int width = 0;
  for (const auto& button : FButtons)
    width += button->FPicNormal.Width() + FButtonInterval;
  return width;
}

QFont TkivTitleBar::CaptionFont() const {
  return font();
}

void TkivTitleBar::PaintSections(TBitmap& ABitmap) {
  FShortCaption.clear();
  if (!parentWidget()) return;
  int ix = 0, iy = 0;
  if (Form()) {
    const int answer = SideBorder();
    ix = answer == 0 ? -3 : -answer;
    iy = -3;
  }
  const int width = ABitmap.Width();
  const int fullWidth = width - 2 * ix;
  const int fullHeight = ABitmap.Height() - iy;
  FFullTitleImage = FilledBitmap(fullWidth, fullHeight, FFormColor);
  FBackedTitleImage = FilledBitmap(fullWidth, fullHeight, FFormColor);
  TSkinCanvas bar(ABitmap);
  TSkinCanvas full(FFullTitleImage);
  const QFontMetrics metrics(CaptionFont());
  auto measure = [&](const std::string& AText) {
    return metrics.horizontalAdvance(QString::fromStdString(AText));
  };

  int left = ix, right = width - ix, lastLeftWidth = 0;
  const TkivTitleBarSection* client = nullptr;
  bool captionDrawn = false;
  for (size_t i = 0; i < FSections.size(); ++i) {
    const TkivTitleBarSection& section = *FSections[i];
    const TBitmap& picture = section.FPicture;
    const int pw = picture.Width(), ph = picture.Height();
    const TRect whole{0, 0, pw, ph};
    if (section.FCapSec) {
      const int next = i + 1 < FSections.size() ? FSections[i + 1]->FWidth : 0;
      const int limit = width - FLeftBtnXOffset - ButtonsWidth() - next - 21;
      FShortCaption = QString::fromStdString(EllipsisText(measure, FCaption.toStdString(), limit));
      const int w = metrics.horizontalAdvance(FShortCaption) + FLeftBtnXOffset - lastLeftWidth + 17;
      bar.StretchDraw({left, iy, left + w, iy + ph}, picture, whole);
      full.StretchDraw({left - ix, 0, left + w - ix, ph}, picture, whole);
      left += w;
      captionDrawn = true;
      continue;
    }
    switch (section.FAlign) {
    case TkivTitleBarAlign::kivLeft:
      bar.Draw(left, iy, picture);
      full.Draw(left - ix, 0, picture);
      left += pw;
      lastLeftWidth = pw;
      break;
    case TkivTitleBarAlign::kivRight: {
      // The right end's key colour shows the form colour on the bar.
      TBitmap backed = FilledBitmap(pw, ph, FFormColor);
      TSkinCanvas backedCanvas(backed);
      backedCanvas.Draw(0, 0, picture, FTransparentColor);
      bar.Draw(right - pw, iy, backed);
      full.Draw(right - ix - pw, 0, picture);
      right -= pw;
      break;
    }
    case TkivTitleBarAlign::kivClient:
      client = &section;
      break;
    }
  }
  if (client) {
    const TBitmap& picture = client->FPicture;
    const TRect whole{0, 0, picture.Width(), picture.Height()};
    bar.StretchDraw({left, iy, right, iy + picture.Height()}, picture, whole);
    full.StretchDraw({left - ix, 0, right - ix, picture.Height()}, picture, whole);
  }
  TSkinCanvas backed(FBackedTitleImage);
  TkivForm* form = Form();
  const bool keyed = form && form->TitleNeedsRegion();
  backed.Draw(0, 0, FFullTitleImage,
              keyed ? std::optional<TColor>(FTransparentColor) : std::optional<TColor>());
  if (captionDrawn && form)
    form->update();
  else
    FShortCaption.clear();
}

void TkivTitleBar::PaintButtons(TBitmap& ABitmap) {
  FCaptionText.clear();
  if (!parentWidget()) return;
  TSkinCanvas canvas(ABitmap);
  const bool fromFile = Choice().UseFileTheme;
  const std::vector<QRect> rects = ButtonRects();
  const QPoint cursor = mapFromGlobal(QCursor::pos());
  FHotButton = -1;
  int d = ABitmap.Width() - FRightBtnXOffset + SideBorder() - 1;
  int x = std::max(FLeftBtnXOffset - SideBorder() - 3, 0);
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    const QRect& r = rects[i];
    if (r.isEmpty()) continue;
    const TRect place{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    const bool inside = PointInRect({cursor.x(), cursor.y()}, place);
    auto drawState = [&](int AX, int AY, bool AHot) {
      const TBitmap& picture =
          AHot ? (FPressed ? button.FPicMouseDown : button.FPicMouseOn) : button.FPicNormal;
      std::optional<TColor> key;
      if (button.FTransparent)
        key = fromFile ? FTransparentColor
                       : PixelToColor(BitmapPixel(picture, 0, picture.Height() - 1));
      canvas.Draw(AX, AY, picture, key);
    };
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox) {
      // Only the application icon takes the mouse; a control box picture is
      // drawn by its state.
      if (FDrawAppIcon) {
        if (inside) FHotButton = static_cast<int>(i);
        const QIcon icon = QApplication::windowIcon();
        if (!icon.isNull()) {
          const TBitmap picture = ToBitmap(icon.pixmap(16, 16).toImage());
          canvas.Draw(x + 3, FIconTop, picture);
        }
        x += 21;
      } else {
        drawState(x, FIconTop - 1, inside);
        x += button.FPicNormal.Width() + 5;
      }
      continue;
    }
    if (inside) FHotButton = static_cast<int>(i);
    drawState(r.left(), r.top(), inside);
    d = r.left();
  }
  if (x == 0) x = 6;
  FCaptionColor = FFormActive ? FFontColor : FInactiveCaptionColor;

  const QFontMetrics metrics(CaptionFont());
  QString text = FShortCaption;
  if (text.isEmpty()) {
    if (metrics.horizontalAdvance(FCaption) <= d - x) {
      text = FCaption;
    } else {
      QString prefix = FCaption;
      while (!prefix.isEmpty() && metrics.horizontalAdvance(prefix + "...") > d - x)
        prefix.chop(1);
      text = prefix + "...";
    }
  }
  if (FCaption.isEmpty()) text.clear();
  FCaptionText = text;
  const int top =
      fromFile ? FCaptionTop - 3 : FButtonTop + (Choice().Style == TkivUIStyle::Protein ? 3 : 0);
  FCaptionRightAligned = layoutDirection() == Qt::RightToLeft;
  if (FCaptionRightAligned)
    FCaptionRect = QRect(x, top, std::max(d - 10 - x, 0), metrics.height());
  else
    FCaptionRect = QRect(x, top, std::max(ABitmap.Width() - x, 0), metrics.height());
}

QImage TkivTitleBar::Render() {
  TBitmap picture = FilledBitmap(width(), height(), FFormColor);
  PaintSections(picture);
  PaintButtons(picture);
  QImage image = ToQImage(picture);
  if (!FCaptionText.isEmpty()) {
    QPainter painter(&image);
    painter.setFont(CaptionFont());
    painter.setPen(ToQColor(FCaptionColor));
    painter.drawText(FCaptionRect,
                     (FCaptionRightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop |
                         Qt::TextSingleLine,
                     FCaptionText);
  }
  return image;
}

void TkivTitleBar::paintEvent(QPaintEvent*) {
  const QImage image = Render();
  QPainter painter(this);
  painter.drawImage(0, 0, image);
}
