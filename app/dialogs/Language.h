// The interface languages: the "language" folder beside the program with one
// file per language, the Language menu built from the known names, and a
// file applied to a form's controls by their objectName.
#pragma once

#include "LanguageFile.h"

#include <QMenu>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

struct TKnownLanguage {
  const char* FileName;    // without ".ini"
  const char* MenuCaption; // the language's own name for itself
};
const std::vector<TKnownLanguage>& KnownLanguages();
// The file name of the language whose menu caption is ACaption; empty when none.
QString LanguageOfCaption(const QString& ACaption);

// The program's folder + "language/".
QString LanguageFolder();
// The names (without extension) of the ".ini" files in AFolder, in the
// order the folder lists them; empty when there is no such folder.
QStringList ListLanguageFiles(const QString& AFolder = LanguageFolder());

// Applies AFolder/AName.ini to the controls of AForm (see ApplyLanguageFile).
void ApplyLanguage(QWidget* AForm, const QString& AName, const QString& AFolder = LanguageFolder());
// Labels, check boxes, radio buttons, push buttons, menu actions, group
// boxes and tab pages take their caption from "<name>.Caption"; labels,
// check boxes and radio buttons also take it as their hint, push buttons
// take their hint from "<name>.Hint". Missing keys leave the texts; other
// controls are left alone, and so are the controls of other windows
// (dialogs) that AForm parents.
void ApplyLanguageFile(QWidget* AForm, const TLanguageFile& AFile);

// Adds an entry to AMenu for each of ANames that is a known language, with
// the language's own caption; choosing it calls AOnChoose with the file name.
void FillLanguageMenu(QMenu* AMenu, const QStringList& ANames,
                      const std::function<void(const QString&)>& AOnChoose);
