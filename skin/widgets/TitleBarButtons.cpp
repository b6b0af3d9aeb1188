// The title bar's buttons and its system menu (see TitleBar.h): their
// pictures from the style or the skin file, and what a press does.
#include "TitleBar.h"

#include "BuiltInStyles.h"
#include "TitleBarKeys.h"

#include <QApplication>
#include <QScreen>

namespace {
// The first of the three frames (normal, mouse on, pressed) of each kind.
int FirstFrame(TkivTitleBarBtnType AType, bool ARestore) {
  switch (AType) {
  case TkivTitleBarBtnType::kivControlBox:
    return 1;
  case TkivTitleBarBtnType::kivHelp:
    return 4;
  case TkivTitleBarBtnType::kivMax:
    return ARestore ? 10 : 7;
  case TkivTitleBarBtnType::kivMin:
    return 13;
  case TkivTitleBarBtnType::kivClose:
    return 16;
  case TkivTitleBarBtnType::kivCustom:
    break;
  }
  return 0;
}

QRect MaximizedPlace(const QWidget* AWindow) {
  const QScreen* screen = AWindow->screen() ? AWindow->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().adjusted(-2, -2, 2, -1) : QRect();
}
} // namespace

// Buttons ------------------------------------------------------------------

void TkivTitleBarButton::Changed() {
  if (FBar) FBar->update();
}

void TkivTitleBarButton::SetVisible(bool AValue) {
  FVisible = AValue;
  Changed();
}

void TkivTitleBarButton::SetButtonType(TkivTitleBarBtnType AValue) {
  if (AValue == TkivTitleBarBtnType::kivControlBox && FBar) {
    for (const auto& button : FBar->FButtons)
      if (button->FButtonType == TkivTitleBarBtnType::kivControlBox) {
        FBar->ShowRefusal("Sorry, only one button's ButtonType property can be \"kivControlBox\"");
        return;
      }
  }
  FButtonType = AValue;
  ApplyTheme();
  Changed();
}

void TkivTitleBarButton::SetTransparent(bool AValue) {
  FTransparent = AValue;
  Changed();
}

void TkivTitleBarButton::SetTop(int AValue) {
  FTop = AValue;
  Changed();
}

void TkivTitleBarButton::SetUIStyle(TkivUIStyle AValue) {
  FUIStyle = AValue;
  ApplyTheme();
  Changed();
}

void TkivTitleBarButton::SetPicNormal(const TBitmap& APicture) {
  FPicNormal = APicture;
  Changed();
}
void TkivTitleBarButton::SetPicMouseOn(const TBitmap& APicture) {
  FPicMouseOn = APicture;
  Changed();
}
void TkivTitleBarButton::SetPicMouseDown(const TBitmap& APicture) {
  FPicMouseDown = APicture;
  Changed();
}

void TkivTitleBarButton::SetControlBoxMenu(QMenu* AMenu) {
  FControlBoxMenu = AMenu;
  Changed();
}

void TkivTitleBarButton::Assign(const TkivTitleBarButton& ASource) {
  FVisible = ASource.FVisible;
  FButtonType = ASource.FButtonType;
  FTransparent = ASource.FTransparent;
  FTop = ASource.FTop;
  FUIStyle = ASource.FUIStyle;
  FPicNormal = ASource.FPicNormal;
  FPicMouseOn = ASource.FPicMouseOn;
  FPicMouseDown = ASource.FPicMouseDown;
  FControlBoxMenu = ASource.FControlBoxMenu;
  Changed();
}

