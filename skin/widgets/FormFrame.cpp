// The skinned form frame (see FormFrame.h).
#include "FormFrame.h"

#include "BuiltInStyles.h"
#include "FrameRegion.h"
#include "SkinCanvas.h"
#include "SkinColor.h"
#include "SkinDraw.h"
#include "StyleResources.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {
// Skin keys of the frame.
constexpr uint8_t TransColorKey = 0, FormColorKey = 2, MenuBarStartKey = 3, MenuBarEndKey = 4;
constexpr uint8_t LeftBorderKey = 5, RightBorderKey = 6, Bottom1Key = 7, Bottom2Key = 8,
                  Bottom3Key = 9;
constexpr uint8_t BottomThreeSectKey = 1, TitleNeedsRegionKey = 2, BottomNeedsRegionKey = 3;
constexpr uint8_t TitleMinYKey = 5, TitleMaxYKey = 6, BottomMinYKey = 7, BottomMaxYKey = 8;
// The top edge above the title bar.
constexpr int TopEdge = 3;

int PictureWidth(const TBitmap* APicture) {
  return APicture ? APicture->Width() : 0;
}
int PictureHeight(const TBitmap* APicture) {
  return APicture ? APicture->Height() : 0;
}
} // namespace

TkivBorderStyle SkinnedBorderStyle(TkivBorderStyle AStyle) {
  switch (AStyle) {
  case TkivBorderStyle::bsNone:
  case TkivBorderStyle::bsSingle:
  case TkivBorderStyle::bsToolWindow:
    return TkivBorderStyle::bsDialog;
  default:
    return AStyle;
  }
}

TkivBorderStyle HostBorderStyle(const QWidget* AHost) {
  const QVariant value = AHost->property("BorderStyle");
  return value.isValid() ? static_cast<TkivBorderStyle>(value.toInt())
                         : TkivBorderStyle::bsSizeable;
}

void SetHostBorderStyle(QWidget* AHost, TkivBorderStyle AStyle) {
  AHost->setProperty("BorderStyle", static_cast<int>(AStyle));
}

TkivForm::TkivForm(QWidget* AHost) : QWidget(AHost) {
  if (!AHost || !AHost->isWindow()) return;
  for (QObject* child : AHost->children())
    if (child != this && child->inherits("TkivForm")) return;
  FHost = AHost;
  // The host says it is going before it frees its children: from then on a
  // removed theme must not send the frame through the host's children.
  connect(AHost, &QObject::destroyed, this, [this] { FDestroying = true; });
  FNormalGeometry = AHost->geometry();
  SetHostBorderStyle(AHost, SkinnedBorderStyle(HostBorderStyle(AHost)));
  AHost->setWindowFlag(Qt::FramelessWindowHint, true);

  FLayout = new QVBoxLayout(this);
  FLayout->setSpacing(0);
  FTitleBar = new TkivTitleBar(this);
  FTitleBar->setObjectName("kivTitleBar");
  FTitleBar->OnCustomBtnsClick = [this](QObject*, int AIndex) {
    if (OnTitleBarCustomBtnsClick) OnTitleBarCustomBtnsClick(this, AIndex);
  };
  FTitleBar->OnHelpBtnClick = [this](QObject*, int AIndex) {
    if (OnTitleBarHelpBtnClick) OnTitleBarHelpBtnClick(this, AIndex);
  };
  RebuildLayout();
  setGeometry(AHost->rect());
  AHost->installEventFilter(this);
  qApp->installEventFilter(this);
  FMenuBarColor = FMenuBarToColor = FColor;
  SetUIStyle(TkivUIStyle::DeepBlue);
  SetCaption(AHost->windowTitle());
}

TkivForm::~TkivForm() {
  FDestroying = true;
  if (auto* menu = qobject_cast<TkivMainMenu*>(FMenu.data())) menu->SetForm(nullptr);
}

void TkivForm::RebuildLayout() {
  while (FLayout->count() > 0)
    delete FLayout->takeAt(0);
  FLayout->addWidget(FTitleBar);
  if (FMenuBar) FLayout->addWidget(FMenuBar);
  if (FFormPanel)
    FLayout->addWidget(FFormPanel, 1);
  else
    FLayout->addStretch(1);
  FLayout->setContentsMargins(FrameMargins());
}

