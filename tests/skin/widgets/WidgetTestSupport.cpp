// Shared helpers of the skinned widgets' suites (see WidgetTestSupport.h).
#include "WidgetTestSupport.h"

#include "MainWindowSkin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

bool ProcessUntil(const std::function<bool()>& ACondition, int ATimeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!ACondition()) {
    if (timer.elapsed() > ATimeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(5);
  }
  return true;
}

void ProcessFor(int AMilliseconds) {
  QTest::qWait(AMilliseconds);
}

void ShowAndWait(QWidget& AWindow) {
  AWindow.show();
  (void)QTest::qWaitForWindowExposed(&AWindow, 5000);
  ProcessFor(20);
}

void Activate(QWidget& AWindow) {
  AWindow.activateWindow();
  AWindow.raise();
  ProcessUntil([&] { return AWindow.isActiveWindow(); }, 3000);
}

bool RunXdotool(const std::string& AArguments) {
  return std::system(("xdotool " + AArguments + " >/dev/null 2>&1").c_str()) == 0;
}

QImage Picture(QWidget& AWidget) {
  return AWidget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Expected(const TBitmap& ABitmap) {
  return ToQImage(ABitmap);
}

int DifferentPixels(const QImage& AActual, const QImage& AExpected) {
  if (AActual.size() != AExpected.size()) return -1;
  const QImage a = AActual.convertToFormat(QImage::Format_RGB32);
  const QImage b = AExpected.convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF)) ++count;
  return count;
}

QRgb Rgb(TColor AColor) {
  return ToQColor(AColor).rgb();
}

TkivThemeComponent* StoredSkinTheme(QObject* AOwner) {
  auto* theme = new TkivThemeComponent(AOwner);
  theme->setObjectName("kivBuiltInFileTheme1");
  theme->SetSkinData(MainWindowSkinData());
  return theme;
}

std::string TestOutputFolder() {
  return WIDGET_TEST_OUTPUT_DIR;
}

TkivThemeComponent* WrittenSkinTheme(QObject* AOwner, const std::string& AFileName,
                                     const std::vector<uint8_t>& AArchive) {
  const std::string path = TestOutputFolder() + "/" + AFileName;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(AArchive.data()),
             static_cast<std::streamsize>(AArchive.size()));
  auto* theme = new TkivThemeComponent(AOwner);
  theme->SetThemeFile(path);
  return theme;
}

std::string SaveScreenshot(const QImage& AImage, const std::string& AName) {
  const std::string folder = TestOutputFolder() + "/screenshots";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/" + AName + ".png";
  AImage.save(QString::fromStdString(path));
  return path;
}

QString CloseNextMessageBox(const std::function<void()>& AAction) {
  QString text;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->accept();
    }
  });
  poll.start();
  AAction();
  return text;
}
