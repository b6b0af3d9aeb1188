// Loads the real FFmpeg libraries for a test (see LibAVForTests.h).
#include "LibAVForTests.h"

#include <gtest/gtest.h>

void LoadLibAVForTest() {
  std::string error;
  ASSERT_TRUE(LoadLibAVBesideProgram(error)) << error;
}