int TkivForm::SideBorderWidth() const {
  return FLeftWidth > 0 ? std::max(FLeftWidth, 4) : FHostBottom - 1;
}

QMargins TkivForm::FrameMargins() const {
  const int right = FRightWidth > 0 ? std::max(FRightWidth, 4) : FHostBottom - 1;
  const int bottom = FBottomHeight > 0 ? std::max(FBottomHeight, 4) : FHostBottom - 1;
  return {SideBorderWidth(), TopEdge, right, bottom};
}

void TkivForm::SetFileTheme(TkivThemeComponent* ATheme) {
  if (Inert() || ATheme == FThemeLink.Get()) return;
  FThemeLink.Set(ATheme, [this] {
    // The theme is gone: the frame and its controls draw as DeepBlue.
    if (FDestroying || !FHost) return;
    for (QObject* child : FHost->children())
      if (auto* skinnable = dynamic_cast<TkivSkinnable*>(child); skinnable && child != this) {
        skinnable->SetFileTheme(nullptr);
        skinnable->SetUIStyle(TkivUIStyle::DeepBlue);
      }
    SetUIStyle(TkivUIStyle::DeepBlue);
  });
  SetUIStyle(FUIStyle);
}

void TkivForm::SetUIStyle(TkivUIStyle AStyle) {
  FUIStyle = AStyle;
  if (Inert()) return;
  ApplyMetrics();
  FTitleBar->SetFileTheme(FThemeLink.Get());
  FTitleBar->SetUIStyle(AStyle);
  if (!UsingFileTheme(FThemeLink.Theme(), AStyle).UseFileTheme) {
    FTitleBar->SetRoundCornerBottom(0);
    FTitleBar->SetRoundCorner(GetThemeInt(StyleNumber(UsingFileTheme(nullptr, AStyle).Style), 14));
  }
  if (auto* menu = qobject_cast<TkivSkinnedMenu*>(FMenu.data())) {
    menu->SetFileTheme(FThemeLink.Get());
    menu->SetUIStyle(AStyle);
  }
  if (FAutoUpdateSub)
    for (QObject* child : FHost->children())
      if (auto* skinnable = dynamic_cast<TkivSkinnable*>(child); skinnable && child != this) {
        skinnable->SetFileTheme(FThemeLink.Get());
        skinnable->SetUIStyle(AStyle);
      }
  RebuildLayout();
  if (FMenuBar) FMenuBar->update();
  update();
  UpdateRegion();
  UpdateMinimumHeight();
}

void TkivForm::ApplyMetrics() {
  const TkivFileTheme* theme = FThemeLink.Theme();
  const TkivStyleChoice choice = UsingFileTheme(theme, FUIStyle);
  if (choice.UseFileTheme) {
    FColor = theme->GetColor(FormColorKey);
    FMenuBarColor = theme->GetColor(MenuBarStartKey);
    FMenuBarToColor = theme->GetColor(MenuBarEndKey);
    FLeftWidth = PictureWidth(theme->GetBitmap(LeftBorderKey));
    FRightWidth = PictureWidth(theme->GetBitmap(RightBorderKey));
    FBottomHeight = PictureHeight(theme->GetBitmap(Bottom1Key));
    FTransparentColor = theme->GetColor(TransColorKey);
    FTitleNeedsRegion = theme->GetBool(TitleNeedsRegionKey) != 0;
    FBottomNeedsRegion = theme->GetBool(BottomNeedsRegionKey) != 0;
    FTitleMinY = theme->GetInt(TitleMinYKey);
    FTitleMaxY = theme->GetInt(TitleMaxYKey);
    FBottomMinY = theme->GetInt(BottomMinYKey);
    FBottomMaxY = theme->GetInt(BottomMaxYKey);
  } else {
    const int style = StyleNumber(choice.Style);
    FLeftWidth = FRightWidth = FBottomHeight = 0;
    FTransparentColor = 0xFF00FF;
    FTitleNeedsRegion = FBottomNeedsRegion = false;
    FBorderColor = GetThemeColor(style, 16);
    FBorderWidth = GetThemeInt(style, 17);
    FColor = GetThemeColor(style, 15);
    FMenuBarColor = FMenuBarToColor = FColor;
  }
  if (FMenuBar) FMenuBar->setPalette(QPalette(ToQColor(FMenuBarColor)));
}

