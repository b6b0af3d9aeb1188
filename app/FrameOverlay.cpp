// The text and timestamp overlays (see FrameOverlay.h).
#include "FrameOverlay.h"

#include "Bitmap.h"
#include "ColorText.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTime>

namespace {

QColor ToQColor(int32_t AColor) {
  return QColor(AColor & 0xFF, (AColor >> 8) & 0xFF, (AColor >> 16) & 0xFF);
}

QColor ReadColor(const TIniFile& AIni, const char* ASection, const char* AKey) {
  return ToQColor(StringToColorDef(AIni.ReadString(ASection, AKey, "ClBlack"), 0));
}

QImage::Format ImageFormat(int ABitsPerPixel) {
  switch (ABitsPerPixel) {
  case 32:
    return QImage::Format_RGB32;
  case 24:
    return QImage::Format_BGR888;
  case 16:
    return QImage::Format_RGB16;
  case 15:
    return QImage::Format_RGB555;
  default:
    return QImage::Format_Invalid;
  }
}

// Trunc(AFrame / 2 - AText / 2): the exact half-difference cut toward zero.
int CentreOffset(int AFrame, int AText) {
  const int twice = AFrame - AText;
  return twice / 2; // C++ division cuts toward zero, as Trunc does
}

void DrawOne(QPainter& APainter, const TOverlayState& AState, const QString& AText,
             const TOverlayFont& AFont, int APosition, bool ABackground, const QColor& ABack) {
  APainter.setFont(AFont.Font);
  const QFontMetrics metrics(AFont.Font, APainter.device());
  const int tw = metrics.horizontalAdvance(AText);
  const int th = metrics.height();
  int x = 0, y = 0;
  if (!OverlayOrigin(AState.FrameWidth, AState.FrameHeight, tw, th, APosition, x, y)) return;
  if (ABackground) APainter.fillRect(x, y, tw, th, ABack);
  APainter.setPen(AFont.Color);
  APainter.drawText(QRect(x, y, tw, th), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, AText);
}

} // namespace

void LoadOverlayFont(const TIniFile& AIni, const char* ASection, TOverlayFont& AFont) {
  AFont.Color = ReadColor(AIni, ASection, "textcolor");
  QFont font(QString::fromStdString(AIni.ReadString(ASection, "font-name", "Default")));
  const int size = AIni.ReadInteger(ASection, "font-size", 0);
  if (size > 0) font.setPointSize(size);
  // A missing key reads as its own flag name: the style is on.
  font.setBold(AIni.ReadString(ASection, "font-fsBold", "fsBold") == "fsBold");
  font.setItalic(AIni.ReadString(ASection, "font-fsItalic", "fsItalic") == "fsItalic");
  font.setUnderline(AIni.ReadString(ASection, "font-fsUnderline", "fsUnderline") == "fsUnderline");
  font.setStrikeOut(AIni.ReadString(ASection, "font-fsStrikeOut", "fsStrikeOut") == "fsStrikeOut");
  AFont.Font = font;
}

void LoadOverlayState(const TIniFile& AIni, TOverlayState& AState) {
  AState.DrawText = AIni.ReadBool("settings", "chkAddText", false);
  AState.OverlayText = QString::fromStdString(AIni.ReadString("settings", "edtAddText", ""));
  AState.DrawTimestamp = AIni.ReadBool("settings", "chkAddTimestamp", false);
  AState.TimestampLabel =
      QString::fromStdString(AIni.ReadString("settings", "edtAddTimestamp", ""));
  AState.TextBackground = AIni.ReadBool("fontoptions", "baddtextbkcolor", false);
  AState.TextBackColor = ReadColor(AIni, "fontoptions", "backgroundcolor");
  AState.TimestampBackground = AIni.ReadBool("timestampoptions", "baddtimestampbkcolor", false);
  AState.TimestampBackColor = ReadColor(AIni, "timestampoptions", "backgroundcolor");
  if (AState.Wanted()) {
    LoadOverlayFont(AIni, "fontoptions", AState.TextFont);
    LoadOverlayFont(AIni, "timestampoptions", AState.TimestampFont);
    AState.TextPosition = AIni.ReadInteger("fontoptions", "position", 1);
    AState.TimestampPosition = AIni.ReadInteger("timestampoptions", "position", 1);
  }
}

bool OverlayOrigin(int AFrameW, int AFrameH, int ATextW, int ATextH, int APosition, int& AX,
                   int& AY) {
  const int cx = CentreOffset(AFrameW, ATextW);
  const int cy = CentreOffset(AFrameH, ATextH);
  if (AFrameW <= 5 || AFrameH <= 5 || cx <= 0 || cy <= 0) return false;
  switch ((APosition - 1) % 3) {
  case 0:
    AX = 5;
    break;
  case 1:
    AX = cx;
    break;
  default:
    AX = AFrameW - ATextW - 5;
    break;
  }
  switch ((APosition - 1) / 3) {
  case 0:
    AY = 5;
    break;
  case 1:
    AY = cy;
    break;
  default:
    AY = AFrameH - ATextH - 5;
    break;
  }
  // Positions outside 1..9 take the nearest corner of the grid's edge.
  if (APosition < 1) AX = AY = 5;
  return true;
}

QString TimestampText(const QString& ALabel) {
  const QTime now = QTime::currentTime();
  return ALabel + " " +
         QString::asprintf("%02d:%02d:%02d:%02d", now.hour(), now.minute(), now.second(),
                           now.msec());
}

void DrawOverlays(TOverlayState& AState, TBitmap& ABitmap, int AFrameNumber) {
  if (AFrameNumber == 1 || AState.FrameWidth == 0) {
    AState.FrameWidth = ABitmap.Width();
    AState.FrameHeight = ABitmap.Height();
  }
  const bool text = AState.DrawText && !AState.OverlayText.isEmpty();
  if (!text && !AState.DrawTimestamp) return;
  const QImage::Format format = ImageFormat(ABitmap.BitsPerPixel());
  if (format == QImage::Format_Invalid || !ABitmap.Pixels() || ABitmap.Width() <= 0) return;
  // Pixels(): a hook's bitmap may show the frame's own memory.
  QImage image(ABitmap.Pixels(), ABitmap.Width(), ABitmap.Height(), ABitmap.Stride(), format);
  QPainter painter(&image);
  if (text)
    DrawOne(painter, AState, AState.OverlayText, AState.TextFont, AState.TextPosition,
            AState.TextBackground, AState.TextBackColor);
  if (AState.DrawTimestamp)
    DrawOne(painter, AState, TimestampText(AState.TimestampLabel), AState.TimestampFont,
            AState.TimestampPosition, AState.TimestampBackground, AState.TimestampBackColor);
}
