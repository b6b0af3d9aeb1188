// The picture watermark with picture paths full of the characters the
// filter graph, the filter's options and the command line take for syntax:
// each such picture is overlaid where its position says, in a real task.
#include "AppTestSupport.h"
#include "DecodedFrames.h"
#include "IniFile.h"
#include "LibAVForTests.h"
#include "RecorderOptions.h"
#include "TaskRun.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

TEST(Watermark, PicturesWithSyntaxCharactersInTheirPathAreOverlaid) {
  LoadLibAVForTest();
  TTempFolder folder;
  const char* const names[] = {
      "plain.png",     "with blank.png",  "quote'd.png",     "a,b;c.png",    "[brackets].png",
      "key=value.png", "drive:colon.png", "back\\slash.png", "dq\"uote.png", " lead and trail .png",
  };
  QImage mark(16, 16, QImage::Format_RGB32);
  mark.fill(QColor(255, 0, 0));
  int index = 0;
  for (const char* name : names) {
    for (const int position : {1, 9}) {
      SCOPED_TRACE(std::string(name) + " at " + std::to_string(position));
      const std::string picture = folder.File(name);
      ASSERT_TRUE(mark.save(QString::fromStdString(picture), "PNG"));
      TIniFile ini(folder.File("vexmora.ini"));
      ini.WriteString("imageoptions", "path", picture);
      const std::string filter = BuildWatermarkFilter(ini, position);
      ASSERT_FALSE(filter.empty());
      const std::string file = folder.File("out" + std::to_string(index++) + ".avi");
      TTaskRun run;
      ASSERT_TRUE(run.Add("color=c=black:size=320x240:rate=15:duration=0.4", "-f lavfi", file,
                          "-c:v rawvideo -pix_fmt bgr24 -vf \"" + filter + "\""))
          << run.Error;
      run.Start();
      ASSERT_TRUE(run.WaitForEnd());
      ASSERT_FALSE(run.Notices[0].Exception) << run.Notices[0].ExceptionMsg;
      // The 16 x 16 picture sits 5 pixels from the edges: its middle is 13 in.
      const int x = position == 1 ? 13 : 320 - 13, y = position == 1 ? 13 : 240 - 13;
      const std::vector<TBitmap> frames = DecodedFrames(file);
      ASSERT_EQ(frames.size(), 6u);
      for (const TBitmap& frame : frames) {
        const uint8_t* p = frame.ScanLine(y) + 3 * x;
        EXPECT_TRUE(p[0] < 40 && p[1] < 40 && p[2] > 200) << "the watermark is not in its corner";
        EXPECT_EQ(frame.ScanLine(120)[3 * 160 + 2], 0) << "nor anywhere else";
      }
    }
  }
}

} // namespace
