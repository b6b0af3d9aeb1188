// The skinned form's menu bar: one flat button per top-level item of its
// main menu, drawn in the skin's colours, each opening its item's menu.
#pragma once

#include "SkinQt.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QAction;
class QMenu;
class TkivForm;

class TkivMenuBar : public QWidget {
  Q_OBJECT
public:
  // The tag a button carries while it is drawn hot or pressed.
  static constexpr int HotTag = 888;

  explicit TkivMenuBar(TkivForm* AForm);

  // One button per top-level item of the menu, in the menu's order.
  void Rebuild(QMenu* AMenu);
  // Every button takes its item's caption and enabled state.
  void RefreshButtons();
  void RefreshFont();
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  QRect ButtonRect(int AIndex) const { return FButtons.at(AIndex).Rect; }
  QAction* ButtonAction(int AIndex) const { return FButtons.at(AIndex).Action; }
  int ButtonTag(int AIndex) const { return FButtons.at(AIndex).Tag; }
  // Index of the button under a point, -1 for none.
  int ButtonAt(const QPoint& APoint) const;
  // Opens a button's menu below it; the menu is returned.
  QMenu* OpenButton(int AIndex);
  // The accelerator rule: with Alt held a letter opens its button's menu;
  // without Alt only while some button is hot.
  bool DialogChar(QChar AChar, bool AAltHeld);

protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void leaveEvent(QEvent* AEvent) override;

private:
  struct TButton {
    QPointer<QAction> Action;
    QString Caption;
    bool Enabled = true;
    QRect Rect;
    int Tag = 0;
  };
  void Layout();
  void SetHot(int AIndex);

  TkivForm* FForm;
  QPointer<QMenu> FMenu;
  std::vector<TButton> FButtons;
  int FHot = -1;
  int FPressed = -1;
};
