// A test of whole runs: the libraries loaded, the engine's log collected from
// the verbose level on, and shown when the test fails.
#pragma once

#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// TBase: the test's gtest base (a parameterised test's too); ALevel: from
// which level the log is collected.
template <class TBase = testing::Test, TLogLevel ALevel = TLogLevel::llVerbose>
class TLoggedTestOf : public TBase {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  void TearDown() override {
    if (this->HasFailure())
      for (const std::string& line : Log.Texts())
        std::printf("log: %s\n", line.c_str());
  }
  TLogCapture Log{ALevel};
};

using TLoggedTest = TLoggedTestOf<>;
