// The text and timestamp overlays: where the grid puts them and when they
// fit, drawn on hook bitmaps of each depth and read back pixel by pixel, and
// drawn by a real recording's video input hook and read back from the file.
#include "FrameOverlay.h"
#include "AppTestSupport.h"
#include "Bitmap.h"
#include "DecodedFrames.h"
#include "IniFile.h"
#include "LibAVForTests.h"
#include "TaskRun.h"

#include <QFontMetrics>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>

namespace {

struct TOriginCase {
  int FrameW, FrameH, TextW, TextH, Position;
  bool Drawn;
  int X, Y;
};

const TOriginCase kOrigins[] = {
    {640, 480, 100, 20, 1, true, 5, 5},
    {640, 480, 100, 20, 2, true, 270, 5},
    {640, 480, 100, 20, 3, true, 535, 5},
    {640, 480, 100, 20, 4, true, 5, 230},
    {640, 480, 100, 20, 5, true, 270, 230},
    {640, 480, 100, 20, 6, true, 535, 230},
    {640, 480, 100, 20, 7, true, 5, 455},
    {640, 480, 100, 20, 8, true, 270, 455},
    {640, 480, 100, 20, 9, true, 535, 455}, // ends 5 pixels from the right and bottom
    {105, 105, 100, 100, 5, true, 2, 2},    // an offset of 2.5 becomes 2
    {101, 480, 100, 20, 1, false, 0, 0},    // 0.5 becomes 0: one pixel narrower is not drawn
    {640, 480, 700, 20, 1, false, 0, 0},    // wider than the frame, at any position
    {640, 480, 700, 20, 9, false, 0, 0},
    {640, 21, 100, 20, 1, false, 0, 0}, // too high
    {5, 5, 1, 1, 1, false, 0, 0},       // a frame of 5 x 5 gets nothing
    {6, 6, 1, 1, 1, true, 5, 5},
};

class OverlayOrigins : public ::testing::TestWithParam<TOriginCase> {};

TEST_P(OverlayOrigins, FollowTheGridAndTheFitRule) {
  const TOriginCase& c = GetParam();
  int x = -1, y = -1;
  ASSERT_EQ(OverlayOrigin(c.FrameW, c.FrameH, c.TextW, c.TextH, c.Position, x, y), c.Drawn);
  if (c.Drawn) {
    EXPECT_EQ(x, c.X);
    EXPECT_EQ(y, c.Y);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, OverlayOrigins, ::testing::ValuesIn(kOrigins));

// A bitmap of one colour (B,G,R bytes as the depth stores them).
void Fill(TBitmap& ABitmap, uint8_t AB, uint8_t AG, uint8_t AR) {
  for (int y = 0; y < ABitmap.Height(); ++y) {
    uint8_t* row = ABitmap.ScanLine(y);
    for (int x = 0; x < ABitmap.Width(); ++x) {
      if (ABitmap.BitsPerPixel() == 32) {
        row[4 * x] = AB, row[4 * x + 1] = AG, row[4 * x + 2] = AR, row[4 * x + 3] = 0;
      } else if (ABitmap.BitsPerPixel() == 24) {
        row[3 * x] = AB, row[3 * x + 1] = AG, row[3 * x + 2] = AR;
      } else {
        const uint16_t v = static_cast<uint16_t>(((AR >> 3) << 11) | ((AG >> 2) << 5) | (AB >> 3));
        row[2 * x] = v & 0xFF, row[2 * x + 1] = v >> 8;
      }
    }
  }
}

QColor PixelAt(const TBitmap& ABitmap, int AX, int AY) {
  const uint8_t* row = ABitmap.ScanLine(AY);
  switch (ABitmap.BitsPerPixel()) {
  case 32:
    return QColor(row[4 * AX + 2], row[4 * AX + 1], row[4 * AX]);
  case 24:
    return QColor(row[3 * AX + 2], row[3 * AX + 1], row[3 * AX]);
  default: {
    const uint16_t v = static_cast<uint16_t>(row[2 * AX] | (row[2 * AX + 1] << 8));
    return QColor((v >> 11) << 3, ((v >> 5) & 63) << 2, (v & 31) << 3);
  }
  }
}

bool IsRed(const QColor& AColor) {
  return AColor.red() > 200 && AColor.green() < 60 && AColor.blue() < 60;
}

// The bounding box of the red pixels.
QRect RedBox(const TBitmap& ABitmap) {
  QRect box;
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x)
      if (IsRed(PixelAt(ABitmap, x, y))) box |= QRect(x, y, 1, 1);
  return box;
}

TOverlayState TextOverlay(const QString& AText, int APosition) {
  TOverlayState state;
  state.DrawText = true;
  state.OverlayText = AText;
  state.TextBackground = true;
  state.TextBackColor = Qt::red;
  state.TextFont.Font = QFont("DejaVu Sans", 12);
  state.TextFont.Color = Qt::white;
  state.TextPosition = APosition;
  return state;
}

QSize TextSize(const TOverlayState& AState, const QString& AText) {
  QImage probe(1, 1, QImage::Format_RGB32);
  const QFontMetrics metrics(AState.TextFont.Font, &probe);
  return {metrics.horizontalAdvance(AText), metrics.height()};
}

class OverlayDrawing : public ::testing::TestWithParam<int> {}; // bits per pixel

TEST_P(OverlayDrawing, TheBoxLiesWhereTheGridSaysAtEachOfTheNinePositions) {
  for (int position = 1; position <= 9; ++position) {
    SCOPED_TRACE(position);
    TBitmap bitmap(320, 240, GetParam());
    Fill(bitmap, 0, 0, 0);
    TOverlayState state = TextOverlay("Vexmora", position);
    DrawOverlays(state, bitmap, 1);
    const QSize size = TextSize(state, "Vexmora");
    int x = 0, y = 0;
    ASSERT_TRUE(OverlayOrigin(320, 240, size.width(), size.height(), position, x, y));
    EXPECT_EQ(RedBox(bitmap), QRect(x, y, size.width(), size.height()));
    // The text itself is drawn inside its box in its own colour.
    int white = 0;
    for (int ty = y; ty < y + size.height(); ++ty)
      for (int tx = x; tx < x + size.width(); ++tx)
        white += PixelAt(bitmap, tx, ty).lightness() > 200 ? 1 : 0;
    EXPECT_GT(white, 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, OverlayDrawing, ::testing::Values(32, 24, 16));

TEST(OverlayFit, NothingIsDrawnOnATinyFrameOrForATextWiderThanTheFrame) {
  for (const auto& [w, h, text] :
       {std::tuple{5, 5, QString("V")},
        std::tuple{60, 40, QString("A text far wider than sixty pixels")}}) {
    TBitmap bitmap(w, h, 32);
    Fill(bitmap, 0, 0, 0);
    TOverlayState state = TextOverlay(text, 5);
    DrawOverlays(state, bitmap, 1);
    EXPECT_TRUE(RedBox(bitmap).isEmpty()) << w << "x" << h;
  }
}

TEST(OverlayFit, TheFrameSizeIsTakenFromTheFirstFrame) {
  TBitmap first(320, 240, 32);
  TOverlayState state = TextOverlay("Vexmora", 9);
  DrawOverlays(state, first, 1);
  EXPECT_EQ(state.FrameWidth, 320);
  TBitmap later(320, 240, 32);
  Fill(later, 0, 0, 0);
  DrawOverlays(state, later, 2);
  EXPECT_EQ(RedBox(later).right(), 320 - 5 - 1);
}

TEST(Timestamp, AnEmptyLabelStillShowsABlankAndTheTime) {
  const QString text = TimestampText("");
  EXPECT_TRUE(QRegularExpression("^ \\d\\d:\\d\\d:\\d\\d:\\d\\d\\d?$").match(text).hasMatch())
      << text.toStdString();
  EXPECT_TRUE(TimestampText("Rec").startsWith("Rec "));
}

TEST(Timestamp, TheTimestampCoversTheTextAtTheSamePosition) {
  TBitmap bitmap(320, 240, 32);
  Fill(bitmap, 0, 0, 0);
  TOverlayState state = TextOverlay("Vexmora", 1);
  state.DrawTimestamp = true;
  state.TimestampLabel = "T";
  state.TimestampBackground = true;
  state.TimestampBackColor = Qt::blue;
  state.TimestampFont = state.TextFont;
  state.TimestampPosition = 1;
  DrawOverlays(state, bitmap, 1);
  // The timestamp (longer than the text) is drawn last, over the text's box.
  EXPECT_TRUE(RedBox(bitmap).isEmpty());
  EXPECT_EQ(PixelAt(bitmap, 6, 6).blue(), 255);
}

TEST(OverlaySettings, MissingStyleKeysMeanEveryStyleAndTheStoredValuesAreRead) {
  TTempFolder folder;
  TIniFile ini(folder.File("vexmora.ini"));
  ini.WriteBool("settings", "chkAddText", true);
  ini.WriteString("settings", "edtAddText", "Hello");
  ini.WriteString("fontoptions", "textcolor", "clRed");
  ini.WriteString("fontoptions", "backgroundcolor", "$00FF0000");
  ini.WriteBool("fontoptions", "baddtextbkcolor", true);
  ini.WriteInteger("fontoptions", "position", 7);
  ini.WriteInteger("fontoptions", "font-size", 20);
  ini.WriteString("timestampoptions", "font-fsBold", "");
  ini.WriteString("timestampoptions", "font-fsItalic", "fsitalic"); // case matters
  TOverlayState state;
  LoadOverlayState(ini, state);
  EXPECT_TRUE(state.Wanted());
  EXPECT_EQ(state.OverlayText, "Hello");
  EXPECT_EQ(state.TextFont.Color, QColor(255, 0, 0));
  EXPECT_EQ(state.TextBackColor, QColor(0, 0, 255));
  EXPECT_TRUE(state.TextBackground);
  EXPECT_EQ(state.TextPosition, 7);
  EXPECT_EQ(state.TextFont.Font.pointSize(), 20);
  const QFont& text = state.TextFont.Font;
  EXPECT_TRUE(text.bold() && text.italic() && text.underline() && text.strikeOut());
  const QFont& stamp = state.TimestampFont.Font;
  EXPECT_FALSE(stamp.bold());
  EXPECT_FALSE(stamp.italic());
  EXPECT_TRUE(stamp.underline() && stamp.strikeOut());
  EXPECT_EQ(state.TimestampBackColor, QColor(0, 0, 0)); // "ClBlack"
  // A text overlay without text does not need the hook.
  ini.WriteString("settings", "edtAddText", "");
  LoadOverlayState(ini, state);
  EXPECT_FALSE(state.Wanted());
}

// A real task whose video input hook draws the overlay at each grid
// position; the written frames are decoded and the box found in them.
TEST(OverlayRecording, TheHookDrawsIntoTheRecordedFrames) {
  LoadLibAVForTest();
  TTempFolder folder;
  // The last text is wider than the frame: the fit rule leaves it out.
  const QString wide = "A text far too wide for a frame of three hundred and twenty pixels";
  for (const auto& [text, position] : {std::pair{QString("Vexmora"), 1},
                                       {QString("Vexmora"), 5},
                                       {QString("Vexmora"), 9},
                                       {wide, 9}}) {
    SCOPED_TRACE(text.toStdString() + " at " + std::to_string(position));
    const std::string file = folder.File("overlay" + std::to_string(text.size()) + "-" +
                                         std::to_string(position) + ".avi");
    TTaskRun run;
    TOverlayState state = TextOverlay(text, position);
    std::atomic<int> hooked{0};
    run.Encoder.OnVideoInputHook = [&](TCustomEncoder*, PHookInfo AInfo) {
      DrawOverlays(state, *AInfo->Bitmap, AInfo->FrameNumber);
      ++hooked;
    };
    TInputOptions input;
    TFFEncoder::InitInputOptions(input);
    input.Options = "-f lavfi";
    const int task = run.Encoder.AddTask(
        "color=c=black:size=320x240:rate=15:duration=1,format=bgr0", &input);
    ASSERT_GE(task, 0) << run.Encoder.LastErrMsg;
    TOutputOptions output;
    TFFEncoder::InitOutputOptions(output);
    output.Options = "-c:v rawvideo -pix_fmt bgr24";
    output.VideoInputHook = true;
    ASSERT_GE(run.Encoder.SetOutput(task, file, &output), 0) << run.Encoder.LastErrMsg;
    run.Start();
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(hooked, 15);

    const QSize size = TextSize(state, text);
    int x = 0, y = 0;
    const QRect box = OverlayOrigin(320, 240, size.width(), size.height(), position, x, y)
                          ? QRect(x, y, size.width(), size.height())
                          : QRect();
    EXPECT_EQ(box.isEmpty(), text == wide);
    const std::vector<TBitmap> decoded = DecodedFrames(file);
    for (size_t i = 0; i < decoded.size(); ++i)
      EXPECT_EQ(RedBox(decoded[i]), box) << "frame " << i;
    const int frames = static_cast<int>(decoded.size());
    EXPECT_EQ(frames, 15);
  }
}

} // namespace
