// Loads the real FFmpeg libraries from LibAV/ beside the test program.
#pragma once

#include "LibAVFolder.h"

// Loads the whole set once per process; fails the calling test otherwise.
void LoadLibAVForTest();
