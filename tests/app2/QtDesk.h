// What the Qt-side suites share: an in-memory settings store with the
// settings file's matching rules, waits that keep the event loop running,
// modal dialogs answered from a timer, screen pixels, and screenshots saved
// into the build folder.
#pragma once

#include "SettingsStore.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>
#include <string>

// Sections and keys match without regard to case, as in the settings file.
class TMemorySettings : public TSettingsStore {
public:
  std::string ReadString(const std::string& ASection, const std::string& AKey,
                         const std::string& ADefault) override;
  void WriteString(const std::string& ASection, const std::string& AKey,
                   const std::string& AValue) override;
  // "section/key" -> value, keys in lower case.
  std::map<std::string, std::string> Values;
  int Writes = 0;
};

// Runs the event loop until APredicate holds; false after ALimit.
bool WaitFor(const std::function<bool()>& APredicate,
             std::chrono::milliseconds ALimit = std::chrono::seconds(10));
// Lets the event loop run for a while.
void Pump(std::chrono::milliseconds ATime);

// When a modal widget of type T is up, runs AAct on it (once).
template <class T> void WhenModal(std::function<void(T*)> AAct) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, AAct] {
    if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      AAct(widget);
    }
  });
  timer->start();
}

// The screen as it is now.
QImage ScreenImage();
QColor ScreenPixel(int AX, int AY);
// Saves AImage as AName.png in the build folder's screenshots/.
void SaveScreenshot(const QImage& AImage, const QString& AName);
