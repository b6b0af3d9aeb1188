// Skinned menus: a popup menu and a main menu whose items are measured and
// drawn in the colours and pictures of the current skin. A main menu is not
// shown by itself; the skinned form frame shows its top-level items as its
// menu bar.
#pragma once

#include "SkinQt.h"

#include <QMenu>
#include <QPointer>

class QProxyStyle;
class TkivForm;

// An item's width: caption + short-cut text + the coloured strip + 40.
constexpr int MenuItemWidth(int ACaptionWidth, int AShortCutWidth, int ABarWidth) {
  return ACaptionWidth + AShortCutWidth + ABarWidth + 40;
}

class TkivSkinnedMenu : public QMenu, public TkivSkinnable {
  Q_OBJECT
public:
  explicit TkivSkinnedMenu(QWidget* AParent = nullptr);
  ~TkivSkinnedMenu() override;

  int MenuItemHeight() const { return FMenuItemHeight; }
  virtual void SetMenuItemHeight(int AValue);
  int SeparatorHeight() const { return FSeparatorHeight; }
  void SetSeparatorHeight(int AValue);
  int BarWidth() const { return FBarWidth; }
  void SetBarWidth(int AValue) { FBarWidth = AValue; }
  TColor BarColor() const { return FBarColor; }
  void SetBarColor(TColor AValue) { FBarColor = AValue; }
  TColor BarToColor() const { return FBarToColor; }
  void SetBarToColor(TColor AValue) { FBarToColor = AValue; }
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue) { FColor = AValue; }
  TColor SeparatorColor() const { return FSeparatorColor; }
  void SetSeparatorColor(TColor AValue) { FSeparatorColor = AValue; }
  TColor SelectedBorderColor() const { return FSelectedBorderColor; }
  void SetSelectedBorderColor(TColor AValue) { FSelectedBorderColor = AValue; }
  TColor SelectedColor() const { return FSelectedColor; }
  void SetSelectedColor(TColor AValue) { FSelectedColor = AValue; }
  TColor SelectedFontColor() const { return FSelectedFontColor; }
  void SetSelectedFontColor(TColor AValue) { FSelectedFontColor = AValue; }
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor AValue) { FFontColor = AValue; }
  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor AValue) { FBorderColor = AValue; }
  bool FlatMenu() const { return FFlatMenu; }
  void SetFlatMenu(bool AValue) { FFlatMenu = AValue; }
  const QString& FontName() const { return FFontName; }
  void SetFontName(const QString& AValue) { FFontName = AValue; }
  int FontSize() const { return FFontSize; }
  void SetFontSize(int AValue) { FFontSize = AValue; }
  bool UseSystemFont() const { return FUseSystemFont; }
  virtual void SetUseSystemFont(bool AValue) { FUseSystemFont = AValue; }
  bool OwnerDraw() const { return true; }

  TkivUIStyle UIStyle() const override { return FUIStyle; }
  void SetUIStyle(TkivUIStyle AStyle) override;
  TkivThemeComponent* FileTheme() const override { return FThemeLink.Get(); }
  void SetFileTheme(TkivThemeComponent* ATheme) override;

  // The font items are drawn and measured with.
  QFont ItemFont() const;
  // An item's size as the menu measures it.
  QSize MeasureItem(const QAction* AAction) const;
  // The check-mark picture, white left out.
  static const QImage& CheckMarkImage();

  // Draws one item over ARect (the menu's style calls this).
  void DrawItem(QPainter& ACanvas, const QRect& ARect, const QAction* AAction, bool ASelected,
                bool AChecked, const QIcon& AIcon, bool AHasIcon) const;

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void actionEvent(QActionEvent* AEvent) override;
  bool IsMacOS() const { return FUIStyle == TkivUIStyle::MacOS; }
  // Gives a submenu the same measuring and drawing, recursively.
  void AdoptSubmenus(QMenu* AMenu);

private:
  int FMenuItemHeight = 21;
  int FSeparatorHeight = 21;
  int FBarWidth = 0;
  TColor FBarColor = static_cast<TColor>(0xFF00000F);
  TColor FBarToColor = static_cast<TColor>(0xFF00000F);
  TColor FColor = 0xFFFFFF;
  TColor FSeparatorColor = 0x808080;
  TColor FSelectedBorderColor = static_cast<TColor>(0xFF00000D);
  TColor FSelectedColor = static_cast<TColor>(0xFF00000D);
  TColor FSelectedFontColor = 0xFFFFFF;
  TColor FFontColor = 0xFFFFFF;
  TColor FBorderColor = 0;
  bool FFlatMenu = false;
  QString FFontName = "MS Sans Serif";
  int FFontSize = 8;
  bool FUseSystemFont = true;
  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TkivThemeLink FThemeLink;
  std::unique_ptr<QProxyStyle> FStyle;
};

class TkivPopupMenu : public TkivSkinnedMenu {
  Q_OBJECT
public:
  explicit TkivPopupMenu(QWidget* AParent = nullptr);
  void SetMenuItemHeight(int AValue) override;
};

// Its top-level actions, each with a submenu, are the menu bar's buttons.
class TkivMainMenu : public TkivSkinnedMenu {
  Q_OBJECT
public:
  explicit TkivMainMenu(QWidget* AParent = nullptr);
  ~TkivMainMenu() override;
  void SetUseSystemFont(bool AValue) override;
  TkivForm* Form() const;
  void SetForm(TkivForm* AForm);

protected:
  void actionEvent(QActionEvent* AEvent) override;

private:
  QPointer<QWidget> FForm;
};
