// The codec on the Qt side: Qt's image reader, movie and writer open and
// save GIFs through it (files only this codec takes prove that it is this
// codec); the reader composes frame after frame as the painter does, goes
// back and forth, and refuses files that ask for more than the bounds allow
// with the codec's own text; and pictures travel over the X server's
// clipboard to another program (xclip) and back.
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

#include "CodeStream.h"
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
  // A movie's jumps go forth and back through the reader.
  const std::vector<TBitmap> composed = ComposeFrames(*image);
  for (int number : {2, 0, 1}) {
    ASSERT_TRUE(movie.jumpToFrame(number)) << number;
    EXPECT_EQ(CompareRGBA(CanvasRGBA(composed[size_t(number)]), ImageRGBA(movie.currentImage()), 6),
              "")
        << "frame " << number;
  }
  QImage first(QString::fromStdString(folder.Path("anim.gif")));
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.pixel(0, 0), qRgb(255, 0, 0));
}

QByteArray Bytes(const TBytes& AFile) {
  return QByteArray(reinterpret_cast<const char*>(AFile.data()),
                    static_cast<qsizetype>(AFile.size()));
}

// What a reader gives, frame by frame, and the warnings Qt logged meanwhile.
struct TReadFrames {
  int Count = 0;
  std::vector<std::vector<uint8_t>> Frames;
  std::vector<int> Delays;
  std::vector<std::string> Warnings;
};

// Qt's warnings while it lives (the plugin says there why it refused a file).
class TWarningLog {
public:
  TWarningLog() { FPrevious = qInstallMessageHandler(&TWarningLog::Handle); }
  ~TWarningLog() {
    qInstallMessageHandler(FPrevious);
    Lines().clear();
  }
  TWarningLog(const TWarningLog&) = delete;
  TWarningLog& operator=(const TWarningLog&) = delete;
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }

private:
  static void Handle(QtMsgType, const QMessageLogContext&, const QString& AText) {
    Lines().push_back(AText.toStdString());
  }
  QtMessageHandler FPrevious;
};

