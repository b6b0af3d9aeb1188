// The skinned caption strip at the top of a skinned form: picture sections
// (left, right, a stretched client section and an optional caption
// section), the caption, the application icon or control box on the left,
// and the minimise, maximise/restore, close, help and custom buttons on the
// right; it drags its form and offers the system menu.
#pragma once

#include "SkinMenu.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class TkivTitleBar;
class TkivForm;

enum class TkivTitleBarBtnType { kivMax = 0, kivMin, kivClose, kivHelp, kivControlBox, kivCustom };
enum class TkivTitleBarAlign { kivLeft = 0, kivRight, kivClient };

using TkivTitleBarButtonClickEvent = std::function<void(QObject* ASender, int AIndex)>;

class TkivTitleBarButton {
public:
  explicit TkivTitleBarButton(TkivTitleBar* ABar) : FBar(ABar) {}

  bool Visible() const { return FVisible; }
  void SetVisible(bool AValue);
  TkivTitleBarBtnType ButtonType() const { return FButtonType; }
  void SetButtonType(TkivTitleBarBtnType AValue);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  int Top() const { return FTop; }
  void SetTop(int AValue);
  TkivUIStyle UIStyle() const { return FUIStyle; }
  void SetUIStyle(TkivUIStyle AValue);
  const TBitmap& PicNormal() const { return FPicNormal; }
  const TBitmap& PicMouseOn() const { return FPicMouseOn; }
  const TBitmap& PicMouseDown() const { return FPicMouseDown; }
  void SetPicNormal(const TBitmap& APicture);
  void SetPicMouseOn(const TBitmap& APicture);
  void SetPicMouseDown(const TBitmap& APicture);
  QMenu* ControlBoxMenu() const { return FControlBoxMenu; }
  void SetControlBoxMenu(QMenu* AMenu);
  void Assign(const TkivTitleBarButton& ASource);

  // The three pictures and the top of the style, as the bar's theme gives them.
  void ApplyTheme();
  void PerformAction();

private:
  friend class TkivTitleBar;
  void Changed();

  TkivTitleBar* FBar;
  bool FVisible = true;
  TkivTitleBarBtnType FButtonType = TkivTitleBarBtnType::kivCustom;
  bool FTransparent = false;
  int FTop = 2;
  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TBitmap FPicNormal, FPicMouseOn, FPicMouseDown;
  QPointer<QMenu> FControlBoxMenu;
};

class TkivTitleBarSection {
public:
  explicit TkivTitleBarSection(TkivTitleBar* ABar) : FBar(ABar) {}

  int Width() const { return FWidth; }
  void SetWidth(int AValue);
  TkivTitleBarAlign Align() const { return FAlign; }
  void SetAlign(TkivTitleBarAlign AValue);
  const TBitmap& Picture() const { return FPicture; }
  void SetPicture(const TBitmap& APicture);
  bool Stretch() const { return FStretch || FAlign == TkivTitleBarAlign::kivClient; }
  void SetStretch(bool AValue);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  bool CapSec() const { return FCapSec; }
  void SetCapSec(bool AValue);
  void Assign(const TkivTitleBarSection& ASource);

private:
  friend class TkivTitleBar;
  TkivTitleBar* FBar;
  int FWidth = 10;
  TkivTitleBarAlign FAlign = TkivTitleBarAlign::kivLeft;
  TBitmap FPicture;
  bool FStretch = false;
  bool FAutoSize = false;
  bool FCapSec = false;
};

// The system menu: minimise, maximise/restore, a separator and close.
class TkivTitleBarPopupMenu : public TkivPopupMenu {
  Q_OBJECT
public:
  explicit TkivTitleBarPopupMenu(TkivTitleBar* ABar);
  QAction* MinimizeItem() const { return FMinimize; }
  QAction* MaximizeItem() const { return FMaximize; }
  QAction* CloseItem() const { return FClose; }
  // Enables the items whose kind of button the bar shows, then pops up.
  void PopupAt(const QPoint& AGlobal);

private:
  void EnableItems();

  TkivTitleBar* FBar;
  QAction* FMinimize;
  QAction* FMaximize;
  QAction* FClose;
};

class TkivTitleBar : public QWidget, public TkivSkinnable {
  Q_OBJECT
public:
  explicit TkivTitleBar(QWidget* AParent = nullptr);
  ~TkivTitleBar() override;

  TkivUIStyle UIStyle() const override { return FUIStyle; }
  void SetUIStyle(TkivUIStyle AStyle) override;
  TkivThemeComponent* FileTheme() const override { return FThemeLink.Get(); }
  void SetFileTheme(TkivThemeComponent* ATheme) override;