void TkivForm::UpdateMinimumHeight() {
  FHost->setMinimumHeight(MenuBarHeight() + (TitleBarVisible() ? FTitleBar->height() : 0) +
                          FBottomHeight + 3);
}

void TkivForm::SetBorderColor(TColor AValue) {
  FBorderColor = AValue;
  update();
}

void TkivForm::SetBorderWidth(int AValue) {
  FBorderWidth = AValue;
  update();
}

void TkivForm::SetTitleBarVisible(bool AValue) {
  if (Inert() || AValue == TitleBarVisible()) return;
  FTitleBarWanted = AValue;
  FTitleBar->setVisible(AValue);
  RebuildLayout();
  update();
  UpdateRegion();
}

void TkivForm::SetColor(TColor AValue) {
  FColor = AValue;
  update();
}

void TkivForm::SetCaption(const QString& AValue) {
  if (Inert()) return;
  FTitleBar->SetCaption(AValue);
  FHost->setWindowTitle(AValue);
}

void TkivForm::SetFormPanel(QWidget* APanel) {
  if (Inert()) return;
  if (APanel && APanel == FHost) {
    QMessageBox::information(this, QApplication::applicationName(),
                             "Sorry, you can't select the Form assign to FormPanel property");
    return;
  }
  FFormPanel = APanel;
  if (APanel) {
    APanel->setParent(this);
    if (auto* frame = qobject_cast<QFrame*>(APanel)) frame->setFrameShape(QFrame::NoFrame);
    APanel->show();
  }
  RebuildLayout();
}

void TkivForm::SetMenu(QMenu* AMenu) {
  if (Inert()) return;
  if (auto* previous = qobject_cast<TkivMainMenu*>(FMenu.data())) previous->SetForm(nullptr);
  FMenu = AMenu;
  if (auto* skinned = qobject_cast<TkivMainMenu*>(AMenu)) {
    skinned->SetForm(this);
    skinned->SetFileTheme(FThemeLink.Get());
    skinned->SetUIStyle(FUIStyle);
  }
  if (AMenu) {
    if (!FMenuBar) FMenuBar = new TkivMenuBar(this);
    FMenuBar->setFixedHeight(FMenuBarHeight);
    FMenuBar->show();
    FMenuBar->Rebuild(AMenu);
    // The menu's short-cuts work wherever the window has the focus.
    std::function<void(QMenu*)> addShortCuts = [&](QMenu* AItems) {
      for (QAction* action : AItems->actions()) {
        if (action->menu())
          addShortCuts(action->menu());
        else if (!action->shortcut().isEmpty())
          FHost->addAction(action);
      }
    };
    addShortCuts(AMenu);
  } else if (FMenuBar) {
    delete FMenuBar;
    FMenuBar = nullptr;
  }
  RebuildLayout();
  UpdateMinimumHeight();
}

void TkivForm::MenuChanged() {
  if (FMenuBar) FMenuBar->Rebuild(FMenu);
}

void TkivForm::RefreshMenuBarFont() {
  if (FMenuBar) FMenuBar->RefreshFont();
}

void TkivForm::SetMenuBarColor(TColor AValue) {
  FMenuBarColor = AValue;
  if (FMenuBar) FMenuBar->update();
  update();
}

void TkivForm::SetMenuBarToColor(TColor AValue) {
  FMenuBarToColor = AValue;
  if (FMenuBar) FMenuBar->update();
  update();
}

int TkivForm::MenuBarHeight() const {
  return FMenuBar && FMenuBar->isVisibleTo(this) ? FMenuBar->height() : 0;
}

void TkivForm::SetMenuBarHeight(int AValue) {
  FMenuBarHeight = AValue;
  if (FMenuBar) FMenuBar->setFixedHeight(AValue);
}

