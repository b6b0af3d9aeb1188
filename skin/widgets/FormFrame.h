// The skinned form frame: dropped on a top-level window (its host), it makes
// the host frameless and draws the borders, the top edge, the title bar and
// the menu bar of the skin itself, shapes the host with a window region
// (the X shape extension, through Qt's window mask), places a maximised
// host on the available screen and opens the system menu on Alt+Space.
#pragma once

#include "MenuBar.h"
#include "SkinMenu.h"
#include "TitleBar.h"

#include <QPointer>
#include <QWidget>

class QVBoxLayout;

// The host's border styles; the frame keeps sizeable ones and turns the
// others into dialog frames.
enum class TkivBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
TkivBorderStyle SkinnedBorderStyle(TkivBorderStyle AStyle);
// The host's border style is its "BorderStyle" property (bsSizeable when unset).
TkivBorderStyle HostBorderStyle(const QWidget* AHost);
void SetHostBorderStyle(QWidget* AHost, TkivBorderStyle AStyle);

class TkivForm : public QWidget, public TkivSkinnable {
  Q_OBJECT
public:
  // A host that is not a top-level window, or that already has a skinned
  // frame, leaves the new frame inert.
  explicit TkivForm(QWidget* AHost);
  ~TkivForm() override;

  bool Inert() const { return FHost == nullptr; }
  QWidget* Host() const { return FHost; }
  TkivTitleBar* TitleBar() const { return FTitleBar; }
  TkivMenuBar* MenuBar() const { return FMenuBar; }

  TkivUIStyle UIStyle() const override { return FUIStyle; }
  void SetUIStyle(TkivUIStyle AStyle) override;
  TkivThemeComponent* FileTheme() const override { return FThemeLink.Get(); }
  void SetFileTheme(TkivThemeComponent* ATheme) override;
  bool UIStyleAutoUpdateSub() const { return FAutoUpdateSub; }
  void SetUIStyleAutoUpdateSub(bool AValue) { FAutoUpdateSub = AValue; }

  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor AValue);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int AValue);
  bool TitleBarVisible() const { return FTitleBar && FTitleBar->isVisibleTo(this); }
  void SetTitleBarVisible(bool AValue);
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  QString Caption() const { return FTitleBar ? FTitleBar->Caption() : QString(); }
  void SetCaption(const QString& AValue);
  QWidget* FormPanel() const { return FFormPanel; }
  void SetFormPanel(QWidget* APanel);
  QMenu* Menu() const { return FMenu; }
  void SetMenu(QMenu* AMenu);
  TColor MenuBarColor() const { return FMenuBarColor; }
  void SetMenuBarColor(TColor AValue);
  TColor MenuBarToColor() const { return FMenuBarToColor; }
  void SetMenuBarToColor(TColor AValue);
  int MenuBarHeight() const;
  void SetMenuBarHeight(int AValue);
  int RoundCorner() const;
  void SetRoundCorner(int AValue);
  int RoundCornerBottom() const;
  void SetRoundCornerBottom(int AValue);
  QString Version() const { return "6.3"; }
  QString About() const { return "A skinned window frame."; }

  // The side border width the title bar lines its sections up with.
  int SideBorderWidth() const;
  // The frame's widths around the title bar, menu bar and panel.
  QMargins FrameMargins() const;
  bool TitleNeedsRegion() const { return FTitleNeedsRegion; }
  // Shapes the host window.
  void UpdateRegion();
  // The region UpdateRegion gives the host.
  QRegion FrameRegion() const;
  // Opens the title bar's system menu below the title bar.
  void PopupSystemMenu();
  void MenuChanged();
  void RefreshMenuBarFont();

  TkivTitleBarButtonClickEvent OnTitleBarCustomBtnsClick;
  TkivTitleBarButtonClickEvent OnTitleBarHelpBtnClick;

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
  void ApplyMetrics();
  void PaintFrame(QPainter& APainter);
  void PaintFileThemeFrame(QPainter& APainter, const TkivFileTheme& ATheme);
  void PaintBuiltInFrame(QPainter& APainter);
  void FillBesideMenuBar(QPainter& APainter, const QRect& AColumns, TColor AColor);
  void HostStateChanged();
  void UpdateMinimumHeight();
  void RebuildLayout();

  QPointer<QWidget> FHost;
  TkivTitleBar* FTitleBar = nullptr;
  TkivMenuBar* FMenuBar = nullptr;
  QPointer<QMenu> FMenu;
  QPointer<QWidget> FFormPanel;
  QVBoxLayout* FLayout = nullptr;
  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TkivThemeLink FThemeLink;
  bool FAutoUpdateSub = false;
  TColor FBorderColor = 0;
  int FBorderWidth = 1;
  TColor FColor = 0xE8E8E8;
  TColor FMenuBarColor = 0xE8E8E8;
  TColor FMenuBarToColor = 0xE8E8E8;
  int FMenuBarHeight = 22;
  // Border measures of the host; a frameless window has none to measure, so
  // both take the value the frame substitutes for an unusable one.
  int FHostBottom = 4;
  int FHostLeft = 4;
  int FLeftWidth = 0, FRightWidth = 0, FBottomHeight = 0;
  TColor FTransparentColor = 0xFF00FF;
  bool FTitleNeedsRegion = false;
  bool FBottomNeedsRegion = false;
  int FTitleMinY = -1, FTitleMaxY = -1, FBottomMinY = -1, FBottomMaxY = -1;
  TBitmap FBottomImage;
  bool FTitleBarWanted = true;
  bool FDestroying = false;
  QRect FNormalGeometry;
  bool FPlacing = false;
};
