// The codec on the Qt side: Qt's image reader, movie and writer open and
// save GIFs through it (files only this codec takes prove that it is this
// codec), and pictures travel over the X server's clipboard to another
// program (xclip) and back.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <QMovie>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ExternalProgram.h"
#include "FrameBuilder.h"
#include "GIFClipboard.h"
#include "GIFQtImage.h"
#include "GIFRegistration.h"
#include "GiflibReader.h"
#include "PictureFormats.h"
#include "PictureTestSupport.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using TBytes = std::vector<uint8_t>;

std::string ErrorOf(const std::function<void()>& AAction) {
  try {
    AAction();
  } catch (const std::exception& AError) {
    return AError.what();
  }
  return "";
}

// Three frames over a 6 x 4 screen: red, a transparent-edged blue patch
// restored to the background, a green patch; delays 5, 20, 70; loop 4.
std::unique_ptr<TGIFImage> Animation() {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0), RGB(0, 0, 0)});
  TGIFSubImage& first = AddFrame(*image, 0, 0, 6, 4, std::vector<uint8_t>(24, 0));
  SetTiming(first, 5, dmNoDisposal);
  AddLoop(first, 4);
  TGIFSubImage& second = AddFrame(*image, 1, 1, 3, 2, {3, 1, 1, 1, 1, 3});
  SetTiming(second, 20, dmBackground);
  SetTransparentIndex(second, 3);
  TGIFSubImage& third = AddFrame(*image, 4, 0, 2, 2, {2, 2, 2, 2});
  SetTiming(third, 70, dmNone);
  return image;
}

// The file in a form Qt's own reader refuses: lower-case signature behind a
// 4-byte prefix.
QByteArray OnlyThisCodecReadsIt(const TBytes& AFile) {
  QByteArray bytes(reinterpret_cast<const char*>(AFile.data()),
                   static_cast<qsizetype>(AFile.size()));
  bytes.replace(0, 3, "gif");
  return QByteArray("\x10\0\0\0", 4) + bytes;
}

std::vector<uint8_t> ImageRGBA(const QImage& AImage) {
  const QImage image = AImage.convertToFormat(QImage::Format_RGBA8888);
  std::vector<uint8_t> rgba;
  for (int y = 0; y < image.height(); ++y)
    rgba.insert(rgba.end(), image.constScanLine(y), image.constScanLine(y) + image.width() * 4);
  return rgba;
}

TEST(QtImageReaderTest, ReadsFramesDelaysAndLoopsThroughTheCodec) {
  ASSERT_TRUE(QImageReader::supportedImageFormats().contains("gif"));
  auto image = Animation();
  QByteArray bytes = OnlyThisCodecReadsIt(SavePicture(*image));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
  EXPECT_EQ(reader.format(), "gif");
  EXPECT_EQ(reader.imageCount(), 3);
  EXPECT_EQ(reader.loopCount(), 4);
  EXPECT_TRUE(reader.supportsAnimation());

  const std::vector<TBitmap> composed = ComposeFrames(*image);
  const std::vector<int> delays{50, 200, 700};
  for (int i = 0; i < 3; ++i) {
    QImage frame;
    ASSERT_TRUE(reader.read(&frame)) << "frame " << i;
    EXPECT_EQ(reader.nextImageDelay(), delays[size_t(i)]) << "frame " << i;
    EXPECT_EQ(CompareRGBA(CanvasRGBA(composed[size_t(i)]), ImageRGBA(frame), 6), "")
        << "frame " << i;
  }
  QImage beyond;
  EXPECT_FALSE(reader.read(&beyond));
}

TEST(QtImageReaderTest, MovieAndFileNamesFindTheCodec) {
  TTempFolder folder;
  auto image = Animation();
  const QByteArray bytes = OnlyThisCodecReadsIt(SavePicture(*image));
  WriteFileBytes(folder.Path("anim.gif"), TBytes(bytes.begin(), bytes.end()));
  QMovie movie(QString::fromStdString(folder.Path("anim.gif")));
  ASSERT_TRUE(movie.isValid());
  EXPECT_EQ(movie.frameCount(), 3);
  EXPECT_EQ(movie.loopCount(), 4);
  QImage first(QString::fromStdString(folder.Path("anim.gif")));
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.pixel(0, 0), qRgb(255, 0, 0));
}

TEST(QtImageWriterTest, WritesAnImageWithItsTransparency) {
  TTempFolder folder;
  QImage source(20, 10, QImage::Format_ARGB32);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      source.setPixel(x, y, x < 3 ? qRgba(0, 0, 0, 0) : qRgba(x * 12, y * 25, 77, 255));
  const QString file = QString::fromStdString(folder.Path("written.gif"));
  QImageWriter writer(file, "gif");
  ASSERT_TRUE(writer.write(source)) << writer.errorString().toStdString();

  const TBytes bytes = ReadFileBytes(folder.Path("written.gif"));
  EXPECT_EQ(ReadWithGiflib(bytes).Error, "");
  TLoadedPicture loaded = LoadPicture(bytes);
  ASSERT_EQ(loaded.Error, "");
  ASSERT_EQ(loaded.Image->FrameCount(), 1);
  EXPECT_TRUE(loaded.Image->Frames(0).Transparent());
  const QImage back(file);
  ASSERT_EQ(back.size(), source.size());
  EXPECT_EQ(CompareRGBA(ImageRGBA(source), ImageRGBA(back), 20), "")
      << "200 colours come back exactly, the transparent columns transparent";
}

