// Per-stream option resolution: which value of a per-stream option, which
// codec options and which decoder or encoder apply to one stream, and the
// input-side helpers that guess channel layouts and save attachments.
#pragma once

#include "FFDictionary.h"
#include "FFOptionsContext.h"
#include "LibAV.h"

#include <climits>
#include <string>
#include <vector>

class TTaskOptions;

// 1 when AStream of AContext matches ASpec, 0 when not, negative for an
// invalid specifier. An empty specifier matches every stream.
int CheckStreamSpecifier(AVFormatContext* AContext, AVStream* AStream, const std::string& ASpec);

// Raises the task's fatal error "check_stream_specifier: <error text>".
[[noreturn]] void StreamSpecifierFatal(TTaskOptions& ATask, int ACode);

// AValue := the value of the last entry of AList whose specifier matches
// AStream; AValue keeps the caller's default when none does. An invalid
// specifier is the task's fatal error.
template <class T>
void MatchPerStreamOption(TTaskOptions& ATask, const TSpecifierOptList<T>& AList,
                          AVFormatContext* AContext, AVStream* AStream, T& AValue) {
  for (const TSpecifierOpt<T>& entry : AList) {
    const int r = CheckStreamSpecifier(AContext, AStream, entry.Specifier);
    if (r > 0)
      AValue = entry.Value;
    else if (r < 0)
      StreamSpecifierFatal(ATask, r);
  }
}

// AName := the last codec name given for exactly the media letter AType
// ('v', 'a', 's'); unchanged when none is.
void MatchPerTypeCodecName(const TOptionsContext& AOptions, char AType, std::string& AName);

// The entries of ADict that apply to AStream: keys "name:spec" whose
// specifier matches (cut at the ":"), generic codec options of the stream's
// kind and direction, the codec's private options, and "vname"/"aname"/"sname"
// for a generic option of that kind. An invalid specifier is the task's fatal
// error. Without ACodec, the encoder or decoder of ACodecId is consulted.
TDictionary FilterCodecOptions(TTaskOptions& ATask, const AVDictionary* ADict,
                               AVCodecID ACodecId, AVFormatContext* AContext, AVStream* AStream,
                               const AVCodec* ACodec);

// One filtered dictionary per stream of AContext, for stream probing; empty
// for a file without streams.
std::vector<TDictionary> FindStreamInfoOptions(TTaskOptions& ATask, AVFormatContext* AContext,
                                               const AVDictionary* ADict);

// The encoder or decoder named AName, or the one of the codec descriptor of
// that name. An unknown name or a codec of another media type is the task's
// fatal error.
const AVCodec* FindCodecByName(TTaskOptions& ATask, const std::string& AName, AVMediaType AType,
                               bool AEncoder);

// The decoder forced for AStream by a codec name (which also sets the
// stream's codec id), else the default decoder of its codec id; null when
// there is none.
const AVCodec* ChooseDecoder(TTaskOptions& ATask, const TOptionsContext& AOptions,
                             AVFormatContext* AContext, AVStream* AStream);

// True when ALayout is known or could be guessed from its channel count (at
// most AGuessLayoutMax channels); a guess replaces ALayout and is logged as
// a warning naming input stream #AFileIndex.AStreamIndex.
bool GuessInputChannelLayout(void* ASender, AVChannelLayout& ALayout, int AGuessLayoutMax,
                             int AFileIndex, int AStreamIndex);

// True when the output AFileName may be written: overwriting is allowed, the
// name is not a local file, or no such file exists. Otherwise the task's
// LastErrMsg says it exists and the answer is False.
bool CheckFileOverwrite(TTaskOptions& ATask, const std::string& AFileName);

// Writes the extradata of attachment stream AStream of input AInputIndex to
// AFileName, or, when that is empty, to the base name of the stream's own
// "filename" tag in the current folder.
void SaveAttachment(TTaskOptions& ATask, AVStream* AStream, int AInputIndex,
                    const std::string& AFileName);