int TkivForm::RoundCorner() const {
  return FTitleBar && TitleBarVisible() ? FTitleBar->RoundCorner() : 0;
}
void TkivForm::SetRoundCorner(int AValue) {
  if (FTitleBar) FTitleBar->SetRoundCorner(AValue);
  UpdateRegion();
}
int TkivForm::RoundCornerBottom() const {
  return FTitleBar && TitleBarVisible() ? FTitleBar->RoundCornerBottom() : 0;
}
void TkivForm::SetRoundCornerBottom(int AValue) {
  if (FTitleBar) FTitleBar->SetRoundCornerBottom(AValue);
  UpdateRegion();
}

QRegion TkivForm::FrameRegion() const {
  if (Inert()) return {};
  const int w = FHost->width(), h = FHost->height();
  const TkivStyleChoice choice = UsingFileTheme(FThemeLink.Theme(), FUIStyle);
  if (choice.UseFileTheme) {
    if (!FTitleNeedsRegion && !FBottomNeedsRegion) return QRegion(0, 0, w, h);
    TImageRegionBand title, bottom;
    if (FTitleNeedsRegion) {
      FTitleBar->Render();
      title = {FTitleBar->GetTitleImage(-1), FTitleMinY, FTitleMaxY};
    }
    TBitmap bottomImage;
    if (FBottomNeedsRegion && !FBottomImage.Empty())
      bottom = {&FBottomImage, FBottomMinY, FBottomMaxY};
    return ToRegion(ImageFrameRegion(w, h, title, bottom, FTransparentColor));
  }
  return ToRegion(RoundedFrameRegion(w, h, RoundCorner(), RoundCornerBottom()));
}

void TkivForm::UpdateRegion() {
  if (Inert() || FDestroying) return;
  FHost->setMask(FrameRegion());
}

void TkivForm::PopupSystemMenu() {
  if (Inert()) return;
  FTitleBar->SystemMenu()->PopupAt(QPoint(FHost->x(), FHost->y() + FTitleBar->height()));
}

void TkivForm::paintEvent(QPaintEvent*) {
  if (Inert() || FDestroying) return;
  QPainter painter(this);
  if (FUIStyle == TkivUIStyle::MacOS || FUIStyle == TkivUIStyle::Protein) {
    TBitmap tile;
    LoadSkinResource(
        FUIStyle == TkivUIStyle::MacOS ? "MACOS_FORM_BACKGROUND" : "PROTEIN_FORM_BACKGROUND", tile);
    painter.drawTiledPixmap(rect(), QPixmap::fromImage(ToQImage(tile)));
  } else {
    painter.fillRect(rect(), ToQColor(FColor));
  }
  PaintFrame(painter);
}

void TkivForm::PaintFrame(QPainter& APainter) {
  if (FHost->isMinimized()) return;
  const TkivFileTheme* theme = FThemeLink.Theme();
  if (UsingFileTheme(theme, FUIStyle).UseFileTheme)
    PaintFileThemeFrame(APainter, *theme);
  else
    PaintBuiltInFrame(APainter);
}

void TkivForm::FillBesideMenuBar(QPainter& APainter, const QRect& AColumns, TColor AColor) {
  // The columns beside a visible menu bar take its colours.
  APainter.fillRect(AColumns, ToQColor(AColor));
  if (!FMenuBar || !FMenuBar->isVisibleTo(this) || AColumns.isEmpty()) return;
  const QRect beside(AColumns.left(), FMenuBar->y(), AColumns.width(), FMenuBar->height());
  if (FMenuBarColor == FMenuBarToColor) {
    APainter.fillRect(beside, ToQColor(FMenuBarColor));
    return;
  }
  TBitmap gradient(beside.width(), beside.height(), 32);
  TSkinCanvas canvas(gradient);
  DrawVerticalGradient(canvas, {0, 0, beside.width(), beside.height()}, FMenuBarColor,
                       FMenuBarToColor);
  APainter.drawImage(beside.topLeft(), ToQImage(gradient));
}

