// "-target": the option sets of the VCD, SVCD, DVD and DV formats for the
// PAL, NTSC and film norms.
#pragma once

#include "FFStreamMaps.h"

// Applies the options of the target AValue ("vcd", "pal-svcd", "ntsc-dv50"...)
// to AOptions and the file group's dictionaries; without a norm prefix the
// norm follows the video frame rate of AInputs. 0, or AVERROR(EINVAL) with the last
// option error set for an unknown target; an undecidable norm is the task's
// fatal error.
int ApplyTarget(TTaskOptions& ATask, TOptionsContext& AOptions, TInputContexts AInputs,
                const char* AValue);
