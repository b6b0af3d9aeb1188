// Skinned menus (see SkinMenu.h): colours by style or skin file, item
// measuring and drawing through the menu's own style.
#include "SkinMenu.h"

#include "BuiltInStyles.h"
#include "FormFrame.h"
#include "SkinDraw.h"
#include "StyleResources.h"

#include <QActionEvent>
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <functional>

namespace {

// Menus draw their items themselves; the panel around them adds nothing.
class TkivMenuStyle : public QProxyStyle {
public:
  explicit TkivMenuStyle(TkivSkinnedMenu* AMenu) : FMenu(AMenu) {}

  int pixelMetric(PixelMetric AMetric, const QStyleOption* AOption,
                  const QWidget* AWidget) const override {
    switch (AMetric) {
    case PM_MenuHMargin:
    case PM_MenuVMargin:
    case PM_MenuPanelWidth:
    case PM_MenuDesktopFrameWidth:
      return 0;
    default:
      return QProxyStyle::pixelMetric(AMetric, AOption, AWidget);
    }
  }

  QSize sizeFromContents(ContentsType AType, const QStyleOption* AOption, const QSize& ASize,
                         const QWidget* AWidget) const override {
    if (AType == CT_MenuItem)
      if (auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(AOption)) {
        const auto* menu = qobject_cast<const QMenu*>(AWidget);
        // The menu adds the widest short-cut column to every item itself.
        int tabWidth = 0;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
          if (!action->shortcut().isEmpty())
            tabWidth =
                std::max(tabWidth, menu->fontMetrics().horizontalAdvance(
                                       action->shortcut().toString(QKeySequence::NativeText)));
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
          if (ActionText(action) == item->text &&
              action->isSeparator() == (item->menuItemType == QStyleOptionMenuItem::Separator)) {
            const QSize size = FMenu->MeasureItem(action);
            return {size.width() - tabWidth, size.height()};
          }
        QAction probe(item->text);
        probe.setSeparator(item->menuItemType == QStyleOptionMenuItem::Separator);
        return FMenu->MeasureItem(&probe);
      }
    return QProxyStyle::sizeFromContents(AType, AOption, ASize, AWidget);
  }

  void drawControl(ControlElement AElement, const QStyleOption* AOption, QPainter* APainter,
                   const QWidget* AWidget) const override {
    if (AElement == CE_MenuItem)
      if (auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(AOption)) {
        const auto* menu = qobject_cast<const QMenu*>(AWidget);
        const QAction* found = nullptr;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
          if (menu->actionGeometry(action) == item->rect) found = action;
        QAction probe(item->text);
        probe.setSeparator(item->menuItemType == QStyleOptionMenuItem::Separator);
        probe.setEnabled(item->state & State_Enabled);
        FMenu->DrawItem(*APainter, item->rect, found ? found : &probe,
                        (item->state & State_Selected) != 0, item->checked, item->icon,
                        !item->icon.isNull());
        return;
      }
    if (AElement == CE_MenuEmptyArea) return;
    QProxyStyle::drawControl(AElement, AOption, APainter, AWidget);
  }

  void drawPrimitive(PrimitiveElement AElement, const QStyleOption* AOption, QPainter* APainter,
                     const QWidget* AWidget) const override {
    if (AElement == PE_PanelMenu || AElement == PE_FrameMenu) return;
    QProxyStyle::drawPrimitive(AElement, AOption, APainter, AWidget);
  }

  static QString ActionText(const QAction* AAction) {
    QString text = AAction->text();
    if (!AAction->shortcut().isEmpty())
      text += '\t' + AAction->shortcut().toString(QKeySequence::NativeText);
    return text;
  }

private:
  TkivSkinnedMenu* FMenu;
};

QImage ResourceRows(const char* AName, int ARows) {
  TBitmap picture;
  LoadSkinResource(AName, picture);
  const QImage image = ToQImage(picture);
  return image.isNull() ? image : image.copy(0, 0, image.width(), std::min(ARows, image.height()));
}

QString CaptionOf(const QAction* AAction) {
  return AAction->text();
}

} // namespace

