// The handlers of the option table's rows that do more than store a value.
// Each has the TOptionHandler shape: the task, the per-file record (null for
// the global group), the option name as written and its argument text.
#pragma once

#include "FFLog.h"
#include "FFOptionTable.h"
#include "LibAV.h"

#include <string>

using TOptionHandlerFunction = int(TTaskOptions& ATask, TOptionsContext* AOptions,
                                   const char* AName, const char* AValue);

// How a handler reports: LastOptionError := AText, logged at ALevel; answers
// ACode (AVERROR(EINVAL) unless given).
int OptionFailure(TTaskOptions& ATask, const std::string& AText, int ACode = AVERROR(EINVAL),
                  TLogLevel ALevel = TLogLevel::llError);

// Informational options of the command-line tool, unsupported and removed
// ones, and the hook switches that the encoder reads itself.
TOptionHandlerFunction OptIgnored, OptUnsupported, OptHookSwitch, OptSameQ;

// The logger's level, the allocation limit, the CPU features.
TOptionHandlerFunction OptLogLevel, OptMaxAlloc, OptCpuFlags;
// The smallest "-max_alloc" taken, in bytes.
inline constexpr long kMinMaxAlloc = 1L << 20;
// Sets the logger's level from a level name or the libraries' number; AVERROR(EINVAL)
// with the last option error set for anything else.
int ApplyLogLevel(TTaskOptions& ATask, const char* AValue);

// Options that apply another option under a new name.
TOptionHandlerFunction OptVideoCodec, OptAudioCodec, OptSubtitleCodec, OptDataCodec;
TOptionHandlerFunction OptVideoFrames, OptAudioFrames, OptDataFrames;
TOptionHandlerFunction OptVideoFilters, OptAudioFilters, OptAudioQuality, OptOldToNew;
TOptionHandlerFunction OptTimeStart, OptTimeLength;

// Options with behaviour of their own.
TOptionHandlerFunction OptBitrate, OptQScale, OptProfile, OptVsync, OptDeinterlace;
TOptionHandlerFunction OptVideoChannel, OptVideoStandard, OptChannelLayout;
TOptionHandlerFunction OptTimecode, OptRecordingTimestamp, OptVStats, OptVStatsFile;
TOptionHandlerFunction OptProgress, OptAttach, OptFilterComplex;
TOptionHandlerFunction OptMap, OptMapChannel, OptTarget, OptPreset, OptStreamId;

// The rows of the task's own virtual video-hook handlers.
TOptionHandlerFunction CallOptVHook, CallOptVideoHookBitsPixel;
