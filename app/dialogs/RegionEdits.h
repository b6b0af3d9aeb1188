// The main window's region edits (left, top, width, height, whose change
// handlers store them) and its status line, as the region commands and the
// picker write them.
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>

struct TRegionEdits {
  QLineEdit* Left = nullptr;
  QLineEdit* Top = nullptr;
  QLineEdit* Width = nullptr;
  QLineEdit* Height = nullptr;
  std::function<void(const QString&)> ShowStatus;
};