TReadFrames ReadAll(QByteArray ABytes, int AAllocationLimitMb = 0) {
  TWarningLog log;
  QBuffer buffer(&ABytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  if (AAllocationLimitMb > 0) reader.setAllocationLimit(AAllocationLimitMb);
  TReadFrames read;
  read.Count = reader.imageCount();
  QImage frame;
  while (reader.read(&frame)) {
    read.Frames.push_back(ImageRGBA(frame));
    read.Delays.push_back(reader.nextImageDelay());
  }
  read.Warnings = TWarningLog::Lines();
  return read;
}

TEST(QtImageReaderTest, ComposesEveryDisposalMethodAsThePainterDoes) {
  auto image = EveryDisposal();
  const TReadFrames read = ReadAll(Bytes(SavePicture(*image)));
  const std::vector<TBitmap> painted = ComposeFrames(*image);
  ASSERT_EQ(read.Count, 7);
  ASSERT_EQ(read.Frames.size(), painted.size());
  for (size_t i = 0; i < painted.size(); ++i) {
    EXPECT_EQ(CompareRGBA(CanvasRGBA(painted[i]), read.Frames[i], 8), "") << "frame " << i;
    EXPECT_EQ(read.Delays[i], 100 + 10 * static_cast<int>(i)) << "frame " << i;
  }
}

TEST(QtImageReaderTest, TwoRestoreToPreviousFramesInARowLeaveNoGhost) {
  auto image = RestoringToPreviousTwice();
  const TReadFrames read = ReadAll(Bytes(SavePicture(*image)));
  ASSERT_EQ(read.Frames.size(), 3u);
  EXPECT_EQ(CompareRGBA(LettersRGBA("RRRR/RRRR"), read.Frames[0], 4), "");
  EXPECT_EQ(CompareRGBA(LettersRGBA("BBRR/BBRR"), read.Frames[1], 4), "");
  EXPECT_EQ(CompareRGBA(LettersRGBA("RRGG/RRGG"), read.Frames[2], 4), "")
      << "the first restoring frame must not show while the second does";
}

TEST(QtImageReaderTest, JumpsBackAndForthGiveTheFramesOfAPlainRead) {
  auto image = EveryDisposal();
  QByteArray bytes = Bytes(SavePicture(*image));
  const TReadFrames plain = ReadAll(bytes);
  ASSERT_EQ(plain.Frames.size(), 7u);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  QImage frame;
  for (int number : {4, 1, 6, 0, 5}) {
    ASSERT_TRUE(reader.jumpToImage(number)) << number;
    ASSERT_TRUE(reader.read(&frame)) << number;
    EXPECT_EQ(reader.currentImageNumber(), number);
    EXPECT_EQ(CompareRGBA(plain.Frames[size_t(number)], ImageRGBA(frame), 8), "") << number;
  }
  ASSERT_TRUE(reader.jumpToImage(2));
  ASSERT_TRUE(reader.jumpToNextImage());
  ASSERT_TRUE(reader.read(&frame));
  EXPECT_EQ(CompareRGBA(plain.Frames[3], ImageRGBA(frame), 8), "") << "the next but one";
  EXPECT_FALSE(reader.jumpToImage(7));
  EXPECT_FALSE(reader.jumpToImage(-1));
}

// The count comes from the layout without decoding: frames before damaged
// image data are shown, and the codec says why the next one is not.
TEST(QtImageReaderTest, FramesUpToDamagedImageDataAreRead) {
  auto image = Animation();
  TBytes file = SavePicture(*image);
  std::vector<size_t> images;
  const std::vector<size_t> blocks = BlockOffsets(file);
  for (size_t i = 0; i + 1 < blocks.size(); ++i)
    if (file[blocks[i]] == ',') images.push_back(i);
  ASSERT_EQ(images.size(), 3u);
  // The third frame's data: a first code beyond the table.
  const size_t data = blocks[images[2]] + 10;
  file.erase(file.begin() + static_cast<std::ptrdiff_t>(data),
             file.begin() + static_cast<std::ptrdiff_t>(blocks[images[2] + 1]));
  const TBytes damaged = PackCodes(2, {4, 7, 5});
  file.insert(file.begin() + static_cast<std::ptrdiff_t>(data), damaged.begin(), damaged.end());

  const TReadFrames read = ReadAll(Bytes(file));
  EXPECT_EQ(read.Count, 3);
  const std::vector<TBitmap> painted = ComposeFrames(*image);
  ASSERT_EQ(read.Frames.size(), 2u);
  for (size_t i = 0; i < 2; ++i)
    EXPECT_EQ(CompareRGBA(CanvasRGBA(painted[i]), read.Frames[i], 6), "") << "frame " << i;
  ASSERT_EQ(read.Warnings.size(), 1u);
  EXPECT_EQ(read.Warnings[0], "GIF: Circular decoder table entry");
}

// Files of a few bytes that ask for far more memory than they hold
// (tests/fuzz/make-gif-seeds.py writes them). Their frames are looked at in
// place: a copy of each would be the memory the reader saves.
TBytes HostileFile(const std::string& AName) {
  return ReadFileBytes(std::string(VEXMORA_GIF_HOSTILE_FILES) + "/" + AName);
}

TEST(QtImageReaderTest, AHugeScreenIsRefusedBeforeItIsAllocated) {
  const TReadFrames beyond = ReadAll(Bytes(HostileFile("screen-65535.gif")));
  EXPECT_EQ(beyond.Count, 0);
  EXPECT_TRUE(beyond.Frames.empty());
  EXPECT_EQ(beyond.Warnings, std::vector<std::string>{"GIF: Image of 65535 x 65535 pixels "
                                                      "exceeds the limit of 67108864 pixels "
                                                      "per frame"});

  // At the bound, the reader's allocation limit (128 MB, as Qt's default here) decides, as for Qt's
  // readers.
  QByteArray atBound = Bytes(HostileFile("screen-8192.gif"));
  const TReadFrames limited = ReadAll(atBound, 128);
  EXPECT_EQ(limited.Count, 1);
  EXPECT_TRUE(limited.Frames.empty());
  ASSERT_EQ(limited.Warnings.size(), 1u);
  EXPECT_NE(limited.Warnings[0].find("allocation limit"), std::string::npos) << limited.Warnings[0];

  QBuffer buffer(&atBound);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  reader.setAllocationLimit(300);
  QImage screen;
  ASSERT_TRUE(reader.read(&screen));
  ASSERT_EQ(screen.size(), QSize(8192, 8192));
  EXPECT_EQ(screen.pixel(0, 0), qRgba(255, 255, 255, 255)) << "the 1 x 1 frame in white";
  EXPECT_EQ(qAlpha(screen.pixel(1, 0)), 0) << "transparent where no frame has drawn";
  EXPECT_EQ(qAlpha(screen.pixel(8191, 8191)), 0);
  EXPECT_FALSE(reader.read(&screen));
}

TEST(QtImageReaderTest, ManyFramesAreComposedOneAfterAnother) {
  QByteArray bytes = Bytes(HostileFile("frames-500.gif"));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  ASSERT_EQ(reader.imageCount(), 500);
  QImage frame;
  int frames = 0;
  while (reader.read(&frame)) {
    // Frame i adds its pixel at (i, 0) to what the frames before it left.
    const int value = frames % 2 ? 255 : 0;
    ASSERT_EQ(frame.pixel(frames, 0), qRgba(value, value, value, 255)) << "frame " << frames;
    ASSERT_EQ(qAlpha(frame.pixel(frames + 1, 0)), 0) << "frame " << frames;
    if (frames > 0) {
      ASSERT_EQ(frame.pixel(frames - 1, 0), qRgba(255 - value, 255 - value, 255 - value, 255))
          << "frame " << frames << " keeps the one before";
    }
    ++frames;
  }
  EXPECT_EQ(frames, 500);
  ASSERT_EQ(frame.size(), QSize(1000, 1000));
  EXPECT_EQ(qAlpha(frame.pixel(0, 1)), 0) << "the second row is untouched";
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
