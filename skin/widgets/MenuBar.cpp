// The skinned form's menu bar (see MenuBar.h).
#include "MenuBar.h"

#include "BuiltInStyles.h"
#include "FormFrame.h"
#include "SkinDraw.h"
#include "SkinMenu.h"
#include "StyleResources.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr uint8_t TopSelectedColorKey = 5, TopSelectedBorderKey = 6, TopSelectedFontKey = 7,
                  TopMenuFontKey = 8;
} // namespace

TkivMenuBar::TkivMenuBar(TkivForm* AForm) : QWidget(AForm), FForm(AForm) {
  setMouseTracking(true);
  setObjectName("kivMenuBar");
}

void TkivMenuBar::Rebuild(QMenu* AMenu) {
  FMenu = AMenu;
  FButtons.clear();
  FHot = FPressed = -1;
  RefreshFont();
  if (AMenu)
    for (QAction* action : AMenu->actions()) {
      if (action->isSeparator()) continue;
      TButton button;
      button.Action = action;
      FButtons.push_back(button);
    }
  RefreshButtons();
}

void TkivMenuBar::RefreshButtons() {
  for (TButton& button : FButtons)
    if (button.Action) {
      button.Caption = button.Action->text();
      button.Enabled = button.Action->isEnabled();
    }
  Layout();
  update();
}

void TkivMenuBar::RefreshFont() {
  auto* skinned = qobject_cast<TkivSkinnedMenu*>(FMenu.data());
  setFont(skinned ? skinned->ItemFont() : QApplication::font("QMenu"));
  Layout();
  update();
}

void TkivMenuBar::Layout() {
  const QFontMetrics metrics(font());
  int x = 0;
  for (TButton& button : FButtons) {
    const int width = metrics.horizontalAdvance(QString(button.Caption).remove('&')) + 16;
    button.Rect = QRect(x, 0, width, height());
    x += width;
  }
}

int TkivMenuBar::ButtonAt(const QPoint& APoint) const {
  for (size_t i = 0; i < FButtons.size(); ++i)
    if (FButtons[i].Rect.contains(APoint)) return static_cast<int>(i);
  return -1;
}

void TkivMenuBar::SetHot(int AIndex) {
  if (FHot == AIndex) return;
  FHot = AIndex;
  update();
}

QMenu* TkivMenuBar::OpenButton(int AIndex) {
  if (AIndex < 0 || AIndex >= ButtonCount()) return nullptr;
  QAction* action = FButtons[AIndex].Action;
  QMenu* menu = action ? action->menu() : nullptr;
  if (!menu || !FButtons[AIndex].Enabled) {
    if (action && !menu) action->trigger();
    return nullptr;
  }
  FPressed = AIndex;
  update();
  connect(
      menu, &QMenu::aboutToHide, this,
      [this] {
        FPressed = -1;
        update();
      },
      Qt::SingleShotConnection);
  menu->popup(mapToGlobal(FButtons[AIndex].Rect.bottomLeft() + QPoint(0, 1)));
  return menu;
}

bool TkivMenuBar::DialogChar(QChar AChar, bool AAltHeld) {
  const bool anyHot = FHot >= 0 || FPressed >= 0;
  if (!AAltHeld && !anyHot) return false;
  for (int i = 0; i < ButtonCount(); ++i) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(FButtons[i].Caption);
    if (!mnemonic.isEmpty() && QChar(static_cast<char16_t>(mnemonic[0].key())) == AChar.toUpper()) {
      OpenButton(i);
      return true;
    }
  }
  return false;
}

void TkivMenuBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const auto* skinned = qobject_cast<TkivSkinnedMenu*>(FMenu.data());
  const TkivUIStyle style = skinned ? skinned->UIStyle() : FForm->UIStyle();
  const TkivThemeComponent* component = skinned ? skinned->FileTheme() : FForm->FileTheme();
  const TkivFileTheme* theme = component ? &component->Theme() : nullptr;
  const TkivStyleChoice choice = UsingFileTheme(theme, style);
  const bool macOS = choice.Style == TkivUIStyle::MacOS && !choice.UseFileTheme;
  auto color = [&](uint8_t AKey, int APosition) {
    return ToQColor(choice.UseFileTheme ? theme->GetColor(AKey)
                                        : GetThemeColor(StyleNumber(choice.Style), APosition));
  };

  if (macOS) {
    TBitmap picture;
    LoadSkinResource("MACOS_MENU_BAR", picture);
    painter.drawImage(rect(), ToQImage(picture));
  } else if (FForm->MenuBarColor() != FForm->MenuBarToColor()) {
    TBitmap gradient(width(), height(), 32);
    TSkinCanvas canvas(gradient);
    DrawVerticalGradient(canvas, {0, 0, width(), height()}, FForm->MenuBarColor(),
                         FForm->MenuBarToColor());
    painter.drawImage(0, 0, ToQImage(gradient));
  } else {
    painter.fillRect(rect(), ToQColor(FForm->MenuBarColor()));
  }

  painter.setFont(font());
  const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  for (size_t i = 0; i < FButtons.size(); ++i) {
    TButton& button = FButtons[i];
    const bool hot = static_cast<int>(i) == FHot || static_cast<int>(i) == FPressed;
    button.Tag = hot ? HotTag : 0;
    const QRect textRect = button.Rect.translated(0, 2);
    if (hot && macOS) {
      TBitmap picture;
      LoadSkinResource("MACOS_MENU_SELECT", picture);
      painter.drawImage(button.Rect, ToQImage(picture));
      painter.setPen(ToQColor(GetThemeColor(StyleNumber(TkivUIStyle::MacOS), 20)));
    } else if (hot) {
      painter.fillRect(button.Rect, color(TopSelectedColorKey, 19));
      painter.setPen(color(TopSelectedBorderKey, 18));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(button.Rect.adjusted(0, 0, -1, -1));
      painter.setPen(color(TopSelectedFontKey, 20));
    } else {
      painter.setPen(button.Enabled ? color(TopMenuFontKey, 22) : QColor(0x80, 0x80, 0x80));
    }
    painter.drawText(textRect, flags, button.Caption);
  }
}

void TkivMenuBar::mouseMoveEvent(QMouseEvent* AEvent) {
  SetHot(ButtonAt(AEvent->position().toPoint()));
}

void TkivMenuBar::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) OpenButton(ButtonAt(AEvent->position().toPoint()));
}

void TkivMenuBar::leaveEvent(QEvent*) {
  SetHot(-1);
}