void TkivForm::PaintFileThemeFrame(QPainter& APainter, const TkivFileTheme& ATheme) {
  const int w = width(), h = height();
  const bool titleVisible = TitleBarVisible();
  const int t = titleVisible ? FTitleBar->height() + TopEdge : 0;
  const int bh = FBottomHeight;
  const TColor formColor = ATheme.GetColor(FormColorKey);
  if (titleVisible && FTitleBar->HasThemeSections()) {
    FTitleBar->Render();
    const QImage title = ToQImage(*FTitleBar->GetTitleImage(-2));
    const int leftStrip = std::max(FLeftWidth, 4), rightStrip = std::max(FRightWidth, 4);
    APainter.drawImage(0, 0, title, 0, 0, leftStrip, title.height());
    APainter.drawImage(0, 0, title, 0, 0, w, TopEdge);
    APainter.drawImage(w - rightStrip, 0, title, title.width() - rightStrip, 0, rightStrip,
                       title.height());
  }
  if (const TBitmap* left = ATheme.GetBitmap(LeftBorderKey))
    APainter.drawImage(QRect(0, t, left->Width(), h - bh - t), ToQImage(*left));
  if (FLeftWidth < 4)
    FillBesideMenuBar(APainter, QRect(FLeftWidth, t, 4 - FLeftWidth, h - bh - t), formColor);
  if (const TBitmap* right = ATheme.GetBitmap(RightBorderKey))
    APainter.drawImage(QRect(w - right->Width(), t, right->Width(), h - bh - t), ToQImage(*right));
  if (FRightWidth < 4)
    FillBesideMenuBar(APainter, QRect(w - 4, t, 4 - FRightWidth, h - bh - t), formColor);

  FBottomImage = FilledBitmap(w, bh, formColor);
  TSkinCanvas canvas(FBottomImage);
  const std::optional<TColor> key =
      FBottomNeedsRegion ? std::optional<TColor>(FTransparentColor) : std::nullopt;
  const TBitmap* bottom1 = ATheme.GetBitmap(Bottom1Key);
  if (ATheme.GetBool(BottomThreeSectKey)) {
    const TBitmap* bottom2 = ATheme.GetBitmap(Bottom2Key);
    const TBitmap* bottom3 = ATheme.GetBitmap(Bottom3Key);
    const int leftWidth = PictureWidth(bottom1), rightWidth = PictureWidth(bottom3);
    if (bottom1) canvas.Draw(0, 0, *bottom1, key);
    if (bottom3) canvas.Draw(w - rightWidth, 0, *bottom3, key);
    if (bottom2)
      canvas.StretchDraw({leftWidth, 0, w - rightWidth, bottom2->Height()}, *bottom2,
                         {0, 0, bottom2->Width(), bottom2->Height()}, key);
  } else if (bottom1) {
    DrawThreePartStrip(*bottom1, canvas, {0, 0, w, bh}, FTransparentColor, FBottomNeedsRegion);
  }
  APainter.drawImage(0, h - bh, ToQImage(FBottomImage));
  if (bh < 4)
    APainter.fillRect(QRect(FLeftWidth, h - 4, w - FRightWidth - FLeftWidth, 4 - bh),
                      ToQColor(formColor));
}