// --- The clipboard -----------------------------------------------------------

class TProgram {
public:
  // Standard output to AOutput (a file), when given.
  TProgram(const std::vector<std::string>& AArguments, const std::string& AOutput = "") {
    std::vector<char*> argv;
    for (const std::string& argument : AArguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                     AOutput.empty() ? "/dev/null" : AOutput.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&FPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TProgram() {
    if (FPid > 0 && !FEnded) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Serves the X clipboard (our event loop) while the program runs; its
  // exit status, or -1 when it did not end in time.
  int Wait(std::chrono::milliseconds ALimit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + ALimit;
    while (FPid > 0 && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(FPid, &status, WNOHANG) == FPid) {
        FEnded = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      std::this_thread::sleep_for(2ms);
    }
    return -1;
  }
  bool Running() const { return FPid > 0; }

private:
  pid_t FPid = -1;
  bool FEnded = false;
};

bool ServeUntil(const std::function<bool()>& ACondition, std::chrono::milliseconds ALimit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + ALimit;
  while (!ACondition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class ClipboardTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(FindProgram("xclip").empty()) << "xclip is missing: scripts/install-deps";
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  }
  TTempFolder FFolder;
};

TEST_F(ClipboardTest, RegistrationGaveTheClipboardFormatAndTheScreen) {
  std::optional<TClipboardFormat> format = TPictureFormats::FindClipboardFormat("GIF Image");
  ASSERT_TRUE(format);
  EXPECT_EQ(format->MimeType, "image/gif");
  EXPECT_TRUE(TPictureFormats::FindFileFormat("gif"));
  EXPECT_FALSE(PaletteDisplay) << "the private X server has 24 bits";
}

TEST_F(ClipboardTest, AnotherProgramPastesTheGIFBytesWeCopied) {
  auto image = Animation();
  CopyGIFToClipboard(*image);
  TProgram targets({"xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"},
                   FFolder.Path("targets"));
  ASSERT_EQ(targets.Wait(), 0);
  const TBytes list = ReadFileBytes(FFolder.Path("targets"));
  const std::string names(list.begin(), list.end());
  EXPECT_NE(names.find("image/gif"), std::string::npos) << names;
  EXPECT_NE(names.find("image/png"), std::string::npos) << "the bitmap travels as an image";

  TProgram paste({"xclip", "-selection", "clipboard", "-t", "image/gif", "-o"},
                 FFolder.Path("pasted.gif"));
  ASSERT_EQ(paste.Wait(), 0);
  EXPECT_EQ(ReadFileBytes(FFolder.Path("pasted.gif")), SavePicture(*image));
}

TEST_F(ClipboardTest, WePasteWhatAnotherProgramCopied) {
  auto image = Animation();
  WriteFileBytes(FFolder.Path("copied.gif"), SavePicture(*image));
  // xclip owns the clipboard in the foreground until it is stopped.
  TProgram copy({"xclip", "-quiet", "-selection", "clipboard", "-t", "image/gif", "-i",
                 FFolder.Path("copied.gif")});
  ASSERT_TRUE(copy.Running());
  QClipboard* clipboard = QGuiApplication::clipboard();
  ASSERT_TRUE(ServeUntil([&] {
    const QMimeData* mime = clipboard->mimeData();
    return !clipboard->ownsClipboard() && mime && mime->hasFormat("image/gif");
  }));
  EXPECT_TRUE(ClipboardHasPicture());
  TGIFImage pasted;
  PasteGIFFromClipboard(pasted);
  EXPECT_EQ(SavePicture(pasted), SavePicture(*image));
}

TEST_F(ClipboardTest, AnImageOnlyClipboardGivesOneFrameAndTextNone) {
  QImage picture(5, 3, QImage::Format_RGB32);
  picture.fill(qRgb(10, 200, 30));
  QGuiApplication::clipboard()->setImage(picture);
  TGIFImage pasted;
  PasteGIFFromClipboard(pasted);
  ASSERT_EQ(pasted.FrameCount(), 1);
  EXPECT_EQ(pasted.Width(), 5);

  QGuiApplication::clipboard()->setText("no picture here");
  EXPECT_FALSE(ClipboardHasPicture());
  EXPECT_EQ(ErrorOf([&] { PasteGIFFromClipboard(pasted); }), "Unsupported clipboard format");

  TGIFImage empty;
  CopyGIFToClipboard(empty);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "no picture here")
      << "an empty picture leaves the clipboard alone";
}

} // namespace
