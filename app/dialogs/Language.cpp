// Interface languages (see Language.h).
#include "Language.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>

namespace {

constexpr const char* kSection = "Translations";

// The translation of AName + ASuffix, or ACurrent when the file has none.
QString Text(const TLanguageFile& AFile, const QString& AName, const char* ASuffix,
             const QString& ACurrent) {
  const auto value = AFile.Read(kSection, (AName + ASuffix).toStdString());
  return value ? QString::fromStdString(*value) : ACurrent;
}

// The tab widget whose page AWidget is, or null.
QTabWidget* TabOf(QWidget* AWidget) {
  auto* stack = qobject_cast<QStackedWidget*>(AWidget->parentWidget());
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  return tabs && tabs->indexOf(AWidget) >= 0 ? tabs : nullptr;
}

// Whether AObject belongs to AForm itself rather than to another window
// (a dialog) that AForm parents: each form has its own translations.
bool OwnedBy(QObject* AObject, QWidget* AForm) {
  for (QObject* at = AObject; at && at != AForm; at = at->parent()) {
    auto* widget = qobject_cast<QWidget*>(at);
    // Menus are windows of their own too, but they are the form's.
    if (widget && widget->isWindow() && !qobject_cast<QMenu*>(widget)) return false;
  }
  return true;
}

void Apply(QObject* AObject, const TLanguageFile& AFile) {
  const QString name = AObject->objectName();
  if (name.isEmpty()) return;
  if (auto* label = qobject_cast<QLabel*>(AObject)) {
    const QString caption = Text(AFile, name, ".Caption", label->text());
    label->setText(caption);
    label->resize(label->fontMetrics().horizontalAdvance(caption), label->height());
    label->setToolTip(Text(AFile, name, ".Caption", label->toolTip()));
  } else if (qobject_cast<QCheckBox*>(AObject) || qobject_cast<QRadioButton*>(AObject)) {
    auto* button = static_cast<QAbstractButton*>(AObject);
    button->setText(Text(AFile, name, ".Caption", button->text()));
    button->setToolTip(Text(AFile, name, ".Caption", button->toolTip()));
  } else if (auto* button = qobject_cast<QPushButton*>(AObject)) {
    button->setText(Text(AFile, name, ".Caption", button->text()));
    button->setToolTip(Text(AFile, name, ".Hint", button->toolTip()));
  } else if (auto* menu = qobject_cast<QMenu*>(AObject)) {
    menu->setTitle(Text(AFile, name, ".Caption", menu->title()));
  } else if (auto* action = qobject_cast<QAction*>(AObject)) {
    action->setText(Text(AFile, name, ".Caption", action->text()));
  } else if (auto* group = qobject_cast<QGroupBox*>(AObject)) {
    group->setTitle(Text(AFile, name, ".Caption", group->title()));
  } else if (auto* widget = qobject_cast<QWidget*>(AObject)) {
    if (QTabWidget* tabs = TabOf(widget)) {
      const int index = tabs->indexOf(widget);
      tabs->setTabText(index, Text(AFile, name, ".Caption", tabs->tabText(index)));
    }
  }
}

} // namespace

const std::vector<TKnownLanguage>& KnownLanguages() {
  static const std::vector<TKnownLanguage> languages = {
      {"Chinese-Simplified", "中文简体"},
      {"Chinese-Traditional", "中文繁體"},
      {"English", "english"},
      {"French", "français"},
      {"German", "deutsch"},
      {"Japanese", "日本の"},
      {"Portuguese", "português"},
      {"Russian", "русский"},
      {"Spanish", "español"},
      {"Vietnamese", "tiếng Việt"},
  };
  return languages;
}

QString LanguageOfCaption(const QString& ACaption) {
  for (const auto& language : KnownLanguages())
    if (ACaption == QString::fromUtf8(language.MenuCaption)) return language.FileName;
  return {};
}

QString LanguageFolder() {
  return QCoreApplication::applicationDirPath() + "/language/";
}

QStringList ListLanguageFiles(const QString& AFolder) {
  QStringList names;
  const QDir folder(AFolder);
  for (const QString& file :
       folder.entryList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable, QDir::Unsorted))
    names << file.left(file.size() - 4);
  return names;
}

void ApplyLanguage(QWidget* AForm, const QString& AName, const QString& AFolder) {
  const TLanguageFile file(QDir(AFolder).filePath(AName + ".ini").toStdString());
  ApplyLanguageFile(AForm, file);
}

void ApplyLanguageFile(QWidget* AForm, const TLanguageFile& AFile) {
  for (QObject* object : AForm->findChildren<QObject*>())
    if (OwnedBy(object, AForm)) Apply(object, AFile);
}

void FillLanguageMenu(QMenu* AMenu, const QStringList& ANames,
                      const std::function<void(const QString&)>& AOnChoose) {
  for (const QString& name : ANames)
    for (const auto& language : KnownLanguages())
      if (name == QString::fromUtf8(language.FileName)) {
        QAction* action = AMenu->addAction(QString::fromUtf8(language.MenuCaption));
        const QString fileName = name;
        QObject::connect(action, &QAction::triggered, AMenu,
                         [AOnChoose, fileName] { AOnChoose(fileName); });
      }
}