void TkivTitleBarButton::ApplyTheme() {
  const TkivFileTheme* theme = FBar ? FBar->FThemeLink.Theme() : nullptr;
  const TkivStyleChoice choice = UsingFileTheme(theme, FUIStyle);
  const int style = StyleNumber(choice.Style);
  FTransparent =
      (choice.UseFileTheme ? theme->GetBool(TitleBtnTransKey) : GetThemeBool(style, 6)) != 0;
  if (FButtonType == TkivTitleBarBtnType::kivCustom) return;
  const bool restore = FButtonType == TkivTitleBarBtnType::kivMax && FBar && !FBar->FCustom &&
                       FBar->ParentMaximized();
  const int first = FirstFrame(FButtonType, restore);
  TBitmap* pictures[3] = {&FPicNormal, &FPicMouseOn, &FPicMouseDown};
  for (int i = 0; i < 3; ++i)
    *pictures[i] =
        SkinPictureFrame(theme, FUIStyle, 5, TitleButtonsKey, first + i, TitleButtonFrames);
  FTop = choice.UseFileTheme ? theme->GetInt(ButtonPosYKey) : GetThemeInt(style, 9);
}

void TkivTitleBarButton::PerformAction() {
  if (!FBar || !FBar->parentWidget()) return;
  QWidget* form = FBar->window();
  switch (FButtonType) {
  case TkivTitleBarBtnType::kivMax:
    if (form->isMaximized()) {
      form->showNormal();
    } else {
      // Inside a skinned frame the frame places the maximised window itself.
      // Qt drops the maximised state when a window is placed, so the place
      // comes first.
      if (!FBar->Form()) form->setGeometry(MaximizedPlace(form));
      form->setWindowState((form->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }
    FBar->RefreshMaxButtons();
    break;
  case TkivTitleBarBtnType::kivMin:
    form->showMinimized();
    break;
  case TkivTitleBarBtnType::kivClose:
    form->close();
    break;
  case TkivTitleBarBtnType::kivControlBox:
    if (FControlBoxMenu) {
      QPoint at = FBar->mapToGlobal(QPoint(0, FBar->height()));
      at.setX(std::max(at.x(), 0));
      FControlBoxMenu->popup(at);
    }
    break;
  case TkivTitleBarBtnType::kivHelp:
  case TkivTitleBarBtnType::kivCustom:
    break;
  }
}

// System menu --------------------------------------------------------------

TkivTitleBarPopupMenu::TkivTitleBarPopupMenu(TkivTitleBar* ABar) : TkivPopupMenu(ABar), FBar(ABar) {
  setObjectName("TitleBarPopupMenu");
  FMinimize = addAction(QString::fromUtf8("最小化(&N)"));
  FMaximize = addAction(QString::fromUtf8("最大化/还原(&X)"));
  addSeparator();
  FClose = addAction(QString::fromUtf8("关闭(&C)"));
  connect(FMinimize, &QAction::triggered, this, [this] {
    if (qApp) FBar->window()->showMinimized();
  });
  connect(FMaximize, &QAction::triggered, this, [this] {
    for (int i = 0; i < FBar->ButtonCount(); ++i) {
      TkivTitleBarButton& button = FBar->Button(i);
      if (button.Visible() && button.ButtonType() == TkivTitleBarBtnType::kivMax)
        button.PerformAction();
    }
  });
  connect(FClose, &QAction::triggered, this, [this] { FBar->window()->close(); });
  connect(this, &QMenu::aboutToShow, this, [this] { EnableItems(); });
}

void TkivTitleBarPopupMenu::EnableItems() {
  auto has = [this](TkivTitleBarBtnType AType) {
    for (int i = 0; i < FBar->ButtonCount(); ++i)
      if (FBar->Button(i).Visible() && FBar->Button(i).ButtonType() == AType) return true;
    return false;
  };
  FMinimize->setEnabled(has(TkivTitleBarBtnType::kivMin));
  FMaximize->setEnabled(has(TkivTitleBarBtnType::kivMax));
  FClose->setEnabled(has(TkivTitleBarBtnType::kivClose));
}

void TkivTitleBarPopupMenu::PopupAt(const QPoint& AGlobal) {
  EnableItems();
  popup(AGlobal);
}
