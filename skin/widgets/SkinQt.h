// What the skin's widgets share: conversions between the core's bitmaps and
// colours and Qt's, the file theme as a component of a form, and the
// interface of a widget that takes a style and a file theme.
#pragma once

#include "Bitmap.h"
#include "FileTheme.h"
#include "SkinKeys.h"
#include "SkinTypes.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>

#include <functional>
#include <memory>
#include <span>
#include <vector>

class QWidget;

QColor ToQColor(TColor AColor);
// Any depth the core reads, as an opaque 32-bit image.
QImage ToQImage(const TBitmap& ABitmap);
// The image with every pixel of the key colour left fully transparent.
QImage KeyedImage(const TBitmap& ABitmap, TColor AKey);
TBitmap ToBitmap(const QImage& AImage);
QRegion ToRegion(const std::vector<TRect>& ARects);
// An empty 32-bit bitmap of a size, filled with a colour.
TBitmap FilledBitmap(int AWidth, int AHeight, TColor AColor);

// A file theme that lives on a form as a named component: it owns the
// stored skin's theme and tells the skinned widgets of its form to read their
// skin again once a load leaves it ready. Its removal (destruction) is what
// widgets that name it listen for.
class TkivThemeComponent : public QObject {
  Q_OBJECT
public:
  explicit TkivThemeComponent(QObject* AOwner = nullptr);
  ~TkivThemeComponent() override;

  TkivBuiltInFileTheme& Theme() { return *FTheme; }
  const TkivBuiltInFileTheme& Theme() const { return *FTheme; }
  bool Ready() const { return FTheme->Ready(); }
  void SetThemeFile(const std::string& AName) { FTheme->SetThemeFile(AName); }
  void SetSkinData(std::span<const uint8_t> ABytes) { FTheme->SetSkinData(ABytes); }

private:
  void SkinLoaded();

  std::unique_ptr<TkivBuiltInFileTheme> FTheme;
};

// A widget or component with a published style and file theme.
class TkivSkinnable {
public:
  virtual ~TkivSkinnable() = default;
  virtual TkivUIStyle UIStyle() const = 0;
  virtual void SetUIStyle(TkivUIStyle AStyle) = 0;
  virtual TkivThemeComponent* FileTheme() const = 0;
  virtual void SetFileTheme(TkivThemeComponent* ATheme) = 0;
};

// The theme a component names, and what it does when that theme is removed.
class TkivThemeLink {
public:
  TkivThemeLink() = default;
  ~TkivThemeLink() { Reset(); }
  TkivThemeLink(const TkivThemeLink&) = delete;
  TkivThemeLink& operator=(const TkivThemeLink&) = delete;

  void Set(TkivThemeComponent* ATheme, std::function<void()> AOnRemoved);
  void Reset();
  TkivThemeComponent* Get() const { return FTheme.data(); }
  const TkivFileTheme* Theme() const { return FTheme ? &FTheme->Theme() : nullptr; }

private:
  QPointer<TkivThemeComponent> FTheme;
  QMetaObject::Connection FConnection;
};

// The style of the first skinned frame among the direct children of the
// widget's window; DeepBlue without one.
TkivUIStyle GetFormUIStyle(const QWidget* AOwner);

// A picture of a built-in style position or of a skin key, as the file-theme
// rule picks it: frame AFrame of AFrameCount (0 takes the whole picture).
TBitmap SkinPictureFrame(const TkivFileTheme* ATheme, TkivUIStyle AStyle, int APosition,
                         uint8_t ASkinKey, int AFrame, int AFrameCount);
