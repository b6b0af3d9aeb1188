// The "Browse" dialog in which the user picks the output folder: a tree of
// the folders, "Ok" and "Cancel". The chosen folder is handed back in
// SelectedPath(); a folder the recording could not be written to (a
// read-only medium such as a CD, or one the user may not write) is refused
// and the dialog stays open.
#pragma once

#include "SettingsStore.h"

#include <QDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

class TfmDirectory : public QDialog {
public:
  explicit TfmDirectory(QWidget* AParent = nullptr);

  const QString& SelectedPath() const { return FSelectedPath; }
  // Selects the folder in the tree (as a click would).
  void SelectFolder(const QString& APath);
  QString TreeSelectedPath() const;

  void btnOkClick();
  void btnCancelClick();
  void stview_selectdirClick();

  // Why the folder cannot hold recordings; empty when it can.
  static QString RefusalOf(const QString& AFolder);

protected:
  void showEvent(QShowEvent* AEvent) override;

private:
  QString FSelectedPath;
  QFileSystemModel* FModel = nullptr;
  QLabel* FLabel = nullptr;
  QTreeView* FTree = nullptr;
  QPushButton* FOk = nullptr;
  QPushButton* FCancel = nullptr;
};

// The main window's "Browse" handler: shows the dialog and, when a folder
// was chosen that differs from what AEdit shows, stores it as "OutPutDir" of
// section "settings" and shows it in AEdit.
void BrowseForOutputDir(TfmDirectory& ADialog, QLineEdit& AEdit, TSettingsStore& ASettings);
