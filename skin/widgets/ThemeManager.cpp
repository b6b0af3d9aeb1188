// The theme manager (see ThemeManager.h).
#include "ThemeManager.h"

#include <QWidget>

TkivThemeManager::TkivThemeManager(QWidget* AOwner) : QObject(AOwner) {
  // A widget says it is going before it frees its children.
  if (AOwner) connect(AOwner, &QObject::destroyed, this, [this] { FOwnerGoing = true; });
}

void TkivThemeManager::SetUIStyle(TkivUIStyle AStyle) {
  const bool changed = AStyle != FUIStyle;
  FUIStyle = AStyle;
  Apply();
  if (changed && OnUIStyleChanged) OnUIStyleChanged(this);
}

void TkivThemeManager::SetFileTheme(TkivThemeComponent* ATheme) {
  // A removed theme leaves DeepBlue stored, applied to nothing.
  FThemeLink.Set(ATheme, [this] { FUIStyle = TkivUIStyle::DeepBlue; });
  SetUIStyle(FUIStyle);
}

void TkivThemeManager::SetCompList(const QStringList& AList) {
  FCompList = AList;
  if (auto* owner = qobject_cast<QWidget*>(parent()))
    for (const QString& name : FCompList)
      if (QObject* component = owner->findChild<QObject*>(name)) Watch(component);
}

void TkivThemeManager::Watch(QObject* AComponent) {
  if (FWatched.count(AComponent)) return;
  // A deleted component leaves the list under the name it had when watched.
  const QString name = AComponent->objectName();
  FWatched[AComponent] = connect(AComponent, &QObject::destroyed, this, [this, AComponent, name] {
    FWatched.erase(AComponent);
    FCompList.removeAll(name);
  });
}

void TkivThemeManager::Apply() {
  auto* owner = qobject_cast<QWidget*>(parent());
  if (FOwnerGoing || !owner || !owner->isWindow()) return;
  for (const QString& name : FCompList) {
    QObject* component = owner->findChild<QObject*>(name);
    auto* skinnable = dynamic_cast<TkivSkinnable*>(component);
    if (!skinnable || component == this) continue;
    Watch(component);
    skinnable->SetUIStyle(FUIStyle);
    skinnable->SetFileTheme(FThemeLink.Get());
  }
}