void TkivForm::PaintBuiltInFrame(QPainter& APainter) {
  const int w = width(), h = height();
  const int bw = FBorderWidth;
  const bool titleVisible = TitleBarVisible();
  if (titleVisible && FTitleBar->HasThemeSections()) {
    const TBitmap& left = *FTitleBar->GetTitleImage(0);
    const TBitmap& right = *FTitleBar->GetTitleImage(1);
    const TBitmap& middle = *FTitleBar->GetTitleImage(2);
    TBitmap scratch = FilledBitmap(std::max(3 - bw, 0), left.Height(), FColor);
    {
      TSkinCanvas canvas(scratch);
      canvas.Draw(0, 0, left);
    }
    APainter.drawImage(bw, 0, ToQImage(scratch));
    {
      TSkinCanvas canvas(scratch);
      if (right.Width() <= 2)
        canvas.StretchDraw({0, 0, scratch.Width(), scratch.Height()}, right,
                           {0, 0, right.Width(), right.Height()});
      else
        canvas.Draw(2 - right.Width(), 0, right);
    }
    APainter.drawImage(w - 3, 0, ToQImage(scratch));
    TBitmap top = FilledBitmap(std::max(w - 5, 0), TopEdge, FColor);
    {
      TSkinCanvas canvas(top);
      const int rightAt = w - 5 - right.Width() + 3;
      canvas.Draw(-2, 0, left);
      canvas.Draw(rightAt, 0, right);
      canvas.StretchDraw({left.Width() - 2, 0, rightAt, middle.Height()}, middle,
                         {0, 0, middle.Width(), middle.Height()});
    }
    APainter.drawImage(2, 0, ToQImage(top));
    if (bw == 1 && RoundCorner() == 11) {
      APainter.setPen(ToQColor(FBorderColor));
      APainter.setBrush(Qt::NoBrush);
      APainter.drawArc(QRect(0, 0, 11, 11), 90 * 16, 90 * 16);
      APainter.drawArc(QRect(w - 12, 0, 11, 11), 0, 90 * 16);
    }
  } else if (!titleVisible) {
    APainter.fillRect(QRect(0, 0, w, 1), ToQColor(FBorderColor));
    APainter.fillRect(QRect(bw, 1, w - 2 * bw, 2), ToQColor(FColor));
  }
  const QColor border = ToQColor(FBorderColor);
  APainter.fillRect(QRect(0, 0, bw, h), border);
  APainter.fillRect(QRect(w - bw, 0, bw, h), border);
  APainter.fillRect(QRect(0, h - bw, w, bw), border);
  if (bw < 4) {
    const int top = (titleVisible ? FTitleBar->height() + TopEdge : TopEdge);
    FillBesideMenuBar(APainter, QRect(bw, top, 3 - bw, h - bw - top), FColor);
    FillBesideMenuBar(APainter, QRect(w - 3, top, 3 - bw, h - bw - top), FColor);
    APainter.fillRect(QRect(bw, h - 3, w - 2 * bw, 3 - bw), ToQColor(FColor));
  }
}

void TkivForm::HostStateChanged() {
  if (FPlacing) return;
  FPlacing = true;
  if (FHost->isMaximized()) {
    // Qt drops the maximised state when it places the window: it is set
    // again once the window sits on the available screen.
    const QScreen* screen = FHost->screen() ? FHost->screen() : QGuiApplication::primaryScreen();
    if (screen) FHost->setGeometry(screen->availableGeometry().adjusted(-2, -2, 2, -1));
    if (!FHost->isMaximized()) FHost->setWindowState(FHost->windowState() | Qt::WindowMaximized);
  } else if (!FHost->isMinimized() && FNormalGeometry.isValid()) {
    FHost->setGeometry(FNormalGeometry);
  }
  FPlacing = false;
  FTitleBar->RefreshMaxButtons();
  update();
  UpdateRegion();
}

bool TkivForm::eventFilter(QObject* AWatched, QEvent* AEvent) {
  if (FDestroying || Inert()) return false;
  if (AWatched == FHost) {
    switch (AEvent->type()) {
    case QEvent::Resize:
    case QEvent::Move:
      if (!FPlacing && !FHost->isMaximized() && !FHost->isMinimized())
        FNormalGeometry = FHost->geometry();
      if (AEvent->type() == QEvent::Resize) {
        setGeometry(FHost->rect());
        UpdateRegion();
      }
      break;
    case QEvent::WindowStateChange:
      HostStateChanged();
      break;
    case QEvent::ActivationChange:
      FTitleBar->SetFormActive(FHost->isActiveWindow());
      update();
      break;
    default:
      break;
    }
  }
  if (AEvent->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(AWatched);
  if (!widget || widget->window() != FHost) return false;
  auto* key = static_cast<QKeyEvent*>(AEvent);
  const bool alt = key->modifiers() & Qt::AltModifier;
  if (key->key() == Qt::Key_Space && alt) {
    PopupSystemMenu();
    return true;
  }
  const QString text = key->text();
  if (FMenuBar && !(key->modifiers() & Qt::ControlModifier)) {
    QChar letter;
    if (text.size() == 1 && text[0].isLetterOrNumber())
      letter = text[0];
    else if (alt && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
      letter = QChar(static_cast<char16_t>(key->key()));
    if (!letter.isNull() && FMenuBar->DialogChar(letter, alt)) return true;
  }
  return false;
}