  int SectionCount() const { return static_cast<int>(FSections.size()); }
  TkivTitleBarSection& Section(int AIndex) { return *FSections.at(AIndex); }
  TkivTitleBarSection& AddSection();
  void ClearSections();
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TkivTitleBarButton& Button(int AIndex) { return *FButtons.at(AIndex); }
  TkivTitleBarButton& AddButton();
  void ClearButtons();

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  int ButtonInterval() const { return FButtonInterval; }
  void SetButtonInterval(int AValue);
  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& AValue);
  bool FormActive() const { return FFormActive; }
  void SetFormActive(bool AValue);
  int LeftBtnXOffset() const { return FLeftBtnXOffset; }
  void SetLeftBtnXOffset(int AValue);
  int RightBtnXOffset() const { return FRightBtnXOffset; }
  void SetRightBtnXOffset(int AValue);
  int RoundCorner() const { return FRoundCorner; }
  void SetRoundCorner(int AValue) { FRoundCorner = AValue; }
  int RoundCornerBottom() const { return FRoundCornerBottom; }
  void SetRoundCornerBottom(int AValue) { FRoundCornerBottom = AValue; }
  bool DrawAppIcon() const { return FDrawAppIcon; }
  void SetDrawAppIcon(bool AValue);
  bool Custom() const { return FCustom; }
  void SetCustom(bool AValue) { FCustom = AValue; }
  TColor InactiveCaptionColor() const { return FInactiveCaptionColor; }
  void SetInactiveCaptionColor(TColor AValue);
  TColor FontColor() const { return FFontColor; }
  int ButtonTop() const { return FButtonTop; }
  int IconTop() const { return FIconTop; }
  TColor FormColor() const { return FFormColor; }
  TColor TransparentColor() const { return FTransparentColor; }
  const QString& ShortenedCaption() const { return FShortCaption; }
  // The caption as the last paint wrote it, and where.
  const QString& DrawnCaption() const { return FCaptionText; }
  QRect DrawnCaptionRect() const { return FCaptionRect; }
  int HotButton() const { return FHotButton; }
  bool Dragging() const { return FDragging; }
  TkivTitleBarPopupMenu* SystemMenu() const { return FSystemMenu.get(); }

  // -1 the full title image, -2 the backed one, else a section's picture
  // (only with more than two sections).
  const TBitmap* GetTitleImage(int AIndex) const;
  bool HasThemeSections() const { return SectionCount() == 3 || SectionCount() == 5; }
  void RefreshMaxButtons();
  // Where each right-hand button and the control box sit, by button index
  // (empty rectangles for buttons not drawn).
  std::vector<QRect> ButtonRects() const;
  // The effective source of the bar's pictures.
  TkivStyleChoice Choice() const { return UsingFileTheme(FThemeLink.Theme(), FUIStyle); }
  TkivForm* Form() const;
  bool ParentMaximized() const;
  // Draws the bar into a picture of its size, caption included.
  QImage Render();

  TkivTitleBarButtonClickEvent OnCustomBtnsClick;
  TkivTitleBarButtonClickEvent OnHelpBtnClick;

protected:
  virtual void PaintSections(TBitmap& ABitmap);
  // Draws the buttons and places the caption, which the paint then writes.
  virtual void PaintButtons(TBitmap& ABitmap);
  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
  void leaveEvent(QEvent* AEvent) override;

private:
  friend class TkivTitleBarButton;
  friend class TkivTitleBarSection;
  void ApplySkinFile(const TkivFileTheme& ATheme);
  void ApplyBuiltIn(TkivUIStyle AStyle);
  int SideBorder() const;
  int ButtonsWidth() const;
  int ButtonAt(const QPoint& APoint) const;
  QFont CaptionFont() const;
  void ShowRefusal(const QString& AText);
  void ApplyStyleKeepingFont(bool AKeep);

  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TkivThemeLink FThemeLink;
  std::vector<std::unique_ptr<TkivTitleBarSection>> FSections;
  std::vector<std::unique_ptr<TkivTitleBarButton>> FButtons;
  bool FAutoSize = false;
  int FButtonInterval = 0;
  QString FCaption;
  bool FFormActive = true;
  int FLeftBtnXOffset = 0;
  int FRightBtnXOffset = 0;
  int FRoundCorner = 0;
  int FRoundCornerBottom = 0;
  bool FDrawAppIcon = true;
  bool FKeepFontColor = false;
  std::unique_ptr<TkivTitleBarPopupMenu> FSystemMenu;
  bool FCustom = false;
  bool FFiveSection = false;
  QString FShortCaption;
  TBitmap FFullTitleImage;
  TBitmap FBackedTitleImage;
  TColor FFormColor = 0xE8E8E8;
  TColor FTransparentColor = 0xFF00FF;
  TColor FInactiveCaptionColor = static_cast<TColor>(0xFF000003);
  TColor FFontColor = 0xFFFFFF;
  int FHotButton = -1;
  int FButtonTop = 2;
  int FIconTop = 2;
  int FCaptionTop = 0;
  bool FPressed = false;
  bool FDragging = false;
  QPoint FDragStart;
  QPoint FWindowStart;
  QString FCaptionText;
  QRect FCaptionRect;
  TColor FCaptionColor = 0xFFFFFF;
  bool FCaptionRightAligned = false;
};
