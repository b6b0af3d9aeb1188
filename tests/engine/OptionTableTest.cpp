// The option table and the per-file options record: row lookup, the rows'
// kinds, the record's and the task's defaults, and freeing the record.
#include "FFOptionTable.h"
#include "FFOptions.h"
#include "FFmpegOpt.h"
#include "LibAVForTests.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(OptionTable, HasEveryRowOnceAndFindsByTheNameBeforeTheColon) {
  const TOptionTable table = EngineOptionTable();
  ASSERT_EQ(table.size(), 149u);
  std::set<std::string> names;
  for (const TOptionDef& row : table) {
    ASSERT_NE(row.Name, nullptr);
    ASSERT_NE(row.Help, nullptr) << row.Name;
    EXPECT_TRUE(names.insert(row.Name).second) << "an unreachable second \"" << row.Name << "\"";
  }

  struct TLookup {
    const char* Name;
    const char* Row; // null: none
  };
  const TLookup lookups[] = {
      {"f", "f"},
      {"c:v", "c"},
      {"codec:a:0", "codec"},
      {"b:v", "b"},
      {"vcodec", "vcodec"},
      {"TimeLength", "TimeLength"},
      {"timelength", "timelength"},
      {"Timelength", nullptr},
      {"fo", nullptr},
      {"", nullptr},
      {":v", nullptr},
      {"-help", "-help"},
      {"capture_offset", nullptr},
      {"Join", "Join"},
      {"join", nullptr},
  };
  for (const TLookup& l : lookups) {
    const TOptionDef* row = FindOption(table, l.Name);
    EXPECT_STREQ(row ? row->Name : nullptr, l.Row) << l.Name;
  }
}

TEST(OptionTable, RowsCarryTheirFlagsAndGroups) {
  struct TRowCase {
    const char* Name;
    uint32_t Flags;
    bool FileGroup;
  };
  const TRowCase cases[] = {
      {"f", 0x4009, true},         {"y", 0x2, false},
      {"c", 0x8009, true},         {"map", 0x2005, true},
      {"t", 0x14001, true},        {"t_microsecond", 0x4401, true},
      {"itsscale", 0x28005, true}, {"vsync", 0x5, false},
      {"async", 0x85, false},      {"adrift_threshold", 0x105, false},
      {"stats", 0x2, false},       {"r", 0x8019, true},
      {"s", 0x8219, true},         {"an", 0x4022, true},
      {"vol", 0xA1, false},        {"dn", 0x4012, true},
      {"muxdelay", 0x4105, true},  {"vhook", 0x15, false},
      {"TimeStart", 0x2005, true}, {"Join", 0x800, false},
      {"report", 0x0, false},      {"pre", 0x801, false},
      {"loglevel", 0x1, false},    {"frames", 0x8401, true},
      {"dcodec", 0x3005, true},    {"guess_layout_max", 0x80A5, true},
  };
  for (const TRowCase& c : cases) {
    const TOptionDef* row = FindOption(EngineOptionTable(), c.Name);
    ASSERT_NE(row, nullptr) << c.Name;
    EXPECT_EQ(row->Flags, c.Flags) << c.Name;
    EXPECT_EQ(row->InFileGroup(), c.FileGroup) << c.Name;
  }
}

class OptionsContext : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  TCustomFFmpegOpt Task;
};

TEST_F(OptionsContext, TaskDefaults) {
  EXPECT_TRUE(Task.StrictOptions);
  EXPECT_EQ(Task.ReadTimeout, 30000);
  EXPECT_EQ(Task.WriteTimeout, 30000);
  EXPECT_FLOAT_EQ(Task.AudioDriftThreshold, 0.1f);
  EXPECT_FLOAT_EQ(Task.DtsDeltaThreshold, 10);
  EXPECT_FLOAT_EQ(Task.DtsErrorThreshold, 108000);
  EXPECT_EQ(Task.AudioVolume, 256);
  EXPECT_EQ(Task.AudioSyncMethod, 0);
  EXPECT_EQ(Task.VideoSyncMethod, -1);
  EXPECT_EQ(Task.CopyTb, -1);
  EXPECT_EQ(Task.PrintStats, -1);
  EXPECT_EQ(Task.IntraDcPrecision, 8);
  EXPECT_EQ(Task.FileOverwrite, 0);
  EXPECT_FALSE(Task.DoDeinterlace);
  EXPECT_TRUE(Task.VStatsFileName.empty());
  EXPECT_EQ(Task.ProgressOutput, nullptr);
  EXPECT_EQ(Task.ReadStartTime, kNoIOStartTime);
  EXPECT_EQ(Task.ReadInterrupt.opaque, static_cast<TIOInterrupts*>(&Task));
  EXPECT_EQ(Task.WriteInterrupt.callback, &TIOInterrupts::WriteInterruptCallback);
  EXPECT_TRUE(Task.OptionTable().empty()) << "the table is bound on first use";
  Task.InitOptionTable();
  EXPECT_EQ(Task.OptionTable().data(), EngineOptionTable().data());
}

