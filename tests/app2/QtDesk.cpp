// The Qt-side suites' helpers (see QtDesk.h).
#include "QtDesk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <algorithm>

namespace {
std::string Key(const std::string& ASection, const std::string& AKey) {
  std::string key = ASection + "/" + AKey;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return key;
}
} // namespace

std::string TMemorySettings::ReadString(const std::string& ASection, const std::string& AKey,
                                        const std::string& ADefault) {
  const auto value = Values.find(Key(ASection, AKey));
  return value == Values.end() ? ADefault : value->second;
}

void TMemorySettings::WriteString(const std::string& ASection, const std::string& AKey,
                                  const std::string& AValue) {
  Values[Key(ASection, AKey)] = AValue;
  ++Writes;
}

bool WaitFor(const std::function<bool()>& APredicate, std::chrono::milliseconds ALimit) {
  QElapsedTimer clock;
  clock.start();
  while (!APredicate()) {
    if (clock.elapsed() > ALimit.count()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

void Pump(std::chrono::milliseconds ATime) {
  QElapsedTimer clock;
  clock.start();
  WaitFor([&] { return clock.elapsed() >= ATime.count(); }, ATime + std::chrono::seconds(1));
}

QImage ScreenImage() {
  return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
      QImage::Format_RGB32);
}

QColor ScreenPixel(int AX, int AY) {
  return QGuiApplication::primaryScreen()->grabWindow(0, AX, AY, 1, 1).toImage().pixelColor(0, 0);
}

void SaveScreenshot(const QImage& AImage, const QString& AName) {
  const QString folder = QStringLiteral(VEXMORA_SCREENSHOT_DIR);
  QDir().mkpath(folder);
  AImage.save(folder + "/" + AName + ".png");
}
