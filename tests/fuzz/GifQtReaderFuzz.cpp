// Fuzz target for the codec's Qt image plugin as Qt programs use it: a
// QImageReader (offscreen platform) over the bytes counts the frames and
// the loop, reads every frame, jumps back into the middle and reads on. Run
// with -rss_limit_mb=2048 -malloc_limit_mb=1024 (scripts/fuzz does), so
// that an allocation that runs away with a file is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include "GIFQtRegistration.h"

namespace {

// A file only this codec reads: its signature in lower case behind a
// 4-byte prefix, one white pixel.
const char kOnlyThisCodecReadsIt[] = "\x10\0\0\0gif89a\x01\0\x01\0\x80\0\0\0\0\0\xFF\xFF\xFF"
                                     ",\0\0\0\0\x01\0\x01\0\0\x02\x02\x4C\x01\0;";

} // namespace

extern "C" int LLVMFuzzerInitialize(int* AArgc, char*** AArgv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::filesystem::path runtime = std::filesystem::temp_directory_path() / "vexmora-fuzz-qt";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  // Kept for the whole run: Qt's readers need the application object.
  static QGuiApplication* application = new QGuiApplication(*AArgc, *AArgv);
  (void)application;
  RegisterGIFQt();
  // The plugin is loaded (and its coverage known) before the first input,
  // and it is this codec's, not Qt's own reader.
  QByteArray probe(kOnlyThisCodecReadsIt, sizeof kOnlyThisCodecReadsIt - 1);
  QBuffer buffer(&probe);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  if (reader.read().pixel(0, 0) != qRgb(255, 255, 255)) {
    std::fprintf(stderr, "the codec's gif plugin was not found beside the program\n");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  const int count = reader.imageCount();
  reader.loopCount();
  reader.size();
  QImage frame;
  int read = 0;
  // Each frame is let go before the next, as a viewer does: holding it
  // would make the reader copy its canvas.
  for (; reader.read(&frame); frame = QImage()) {
    reader.nextImageDelay();
    ++read;
  }
  if (read > count) __builtin_trap();
  if (count > 1 && reader.jumpToImage(count / 2)) {
    while (reader.read(&frame))
      frame = QImage();
  }
  return 0;
}
