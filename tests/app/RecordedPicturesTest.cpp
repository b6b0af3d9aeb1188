// What a recording of every container shows: a known, moving picture on the
// screen, recorded from an offset region with a click on Start and F11,
// with and without the text overlay, decoded and compared with what was on
// the screen, picture by picture.
#include "ImageButton.h"
#include "RecorderStrings.h"
#include "RecordingFixture.h"
#include "ScreenPattern.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <set>

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

// Left and top differ, so that a swapped offset records another place.
constexpr int kLeft = 30, kTop = 70;
// Where the text overlay's red box stands, at the top right, and some room
// around it.
const QRect kTextArea(160, 0, 160, 40);

struct TPictureCase {
  int Format;
  bool Text;
};

class RecordedPictures : public TRecordingFixture,
                         public ::testing::WithParamInterface<TPictureCase> {};

TEST_P(RecordedPictures, ShowWhatWasOnTheScreen) {
  const TRecorderContainer& expected = RecorderContainers()[GetParam().Format];
  const bool text = GetParam().Text;
  Ini.WriteInteger("settings", "format", GetParam().Format);
  Ini.WriteBool("settings", "recordwithaudio", true);
  Ini.WriteString("settings", "left", std::to_string(kLeft));
  Ini.WriteString("settings", "top", std::to_string(kTop));
  Ini.WriteBool("settings", "chkMouse", true); // the pointer is not part of the pattern
  Ini.WriteBool("settings", "chkAddText", text);
  Ini.WriteString("settings", "edtAddText", "Vexmora");
  Ini.WriteBool("fontoptions", "baddtextbkcolor", true);
  Ini.WriteString("fontoptions", "backgroundcolor", "clRed");
  Ini.WriteString("fontoptions", "textcolor", "clWhite");
  Ini.WriteInteger("fontoptions", "position", 3);
  TScreenPattern pattern(kLeft, kTop);
  pattern.show();
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, [&] { pattern.Tick(); });
  ticks.start(40);
  auto window = Open();
  window->move(1200, 700); // away from the pattern
  ASSERT_TRUE(WaitFor([&] { return window->pos() == QPoint(1200, 700); }, 3s));
  ASSERT_EQ(window->cmbFormat->currentText().toStdString(), expected.Extension);
  ASSERT_EQ(window->edtLeft->text().toInt(), kLeft);
  ASSERT_TRUE(window->HotkeyRegistered(3));
  // The recording starts between the click and the window showing it.
  const auto clicked = TClock::now();
  ASSERT_TRUE(Click(window->btnStart));
  ASSERT_TRUE(WaitWorking(*window, true, 10s)) << window->LastWarning();
  const auto started = TClock::now();
  EXPECT_FALSE(window->btnStart->isEnabled());
  EXPECT_TRUE(window->btnPause->isEnabled() && window->btnStop->isEnabled());
  EXPECT_FALSE(window->btnResume->isEnabled() || window->cmbFormat->isEnabled() ||
               window->edtW->isEnabled());
  Serve(2000ms);
  const double least = SecondsSince(started);
  ASSERT_TRUE(PressKey("F11"));
  const double most = SecondsSince(clicked);
  ASSERT_TRUE(WaitWorking(*window, false));
  EXPECT_TRUE(window->btnStart->isEnabled());
  EXPECT_FALSE(window->btnStop->isEnabled());
  const std::string file = window->LastOutputFile();
  EXPECT_EQ(file, Folder.File("videos") + "/Vexmora-320-240_(new)." + expected.Extension);
  window->close();
  window.reset();

  const TProbedFile probe = ProbeFile(file);
  // The demuxer that reads it back names the muxer among its names.
  EXPECT_NE(probe.Muxer.find(expected.Muxer), std::string::npos) << probe.Muxer;
  const TProbedStream* video = probe.Find(AVMEDIA_TYPE_VIDEO);
  const TProbedStream* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(video && audio);
  EXPECT_EQ(video->Codec, expected.VideoCodec);
  EXPECT_EQ(audio->Codec, expected.AudioCodec);
  EXPECT_EQ(video->Width, 320);
  EXPECT_EQ(video->Height, 240);
  ExpectPicturesOf(least, most, *video);

  // Every picture is the pattern with its square where the screen had it;
  // raw video keeps every pixel.
  const double leastPsnr = expected.VideoCodec == AV_CODEC_ID_RAWVIDEO ? 60 : 30;
  const std::set<int> shown(pattern.Shown().begin(), pattern.Shown().end());
  std::set<int> squares;
  int pictures = 0;
  ForEachVideoPicture(file, [&](const AVFrame& AFrame) {
    SCOPED_TRACE("picture " + std::to_string(pictures++));
    const TPatternMatch match = MatchPattern(AFrame, text ? kTextArea : QRect());
    EXPECT_GE(match.Psnr, leastPsnr);
    // Found within a pixel of a place the screen showed it.
    const auto near = shown.lower_bound(match.SquareLeft - 1);
    EXPECT_TRUE(near != shown.end() && *near <= match.SquareLeft + 1) << match.SquareLeft;
    squares.insert(match.SquareLeft);
    if (text) {
      // The overlay's red box behind its white text, over the light grey block.
      const QColor box = MeanColour(AFrame, QRect(kTextArea.right() - 8, 6, 3, 3));
      EXPECT_GT(box.red(), 180) << box.name().toStdString();
      EXPECT_LT(box.blue(), 80) << box.name().toStdString();
    }
  });
  EXPECT_GT(pictures, 0);
  EXPECT_GE(squares.size(), 10u) << "the picture moves";
}

std::vector<TPictureCase> PictureCases() {
  std::vector<TPictureCase> cases;
  for (int format = 0; format < 7; ++format)
    for (bool text : {false, true})
      cases.push_back({format, text});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Containers, RecordedPictures, ::testing::ValuesIn(PictureCases()),
                         [](const auto& AInfo) {
                           return std::string(RecorderContainers()[AInfo.param.Format].Extension) +
                                  (AInfo.param.Text ? "_with_text" : "");
                         });

} // namespace
