// The picture buttons' pictures (see ButtonPictures.h).
#include "ButtonPictures.h"

#include "ImageButton.h"
#include "SkinDraw.h"
#include "SkinQt.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <functional>

namespace {

constexpr uint8_t SkinButtonKey = 15; // "SKIN2_BUTTON"
constexpr int ButtonPosition = 1;     // the built-in styles' button strip
enum TFaceFrame { NormalFace = 1, HotFace = 2, DownFace = 3 };

// Frame AFrame of the skin's three-frame button strip over the whole size.
QImage Face(const TkivFileTheme* ATheme, int AFrame, int AWidth, int AHeight) {
  const TBitmap frame = SkinPictureFrame(ATheme, TkivUIStyle::FromThemeFile, ButtonPosition,
                                         SkinButtonKey, AFrame, 3);
  TBitmap face = FilledBitmap(AWidth, AHeight, 0xFFFFFF);
  if (!frame.Empty()) {
    TSkinCanvas canvas(face);
    DrawNineSlice(frame, canvas, {0, 0, AWidth, AHeight}, false);
  }
  return ToQImage(face);
}

QImage Greyed(const QImage& AImage) {
  QImage image = AImage.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      // Grey and lighter, as a control that takes no clicks looks.
      const int grey = 128 + qGray(row[x]) / 2;
      row[x] = qRgb(grey, grey, grey);
    }
  }
  return image;
}

using TGlyphPainter = std::function<void(QPainter&, QPointF)>;

// The four pictures: each face with the glyph, the pressed one moved by a
// pixel as the caption is.
TButtonPictures Pictures(const TkivFileTheme* ATheme, int AWidth, int AHeight,
                         const TGlyphPainter& AGlyph) {
  auto picture = [&](int AFrame, QPointF AShift) {
    QImage image = Face(ATheme, AFrame, AWidth, AHeight);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    AGlyph(painter, AShift);
    painter.end();
    return image;
  };
  TButtonPictures pictures;
  const QImage normal = picture(NormalFace, {0, 0});
  pictures.Normal = ToBitmap(normal);
  pictures.MouseOn = ToBitmap(picture(HotFace, {0, 0}));
  pictures.MouseDown = ToBitmap(picture(DownFace, {1, 1}));
  pictures.Disabled = ToBitmap(Greyed(normal));
  return pictures;
}

} // namespace

TButtonPictures GlyphButtonPictures(const TkivFileTheme* ATheme, TButtonGlyph AGlyph, int AWidth,
                                    int AHeight) {
  const qreal size = std::min(11, AHeight - 8);
  return Pictures(ATheme, AWidth, AHeight, [=](QPainter& APainter, QPointF AShift) {
    const QRectF box = QRectF(6, (AHeight - size) / 2, size, size).translated(AShift);
    APainter.setPen(Qt::NoPen);
    switch (AGlyph) {
    case TButtonGlyph::Record:
      APainter.setBrush(QColor(0xD0, 0x20, 0x20));
      APainter.drawEllipse(box);
      break;
    case TButtonGlyph::Pause: {
      APainter.setBrush(QColor(0x20, 0x40, 0x80));
      const qreal bar = size / 3;
      APainter.drawRect(QRectF(box.left(), box.top(), bar, size));
      APainter.drawRect(QRectF(box.right() - bar, box.top(), bar, size));
      break;
    }
    case TButtonGlyph::Resume: {
      APainter.setBrush(QColor(0x20, 0x90, 0x30));
      QPainterPath triangle;
      triangle.moveTo(box.topLeft());
      triangle.lineTo(box.right(), box.center().y());
      triangle.lineTo(box.bottomLeft());
      triangle.closeSubpath();
      APainter.drawPath(triangle);
      break;
    }
    case TButtonGlyph::Stop:
      APainter.setBrush(QColor(0x30, 0x30, 0x30));
      APainter.drawRect(box.adjusted(1, 1, -1, -1));
      break;
    case TButtonGlyph::Region:
      // A dashed selection rectangle.
      APainter.setBrush(Qt::NoBrush);
      APainter.setPen(QPen(QColor(0x20, 0x90, 0x30), 1.5, Qt::DashLine));
      APainter.drawRect(box.adjusted(0.5, 1.5, -0.5, -1.5));
      break;
    case TButtonGlyph::Screen:
      // A monitor on its foot.
      APainter.setBrush(QColor(0x20, 0x40, 0x80));
      APainter.drawRect(QRectF(box.left(), box.top(), size, size * 0.7));
      APainter.drawRect(
          QRectF(box.center().x() - size / 6, box.top() + size * 0.7, size / 3, size * 0.3));
      break;
    }
  });
}

TButtonPictures ShareButtonPictures(const TkivFileTheme* ATheme, const QColor& AColor,
                                    const QString& ALetter, int ASize) {
  return Pictures(ATheme, ASize, ASize, [=](QPainter& APainter, QPointF AShift) {
    const QRectF disc = QRectF(4, 4, ASize - 8, ASize - 8).translated(AShift);
    APainter.setPen(Qt::NoPen);
    APainter.setBrush(AColor);
    APainter.drawEllipse(disc);
    QFont font = APainter.font();
    font.setBold(true);
    font.setPixelSize(ASize / 2);
    APainter.setFont(font);
    APainter.setPen(Qt::white);
    APainter.drawText(disc, Qt::AlignCenter, ALetter);
  });
}

void SetButtonPictures(TkivImageButton& AButton, const TButtonPictures& APictures) {
  AButton.SetPicNormal(APictures.Normal);
  AButton.SetPicMouseOn(APictures.MouseOn);
  AButton.SetPicMouseDown(APictures.MouseDown);
  AButton.SetPicDisabled(APictures.Disabled);
  AButton.SetAutoSize(true);
  // The window's layout keeps the picture's size.
  AButton.setFixedSize(APictures.Normal.Width(), APictures.Normal.Height());
}