TkivSkinnedMenu::TkivSkinnedMenu(QWidget* AParent)
    : QMenu(AParent), FStyle(std::make_unique<TkivMenuStyle>(this)) {
  setStyle(FStyle.get());
  SetUIStyle(GetFormUIStyle(AParent));
}

TkivSkinnedMenu::~TkivSkinnedMenu() {
  // Submenus, at any depth, may outlive the menu's style: they go back to
  // the application's.
  std::function<void(QMenu*)> release = [&](QMenu* AMenu) {
    for (QAction* action : AMenu->actions())
      if (QMenu* submenu = action->menu(); submenu && submenu->style() == FStyle.get()) {
        release(submenu);
        submenu->setStyle(nullptr);
      }
  };
  release(this);
  setStyle(nullptr);
}

void TkivSkinnedMenu::SetMenuItemHeight(int AValue) {
  FMenuItemHeight = AValue;
}

void TkivSkinnedMenu::SetSeparatorHeight(int AValue) {
  if (!IsMacOS()) FSeparatorHeight = AValue;
}

void TkivSkinnedMenu::SetUIStyle(TkivUIStyle AStyle) {
  FUIStyle = AStyle;
  setFont(ItemFont());
  FBarWidth = 26;
  if (AStyle == TkivUIStyle::MacOS) {
    FMenuItemHeight = 20;
    FSeparatorHeight = 12;
    FSeparatorColor = 0;
  } else {
    FMenuItemHeight = 21;
    FSeparatorHeight = 5;
    FSeparatorColor = 0x848284;
  }
  const TkivFileTheme* theme = FThemeLink.Theme();
  const TkivStyleChoice choice = UsingFileTheme(theme, AStyle);
  if (choice.UseFileTheme) {
    FBarColor = theme->GetColor(9);
    FBarToColor = theme->GetColor(10);
    FColor = theme->GetColor(11);
    FFontColor = theme->GetColor(12);
    FSelectedBorderColor = theme->GetColor(14);
    FSelectedColor = theme->GetColor(13);
    FSelectedFontColor = theme->GetColor(15);
  } else {
    const int s = StyleNumber(choice.Style);
    FBarColor = FBarToColor = GetThemeColor(s, 23);
    FColor = GetThemeColor(s, 21);
    FFontColor = GetThemeColor(s, 22);
    FSelectedBorderColor = GetThemeColor(s, 18);
    FSelectedColor = GetThemeColor(s, 19);
    FSelectedFontColor = GetThemeColor(s, 20);
  }
  update();
}

void TkivSkinnedMenu::SetFileTheme(TkivThemeComponent* ATheme) {
  FThemeLink.Set(ATheme, [this] { SetUIStyle(TkivUIStyle::DeepBlue); });
  SetUIStyle(FUIStyle);
}

QFont TkivSkinnedMenu::ItemFont() const {
  if (FUseSystemFont) return QApplication::font("QMenu");
  QFont font(FFontName);
  font.setPointSize(FFontSize);
  return font;
}

QSize TkivSkinnedMenu::MeasureItem(const QAction* AAction) const {
  if (AAction->isSeparator()) return {FBarWidth + 40, FSeparatorHeight};
  QFont font = ItemFont();
  if (AAction == defaultAction()) font.setBold(true);
  const QFontMetrics metrics(font);
  const QString caption = QString(CaptionOf(AAction)).remove('&');
  const QString shortCut = AAction->shortcut().toString(QKeySequence::NativeText);
  const int width =
      MenuItemWidth(metrics.horizontalAdvance(caption),
                    shortCut.isEmpty() ? 0 : metrics.horizontalAdvance(shortCut), FBarWidth);
  return {width, std::max(FMenuItemHeight, metrics.height())};
}

