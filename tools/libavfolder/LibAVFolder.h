// Where a test or tool program finds the FFmpeg libraries: the LibAV folder
// beside it, as the build lays it out.
#pragma once

#include <string>

// The folder of the running program.
std::string ProgramFolder();
// ProgramFolder() + "/LibAV".
std::string LibAVFolder();
// Loads the whole set from LibAVFolder() once per process; false with
// AError set when it cannot.
bool LoadLibAVBesideProgram(std::string& AError);
