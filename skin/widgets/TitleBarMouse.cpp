// The title bar under the mouse (see TitleBar.h): where its buttons are,
// which one a point hits, presses and clicks, and dragging the window.
#include "TitleBar.h"

#include "SkinDraw.h"

#include <QMouseEvent>
#include <QWindow>

std::vector<QRect> TkivTitleBar::ButtonRects() const {
  std::vector<QRect> rects(FButtons.size());
  const int width = this->width();
  const int answer = SideBorder();
  int d = width - FRightBtnXOffset + answer - 1;
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    if (!button.FVisible || button.FPicNormal.Empty() || button.FPicMouseOn.Empty() ||
        button.FPicMouseDown.Empty())
      continue;
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox) continue;
    const int pw = button.FPicNormal.Width();
    d -= button.FButtonType == TkivTitleBarBtnType::kivClose ? pw : pw + FButtonInterval + 1;
    if (d + pw + 1 > width) d = width - pw - 1;
    rects[i] = QRect(d, FButtonTop, pw, button.FPicNormal.Height());
  }
  int x = std::max(FLeftBtnXOffset - answer - 3, 0);
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    if (button.FButtonType != TkivTitleBarBtnType::kivControlBox || !button.FVisible ||
        button.FPicNormal.Empty() || button.FPicMouseOn.Empty() || button.FPicMouseDown.Empty())
      continue;
    rects[i] = QRect(x, FIconTop, button.FPicNormal.Width(), button.FPicNormal.Height());
  }
  return rects;
}

int TkivTitleBar::ButtonAt(const QPoint& APoint) const {
  const std::vector<QRect> rects = ButtonRects();
  for (size_t i = 0; i < rects.size(); ++i) {
    if (rects[i].isEmpty()) continue;
    const TkivTitleBarButton& button = *FButtons[i];
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox && !FDrawAppIcon) continue;
    // Edges count as inside.
    const QRect& r = rects[i];
    if (PointInRect({APoint.x(), APoint.y()},
                    {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}))
      return static_cast<int>(i);
  }
  return -1;
}

void TkivTitleBar::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  FPressed = true;
  FHotButton = ButtonAt(AEvent->position().toPoint());
  update();
  // A maximised form stays where it is.
  if (parentWidget() && FHotButton == -1 && !window()->isMaximized()) {
    FPressed = false;
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->startSystemMove()) {
      // Without a window manager that moves windows, the bar moves it.
      FDragging = true;
      FDragStart = AEvent->globalPosition().toPoint();
      FWindowStart = window()->pos();
    }
  }
}

void TkivTitleBar::mouseMoveEvent(QMouseEvent* AEvent) {
  if (FDragging && (AEvent->buttons() & Qt::LeftButton))
    window()->move(FWindowStart + AEvent->globalPosition().toPoint() - FDragStart);
  update();
}

void TkivTitleBar::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  FDragging = false;
  const int hot = ButtonAt(AEvent->position().toPoint());
  if (hot >= 0 && FPressed) {
    TkivTitleBarButton& button = *FButtons[hot];
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox && !button.FControlBoxMenu) {
      FSystemMenu->PopupAt(mapToGlobal(QPoint(0, height())));
    } else {
      const TkivTitleBarBtnType type = button.FButtonType;
      button.PerformAction();
      if (type == TkivTitleBarBtnType::kivCustom && OnCustomBtnsClick) OnCustomBtnsClick(this, hot);
      if (type == TkivTitleBarBtnType::kivHelp && OnHelpBtnClick) OnHelpBtnClick(this, hot);
    }
  }
  FPressed = false;
  update();
}

void TkivTitleBar::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  const int hot = ButtonAt(AEvent->position().toPoint());
  if (hot == -1) {
    for (const auto& button : FButtons)
      if (button->FVisible && button->FButtonType == TkivTitleBarBtnType::kivMax) {
        button->PerformAction();
        break;
      }
  } else if (FButtons[hot]->FButtonType == TkivTitleBarBtnType::kivControlBox) {
    window()->close();
  }
}

void TkivTitleBar::leaveEvent(QEvent* AEvent) {
  QWidget::leaveEvent(AEvent);
  update();
}
