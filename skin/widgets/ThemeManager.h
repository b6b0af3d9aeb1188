// Hands one style and one file theme to a list of named components of its
// form in a single step.
#pragma once

#include "SkinQt.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <map>

class TkivThemeManager : public QObject, public TkivSkinnable {
  Q_OBJECT
public:
  // The owner is the form (a top-level widget) whose components it themes.
  explicit TkivThemeManager(QWidget* AOwner = nullptr);

  TkivUIStyle UIStyle() const override { return FUIStyle; }
  void SetUIStyle(TkivUIStyle AStyle) override;
  TkivThemeComponent* FileTheme() const override { return FThemeLink.Get(); }
  void SetFileTheme(TkivThemeComponent* ATheme) override;
  const QStringList& CompList() const { return FCompList; }
  void SetCompList(const QStringList& AList);

  std::function<void(QObject* ASender)> OnUIStyleChanged;

private:
  void Apply();
  void Watch(QObject* AComponent);

  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TkivThemeLink FThemeLink;
  QStringList FCompList;
  std::map<QObject*, QMetaObject::Connection> FWatched;
  // Set when the owner starts to go: its children are then being freed, and
  // its tree is no place to look for components.
  bool FOwnerGoing = false;
};
