// What the suites of the option machinery share: a task whose open inputs a
// test chooses, a fixture that parses option strings into a fresh record,
// and readers of the groups and dictionaries the parse fills.
#pragma once

#include "DictionaryText.h"
#include "FFOptions.h"
#include "FFmpegOpt.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The options of a group, as "key=value".
inline TStrings Keys(const TOptionGroup& AGroup) {
  TStrings keys;
  for (const TParsedOption& option : AGroup.Options)
    keys.push_back(option.Key + "=" + option.Value);
  return keys;
}

// A task whose inputs are whatever format contexts the test hands it.
class TInputsTask : public TCustomFFmpegOpt {
public:
  std::vector<AVFormatContext*> Inputs;
  std::vector<AVFormatContext*> InputContexts() const override { return Inputs; }
};

class OptionParser : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Log = std::make_unique<TLogCapture>(TLogLevel::llInfo);
    Task.InitOptionTable();
    Task.InitOptionsContext(Options);
  }
  void TearDown() override {
    Task.FreeOptionsContext(Options);
    Log.reset();
  }
  // Each parse starts from a fresh record, as each open call does.
  int Parse(const std::string& AText, bool AStrict = true, const std::string& APresets = "") {
    Task.FreeOptionsContext(Options);
    Task.InitOptionsContext(Options);
    Task.StrictOptions = AStrict;
    return Task.ParseOptions(Options, AText, "file.avi", APresets);
  }
  TOptionGroup& FileGroup() { return Task.FFOptions().FileGroup; }
  TOptionGroup& GlobalGroup() { return Task.FFOptions().GlobalGroup; }

  TInputsTask Task;
  TOptionsContext Options;
  std::unique_ptr<TLogCapture> Log;
};
