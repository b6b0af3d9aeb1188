// "-map" and "-map_channel": which input streams and audio channels an
// output takes, checked against the inputs the task has opened.
#pragma once

#include "FFOptionsContext.h"
#include "LibAV.h"

#include <span>

class TTaskOptions;

// The format contexts of the task's open inputs, by input index.
using TInputContexts = std::span<AVFormatContext* const>;

// Applies one "-map" value ("[-]file[:spec][,syncfile[:spec]]" or "[label]")
// to AOptions.StreamMaps. Every failure is the task's fatal error.
void ApplyStreamMap(TTaskOptions& ATask, TOptionsContext& AOptions, TInputContexts AInputs,
                    const char* AValue);

// Applies one "-map_channel" value ("file.stream.channel[:outfile.outstream]"
// or "-1[:outfile.outstream]" for a muted channel) to
// AOptions.AudioChannelMaps. Every failure is the task's fatal error.
void ApplyAudioChannelMap(TTaskOptions& ATask, TOptionsContext& AOptions,
                          TInputContexts AInputs, const char* AValue);
