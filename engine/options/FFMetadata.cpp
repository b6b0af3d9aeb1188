// Metadata specifiers and metadata copies (see FFMetadata.h).
#include "FFMetadata.h"

#include "FFErrors.h"
#include "FFLog.h"
#include "FFStreamOptions.h"
#include "FFText.h"
#include "TaskOptions.h"

#include <cstdlib>

namespace {

int Fail(TTaskOptions& ATask, std::string AMessage, int ACode = -1) {
  ATask.LastErrMsg = std::move(AMessage);
  return ACode;
}

int FailLogged(TTaskOptions& ATask, std::string AMessage) {
  FFLogger().Log(&ATask, TLogLevel::llFatal, AMessage);
  return Fail(ATask, std::move(AMessage));
}

// The dictionary of a "g", "c" or "p" specifier; null with LastErrMsg set for
// an index outside the file's chapters or programs.
AVDictionary** MetadataOf(TTaskOptions& ATask, AVFormatContext* AContext, char AType,
                          int AIndex) {
  auto check = [&](unsigned ACount, const char* AWhat) {
    if (AIndex >= 0 && static_cast<unsigned>(AIndex) < ACount) return true;
    Fail(ATask, FormatText("Invalid %s index %d while processing metadata maps.", AWhat, AIndex));
    return false;
  };
  switch (AType) {
  case 'g':
    return &AContext->metadata;
  case 'c':
    return check(AContext->nb_chapters, "chapter") ? &AContext->chapters[AIndex]->metadata
                                                   : nullptr;
  case 'p':
    return check(AContext->nb_programs, "program") ? &AContext->programs[AIndex]->metadata
                                                   : nullptr;
  default:
    return nullptr;
  }
}

} // namespace

int ParseMetadataSpec(TTaskOptions& ATask, const std::string& ASpec, char& AType,
                      std::string& AStreamSpec, int& AIndex) {
  if (ASpec.empty()) {
    AType = 'g';
    return 0;
  }
  AType = ASpec[0];
  const std::string rest = ASpec.substr(1);
  switch (AType) {
  case 'g':
    return 0;
  case 'c':
  case 'p':
    if (!rest.empty() && rest[0] == ':')
      AIndex = static_cast<int>(std::strtol(rest.c_str() + 1, nullptr, 10));
    return 0;
  case 's':
    if (!rest.empty() && rest[0] != ':')
      return FailLogged(ATask, FormatText("Invalid metadata specifier %s.", rest.c_str()));
    AStreamSpec = rest.empty() ? std::string() : rest.substr(1);
    return 0;
  default:
    return FailLogged(ATask, FormatText("Invalid metadata type %c.", AType));
  }
}

int CopyMetadata(TTaskOptions& ATask, const std::string& AOutSpec, const std::string& AInSpec,
                 TOptionsContext& AOptions, AVFormatContext* AInput, AVFormatContext* AOutput) {
  char inType = 0, outType = 0;
  std::string inStreamSpec, outStreamSpec;
  int inIndex = 0, outIndex = 0;
  if (ParseMetadataSpec(ATask, AInSpec, inType, inStreamSpec, inIndex) < 0 ||
      ParseMetadataSpec(ATask, AOutSpec, outType, outStreamSpec, outIndex) < 0)
    return -1;

  if (!AInput) {
    AOptions.MetadataGlobalManual |= outType == 'g' || AOutSpec.empty();
    AOptions.MetadataStreamsManual |= outType == 's' || AOutSpec.empty();
    AOptions.MetadataChaptersManual |= outType == 'c' || AOutSpec.empty();
    return 0;
  }
  auto either = [&](char AType) { return inType == AType || outType == AType; };
  AOptions.MetadataGlobalManual |= either('g');
  AOptions.MetadataStreamsManual |= either('s');
  AOptions.MetadataChaptersManual |= either('c');

  AVDictionary* source = nullptr;
  if (inType == 's') {
    bool found = false;
    for (unsigned i = 0; i < AInput->nb_streams && !found; ++i) {
      const int r = CheckStreamSpecifier(AInput, AInput->streams[i], inStreamSpec);
      if (r < 0) return Fail(ATask, ErrorToString("check_stream_specifier", r), r);
      if (r > 0) {
        source = AInput->streams[i]->metadata;
        found = true;
      }
    }
    if (!found)
      return Fail(ATask, FormatText("Stream specifier %s does not match  any streams.",
                                    inStreamSpec.c_str()));
  } else {
    AVDictionary** dict = MetadataOf(ATask, AInput, inType, inIndex);
    if (!dict) return -1;
    source = *dict;
  }

  if (outType == 's') {
    for (unsigned i = 0; i < AOutput->nb_streams; ++i) {
      const int r = CheckStreamSpecifier(AOutput, AOutput->streams[i], outStreamSpec);
      if (r < 0) return Fail(ATask, ErrorToString("check_stream_specifier", r), r);
      if (r > 0) AV.av_dict_copy(&AOutput->streams[i]->metadata, source, AV_DICT_DONT_OVERWRITE);
    }
    return 0;
  }
  AVDictionary** dest = MetadataOf(ATask, AOutput, outType, outIndex);
  if (!dest) return -1;
  AV.av_dict_copy(dest, source, AV_DICT_DONT_OVERWRITE);
  return 0;
}