TEST_F(OptionsContext, InitSetsTheDefaultsAndPointsAtTheFileGroup) {
  TOptionsContext options;
  options.RecordingTime = 5;
  options.CodecNames.push_back({"v", "mpeg4"});
  Task.InitOptionsContext(options);
  EXPECT_EQ(options.Group, &Task.FFOptions().FileGroup);
  EXPECT_EQ(options.RecordingTime, INT64_MAX);
  EXPECT_EQ(options.StopTime, INT64_MAX);
  EXPECT_EQ(options.LimitFileSize, INT64_MAX);
  EXPECT_FLOAT_EQ(options.MuxMaxDelay, 0.7f);
  EXPECT_EQ(options.ChaptersInputFile, INT32_MAX);
  EXPECT_EQ(options.StartTime, 0);
  EXPECT_FALSE(options.Format);
  EXPECT_TRUE(options.CodecNames.empty());
}

TEST_F(OptionsContext, FreeEmptiesEveryListTextAndGroup) {
  TOptionsContext options;
  Task.InitOptionsContext(options);
  ASSERT_EQ(Task.ParseOptions(options,
                              "-f avi -c:v mpeg4 -r 25 -ac 2 -itsscale 1.5 -frames 10 -q 3 "
                              "-metadata title=x -attach a.ttf -vf scale=320:240 -g 12 -y",
                              "out.avi", ""),
            0)
      << Task.LastErrMsg;
  ASSERT_TRUE(options.Format);
  ASSERT_FALSE(options.Filters.empty());
  ASSERT_GT(Task.FFOptions().FileGroup.CodecOpts.Count(), 0);
  Task.FreeOptionsContext(options);
  EXPECT_FALSE(options.Format);
  for (const TOptionDef& row : EngineOptionTable())
    std::visit(
        [&](auto target) {
          using TTarget = decltype(target);
          if constexpr (std::is_same_v<TTarget,
                                       TSpecifierOptList<std::string> TOptionsContext::*> ||
                        std::is_same_v<TTarget, TSpecifierOptList<int> TOptionsContext::*> ||
                        std::is_same_v<TTarget, TSpecifierOptList<int64_t> TOptionsContext::*> ||
                        std::is_same_v<TTarget, TSpecifierOptList<double> TOptionsContext::*>) {
            EXPECT_TRUE((options.*target).empty()) << row.Name;
          }
        },
        row.Target);
  EXPECT_TRUE(options.Attachments.empty());
  EXPECT_TRUE(Task.FFOptions().FileGroup.Options.empty());
  EXPECT_TRUE(Task.FFOptions().GlobalGroup.Options.empty());
  EXPECT_EQ(Task.FFOptions().FileGroup.CodecOpts.Count(), 0);
}

TEST_F(OptionsContext, OneTaskParsesManyStringsEachIntoItsOwnRecord) {
  TOptionsContext first, second;
  Task.InitOptionsContext(first);
  ASSERT_EQ(Task.ParseOptions(first, "-f lavfi -t 3 -y", "in0", ""), 0) << Task.LastErrMsg;
  const std::string format = first.Format.value_or("");
  const int64_t time = first.RecordingTime;
  Task.FreeOptionsContext(first);
  Task.InitOptionsContext(second);
  ASSERT_EQ(Task.ParseOptions(second, "-stats", "in1", ""), 0) << Task.LastErrMsg;
  EXPECT_EQ(format, "lavfi");
  EXPECT_EQ(time, 3000000);
  EXPECT_FALSE(second.Format) << "per-file options stay with their file";
  EXPECT_EQ(second.RecordingTime, INT64_MAX);
  EXPECT_EQ(Task.FileOverwrite, 1) << "a global option changes the task for all its files";
  EXPECT_EQ(Task.PrintStats, 1);
  Task.FreeOptionsContext(second);
}

} // namespace
