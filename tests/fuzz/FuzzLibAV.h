// What every fuzz target needs first: the libraries loaded from beside the
// program; a failure ends the run at once.
#pragma once

#include "LibAVFolder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

inline void LoadLibAVOrDie() {
  std::string error;
  if (!LoadLibAVBesideProgram(error)) {
    std::fprintf(stderr, "cannot load the libraries: %s\n", error.c_str());
    std::exit(1);
  }
}
