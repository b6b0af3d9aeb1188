// Presets: key=value lines that set options the way an option string does,
// from the preset text handed with a file or from preset files ("-apre",
// "-vpre", "-spre", "-fpre").
#pragma once

#include "FFOptionsContext.h"

class TTaskOptions;

// Sets one library option straight into the file group's dictionaries (and
// its scaler options), also after the parse has finished collecting them;
// AOptions is null for the global group. The result of the option sets'
// lookup: 0, AVERROR_OPTION_NOT_FOUND, or a rejection of the value.
int ApplyPresetLibraryOption(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AKey,
                             const char* AValue);
