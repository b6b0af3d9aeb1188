// The capture device through a task's filter graph with a forced frame rate:
// its frames keep the time they were taken, so frames the device lost during
// a stall leave a gap on the rate's grid instead of pulling the later frames
// earlier.
#include "CaptureTestSupport.h"
#include "FFmpegOpt.h"
#include "MediaFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

class RealTimeGrid : public TCaptureTest {};

TEST_F(RealTimeGrid, LostFramesLeaveTheirSlotsEmpty) {
  TCustomFFmpegOpt task;
  TLogCapture log;
  ASSERT_EQ(task.AddInput(" -f gdicapture -capture_flags 0 -s 160x120 -r 15 ", "video=0", ""), 0)
      << task.LastErrMsg;
  ASSERT_TRUE(task.InputFiles[0]->RealTime);
  auto ost = std::make_unique<TOutputStream>();
  ost->AvFilter = "null";
  task.OutputStreams.push_back(std::move(ost));
  TOutputStream& out = *task.OutputStreams.back();
  TFilterGraph& graph = task.InitSimpleFilterGraph(*task.InputStreams[0], out);
  ASSERT_EQ(task.ConfigureFilterGraph(graph), 0) << task.LastErrMsg;
  EXPECT_EQ(av_cmp_q(AV.av_buffersink_get_time_base(graph.Outputs[0]->Filter), AVRational{1, 15}),
            0)
      << "frames leave on the forced rate's grid";

  TGraphDriver driver(task);
  driver.OpenDecoders();
  driver.Run(0, 5, false);
  {
    TXvfbStall stall(*FXvfb); // the grab thread cannot take frames meanwhile
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
  }
  driver.Run(0, 10, true);

  const auto& frames = driver.Frames(out);
  ASSERT_EQ(frames.size(), 15u);
  int64_t gap = 0;
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_GE(frames[i]->pts, frames[i - 1]->pts) << i;
    gap = std::max(gap, frames[i]->pts - frames[i - 1]->pts);
  }
  // 800 ms at 15 per second are 12 slots; the stall starts and ends between
  // grabs, so at least 9 of them stay empty.
  EXPECT_GE(gap, 10) << "lost frames are not renumbered away";
  EXPECT_LE(gap, 16);
}

} // namespace
