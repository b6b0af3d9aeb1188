// Conversions between the skin core and Qt, the file theme component and
// the theme link.
#include "SkinQt.h"

#include "BuiltInStyles.h"
#include "SkinCanvas.h"
#include "SkinColor.h"

#include <QWidget>

#include <cstring>

QColor ToQColor(TColor AColor) {
  const TColorParts parts = SplitColor(AColor);
  return QColor(parts.Red, parts.Green, parts.Blue);
}

QImage ToQImage(const TBitmap& ABitmap) {
  if (ABitmap.Empty()) return {};
  QImage image(ABitmap.Width(), ABitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < ABitmap.Height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < ABitmap.Width(); ++x)
      row[x] = BitmapPixel(ABitmap, x, y) | 0xFF000000u;
  }
  return image;
}

QImage KeyedImage(const TBitmap& ABitmap, TColor AKey) {
  if (ABitmap.Empty()) return {};
  QImage image(ABitmap.Width(), ABitmap.Height(), QImage::Format_ARGB32);
  const uint32_t key = ColorToPixel(AKey);
  for (int y = 0; y < ABitmap.Height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = 0; x < ABitmap.Width(); ++x) {
      const uint32_t pixel = BitmapPixel(ABitmap, x, y);
      row[x] = SameRGB(pixel, key) ? 0u : (pixel | 0xFF000000u);
    }
  }
  return image;
}

TBitmap ToBitmap(const QImage& AImage) {
  TBitmap bitmap;
  if (AImage.isNull()) return bitmap;
  const QImage image = AImage.convertToFormat(QImage::Format_RGB32);
  bitmap.SetSize(image.width(), image.height(), 32);
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(bitmap.ScanLine(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 4);
  return bitmap;
}

QRegion ToRegion(const std::vector<TRect>& ARects) {
  QRegion region;
  for (const TRect& r : ARects)
    region += QRect(r.Left, r.Top, r.Width(), r.Height());
  return region;
}

TBitmap FilledBitmap(int AWidth, int AHeight, TColor AColor) {
  TBitmap bitmap(std::max(AWidth, 0), std::max(AHeight, 0), 32);
  TSkinCanvas canvas(bitmap);
  canvas.FillRect({0, 0, AWidth, AHeight}, AColor);
  return bitmap;
}

TkivThemeComponent::TkivThemeComponent(QObject* AOwner)
    : QObject(AOwner), FTheme(std::make_unique<TkivBuiltInFileTheme>()) {
  FTheme->OnSkinLoaded = [this](TkivFileTheme&, bool) { SkinLoaded(); };
}

TkivThemeComponent::~TkivThemeComponent() = default;

void TkivThemeComponent::SkinLoaded() {
  // Every skinned component of the form that names this theme reads its skin
  // again: the theme is taken away and given back.
  QObject* owner = parent();
  if (auto* widget = qobject_cast<QWidget*>(owner)) owner = widget->window();
  if (!owner) return;
  for (QObject* object : owner->findChildren<QObject*>()) {
    auto* skinnable = dynamic_cast<TkivSkinnable*>(object);
    if (!skinnable || skinnable->FileTheme() != this) continue;
    skinnable->SetFileTheme(nullptr);
    skinnable->SetFileTheme(this);
  }
}

void TkivThemeLink::Set(TkivThemeComponent* ATheme, std::function<void()> AOnRemoved) {
  Reset();
  FTheme = ATheme;
  if (ATheme)
    FConnection = QObject::connect(ATheme, &QObject::destroyed, [this, AOnRemoved] {
      QObject::disconnect(FConnection);
      FTheme = nullptr;
      if (AOnRemoved) AOnRemoved();
    });
}

void TkivThemeLink::Reset() {
  if (FConnection) QObject::disconnect(FConnection);
  FConnection = {};
  FTheme = nullptr;
}

TBitmap SkinPictureFrame(const TkivFileTheme* ATheme, TkivUIStyle AStyle, int APosition,
                         uint8_t ASkinKey, int AFrame, int AFrameCount) {
  TBitmap picture;
  const TkivStyleChoice choice = UsingFileTheme(ATheme, AStyle);
  if (choice.UseFileTheme)
    ATheme->GetBitmapFrame(ASkinKey, &picture, AFrame, AFrameCount);
  else
    GetThemeBitmapFrame(StyleNumber(choice.Style), APosition, &picture, AFrame, AFrameCount);
  return picture;
}

TkivUIStyle GetFormUIStyle(const QWidget* AOwner) {
  if (!AOwner) return TkivUIStyle::DeepBlue;
  for (QObject* child : AOwner->window()->children())
    if (child->inherits("TkivForm"))
      if (auto* frame = dynamic_cast<TkivSkinnable*>(child)) return frame->UIStyle();
  return TkivUIStyle::DeepBlue;
}
