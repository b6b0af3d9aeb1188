// Metadata specifiers ("g", "s[:spec]", "c:N", "p:N") and the copying of
// metadata between an input and an output file for "-map_metadata".
#pragma once

#include "FFOptionsContext.h"
#include "LibAV.h"

#include <string>

class TTaskOptions;

// Splits ASpec into its type ('g', 's', 'c' or 'p'), the stream specifier of
// an "s" and the index of a "c" or "p" (unchanged when none is given).
// Answers 0, or -1 with the task's LastErrMsg set and logged.
int ParseMetadataSpec(TTaskOptions& ATask, const std::string& ASpec, char& AType,
                      std::string& AStreamSpec, int& AIndex);

// Copies the metadata that AInSpec names in AInput to what AOutSpec names in
// AOutput, keeping keys the destination has, and marks the kinds of metadata
// that were mapped by hand in AOptions. A null AInput (input index -1) only
// marks them. Answers 0, or a negative code with the task's LastErrMsg set.
int CopyMetadata(TTaskOptions& ATask, const std::string& AOutSpec, const std::string& AInSpec,
                 TOptionsContext& AOptions, AVFormatContext* AInput, AVFormatContext* AOutput);
