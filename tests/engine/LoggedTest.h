// A test of whole runs: the libraries loaded, the engine's log collected from
// the verbose level on, and shown when the test fails.
#pragma once

#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

class TLoggedTest : public testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }
  void TearDown() override {
    if (HasFailure())
      for (const std::string& line : Log.Texts())
        std::printf("log: %s\n", line.c_str());
  }
  TLogCapture Log{TLogLevel::llVerbose};
};