const QImage& TkivSkinnedMenu::CheckMarkImage() {
  static const QImage image = [] {
    TBitmap picture;
    LoadSkinResource("MENU_CHECKED", picture);
    return KeyedImage(picture, 0xFFFFFF);
  }();
  return image;
}

void TkivSkinnedMenu::DrawItem(QPainter& ACanvas, const QRect& ARect, const QAction* AAction,
                               bool ASelected, bool AChecked, const QIcon& AIcon,
                               bool AHasIcon) const {
  ACanvas.save();
  const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
  auto drawBarStrip = [&] {
    if (FBarWidth <= 0) return;
    const QRect strip =
        rightToLeft ? QRect(ARect.right() - FBarWidth + 1, ARect.top(), FBarWidth, ARect.height())
                    : QRect(ARect.left(), ARect.top(), FBarWidth, ARect.height());
    if (FBarToColor == FBarColor) {
      ACanvas.fillRect(strip, ToQColor(FBarColor));
      return;
    }
    TBitmap gradient(strip.width(), strip.height(), 32);
    TSkinCanvas canvas(gradient);
    DrawHorizontalGradient(canvas, {0, 0, strip.width(), strip.height()}, FBarColor, FBarToColor);
    ACanvas.drawImage(strip.topLeft(), ToQImage(gradient));
  };
  auto fillRest = [&] {
    const QRect rest =
        rightToLeft ? QRect(ARect.left(), ARect.top(), ARect.width() - FBarWidth, ARect.height())
                    : ARect.adjusted(std::max(FBarWidth, 0), 0, 0, 0);
    ACanvas.fillRect(rest, ToQColor(FColor));
  };

  if (AAction->isSeparator()) {
    if (IsMacOS()) {
      ACanvas.drawImage(ARect, ResourceRows("MACOS_MENU_BAR", 12));
    } else {
      drawBarStrip();
      fillRest();
      ACanvas.setPen(ToQColor(FSeparatorColor));
      const int y = ARect.top() + 2;
      if (rightToLeft)
        ACanvas.drawLine(ARect.left() + 2, y, ARect.right() - FBarWidth - 4, y);
      else
        ACanvas.drawLine(ARect.left() + FBarWidth + 4, y, ARect.right() - 2, y);
    }
    ACanvas.restore();
    return;
  }

  const bool enabled = AAction->isEnabled();
  if (ASelected && enabled) {
    if (IsMacOS()) {
      ACanvas.drawImage(ARect, ResourceRows("MACOS_MENU_SELECT", 20));
    } else {
      ACanvas.fillRect(ARect, ToQColor(FSelectedColor));
      ACanvas.setPen(ToQColor(FSelectedBorderColor));
      ACanvas.setBrush(Qt::NoBrush);
      ACanvas.drawRect(ARect.adjusted(0, 0, -1, -1));
    }
  } else if (IsMacOS()) {
    ACanvas.drawImage(ARect, ResourceRows("MACOS_MENU_BAR", 20));
  } else {
    drawBarStrip();
    fillRest();
  }

  QFont font = ItemFont();
  if (AAction == defaultAction()) font.setBold(true);
  ACanvas.setFont(font);
  QColor color = ToQColor(FFontColor);
  if (!enabled)
    color = QColor(0x80, 0x80, 0x80);
  else if (ASelected)
    color = ToQColor(FSelectedFontColor);
  else if (FUseSystemFont)
    color = ToQColor(FFontColor);
  ACanvas.setPen(color);
  const QFontMetrics metrics(font);
  const QString caption = CaptionOf(AAction);
  const QString shortCut = AAction->shortcut().toString(QKeySequence::NativeText);
  if (rightToLeft) {
    ACanvas.drawText(ARect.adjusted(0, 0, -4, 0),
                     Qt::AlignRight | Qt::AlignVCenter | Qt::TextShowMnemonic, caption);
    if (!shortCut.isEmpty())
      ACanvas.drawText(ARect.adjusted(FBarWidth + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       shortCut);
  } else {
    ACanvas.drawText(ARect.adjusted(FBarWidth + 4, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, caption);
    if (!shortCut.isEmpty()) {
      const int start = ARect.right() + 1 - (metrics.horizontalAdvance(shortCut) + 16);
      ACanvas.drawText(QRect(start, ARect.top(), ARect.right() + 1 - start, ARect.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, shortCut);
    }
  }

  const int x = rightToLeft ? ARect.right() + 1 - 20 : ARect.left() + 4;
  const int top = ARect.top();
  if (AChecked) {
    if (AHasIcon) {
      ACanvas.fillRect(QRect(QPoint(x - 2, top + 1), QPoint(x + 16, top + 19)), Qt::black);
      ACanvas.fillRect(QRect(QPoint(x - 1, top + 2), QPoint(x + 15, top + 18)),
                       ToQColor(FSelectedColor));
    } else {
      ACanvas.drawImage(x, top + 3, CheckMarkImage());
    }
  }
  if (AHasIcon)
    ACanvas.drawPixmap(x, top + 3, AIcon.pixmap(16, 16, enabled ? QIcon::Normal : QIcon::Disabled));
  ACanvas.restore();
}

void TkivSkinnedMenu::paintEvent(QPaintEvent* AEvent) {
  QMenu::paintEvent(AEvent);
  if (!FFlatMenu) return;
  // A flat menu's edge: a black frame, a white one inside it, and a line in
  // the form colour along the bottom, up the right edge and back along the top.
  const QRect edge(0, 1, width() - 1, height() - 2);
  QPainter painter(this);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(Qt::black);
  painter.drawRect(edge.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::white);
  painter.drawRect(edge.adjusted(1, 1, -2, -2));
  const TkivFileTheme* theme = FThemeLink.Theme();
  const TkivStyleChoice choice = UsingFileTheme(theme, FUIStyle);
  painter.setPen(ToQColor(choice.UseFileTheme ? theme->GetColor(2)
                                              : GetThemeColor(StyleNumber(choice.Style), 15)));
  const int left = edge.left() + 2, top = edge.top() + 2;
  const int right = edge.right() - 2, bottom = edge.bottom() - 2;
  painter.drawPolyline(QPolygon(
      {QPoint(left, bottom), QPoint(right, bottom), QPoint(right, top), QPoint(left, top)}));
}

void TkivSkinnedMenu::actionEvent(QActionEvent* AEvent) {
  QMenu::actionEvent(AEvent);
  if (AEvent->type() == QEvent::ActionAdded && AEvent->action()->menu())
    AdoptSubmenus(AEvent->action()->menu());
}

void TkivSkinnedMenu::AdoptSubmenus(QMenu* AMenu) {
  AMenu->setStyle(FStyle.get());
  for (QAction* action : AMenu->actions())
    if (action->menu()) AdoptSubmenus(action->menu());
}

TkivPopupMenu::TkivPopupMenu(QWidget* AParent) : TkivSkinnedMenu(AParent) {}

void TkivPopupMenu::SetMenuItemHeight(int AValue) {
  if (!IsMacOS()) TkivSkinnedMenu::SetMenuItemHeight(AValue);
}

TkivMainMenu::TkivMainMenu(QWidget* AParent) : TkivSkinnedMenu(AParent) {}

TkivMainMenu::~TkivMainMenu() {
  if (TkivForm* form = Form(); form && form->Menu() == this) form->SetMenu(nullptr);
}

TkivForm* TkivMainMenu::Form() const {
  return qobject_cast<TkivForm*>(FForm.data());
}

void TkivMainMenu::SetForm(TkivForm* AForm) {
  FForm = AForm;
}

void TkivMainMenu::SetUseSystemFont(bool AValue) {
  TkivSkinnedMenu::SetUseSystemFont(AValue);
  if (TkivForm* form = Form()) form->RefreshMenuBarFont();
}

void TkivMainMenu::actionEvent(QActionEvent* AEvent) {
  TkivSkinnedMenu::actionEvent(AEvent);
  if (TkivForm* form = Form()) form->MenuChanged();
}
