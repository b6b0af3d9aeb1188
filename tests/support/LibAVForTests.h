// Loads the real FFmpeg libraries from LibAV/ beside the test program.
#pragma once

#include <string>

// The folder of the running program.
std::string ProgramFolder();
// ProgramFolder() + "/LibAV".
std::string LibAVFolder();
// Loads the whole set once per process; fails the calling test otherwise.
void LoadLibAVForTest();
