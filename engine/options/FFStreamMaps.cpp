// "-map" and "-map_channel" (see FFStreamMaps.h).
#include "FFStreamMaps.h"

#include "FFStreamOptions.h"
#include "TaskOptions.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <initializer_list>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The number at the start of AText (base from the text, as strtol reads
// it), the rest after it, and how to name it in a message: a number that
// does not fit an int is named as it was written, not by what it wrapped to.
struct TLeadingNumber {
  int Value = -1; // -1 when the number does not fit
  std::string Text;
  const char* Rest = nullptr;
};

TLeadingNumber LeadingNumber(const char* AText) {
  TLeadingNumber number;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(AText, &end, 0);
  number.Rest = end;
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
    number.Text.assign(AText, static_cast<size_t>(end - AText));
    return number;
  }
  number.Value = static_cast<int>(value);
  number.Text = std::to_string(number.Value);
  return number;
}

// Reads the "%d" fields of AFormat from AText the way sscanf does (leading
// blanks skipped, literal characters matched, the rest after the last match
// ignored). Answers how many fields were read, or -1 for a number that does
// not fit an int, which sscanf would leave undefined.
int ScanIntegers(const char* AText, const char* AFormat, std::initializer_list<int*> AFields) {
  int count = 0;
  auto field = AFields.begin();
  for (const char* f = AFormat; *f; ++f) {
    if (f[0] == '%' && f[1] == 'd') {
      ++f;
      while (std::isspace(static_cast<unsigned char>(*AText)))
        ++AText;
      char* end = nullptr;
      errno = 0;
      const long value = std::strtol(AText, &end, 10);
      if (end == AText) break;
      if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return -1;
      **field++ = static_cast<int>(value);
      ++count;
      AText = end;
    } else if (*AText++ != *f) {
      break;
    }
  }
  return count;
}

bool InRange(int AIndex, size_t ACount) {
  return AIndex >= 0 && static_cast<size_t>(AIndex) < ACount;
}

// 1 when AStream matches; an invalid specifier is fatal rather than a map
// that silently matches nothing.
bool Matches(TTaskOptions& ATask, AVFormatContext* AContext, AVStream* AStream,
             const std::string& ASpec) {
  const int r = CheckStreamSpecifier(AContext, AStream, ASpec);
  if (r < 0) StreamSpecifierFatal(ATask, r);
  return r > 0;
}

} // namespace

void ApplyStreamMap(TTaskOptions& ATask, TOptionsContext& AOptions, TInputContexts AInputs,
                    const char* AValue) {
  const std::string value = AValue ? AValue : "";
  const bool negative = !value.empty() && value[0] == '-';
  std::string map = value.substr(negative ? 1 : 0);

  int syncFile = -1, syncStream = -1;
  if (const size_t comma = map.find(','); comma != std::string::npos) {
    const std::string sync = map.substr(comma + 1);
    map.resize(comma);
    const TLeadingNumber number = LeadingNumber(sync.c_str());
    const char* rest = number.Rest;
    syncFile = number.Value;
    if (!InRange(syncFile, AInputs.size()))
      ATask.FatalErrorFmt("Invalid sync file index: %s.", number.Text.c_str());
    // The separator after the number, if the text goes on at all.
    if (*rest) ++rest;
    AVFormatContext* input = AInputs[static_cast<size_t>(syncFile)];
    for (unsigned i = 0; i < input->nb_streams && syncStream < 0; ++i)
      if (Matches(ATask, input, input->streams[i], rest)) syncStream = static_cast<int>(i);
    if (syncStream < 0)
      ATask.FatalErrorFmt("Sync stream specification in map %s does not match any streams.",
                          value.c_str());
  }

  bool found = false;
  if (!map.empty() && map[0] == '[') {
    const char* text = map.c_str() + 1;
    char* token = AV.av_get_token(&text, "]");
    std::string label = token ? token : "";
    AV.av_free(token);
    if (label.empty()) ATask.FatalErrorFmt("Invalid output link label: %s.", map.c_str());
    TStreamMap entry;
    entry.LinkLabel = std::move(label);
    AOptions.StreamMaps.push_back(std::move(entry));
    found = true;
  } else {
    const TLeadingNumber number = LeadingNumber(map.c_str());
    const char* rest = number.Rest;
    const int file = number.Value;
    if (!InRange(file, AInputs.size()))
      ATask.FatalErrorFmt("Invalid input file index: %s.", number.Text.c_str());
    if (*rest == ':') ++rest;
    const std::string spec = rest;
    AVFormatContext* input = AInputs[static_cast<size_t>(file)];
    if (negative) {
      for (TStreamMap& entry : AOptions.StreamMaps) {
        found = true;
        if (entry.LinkLabel.empty() && entry.FileIndex == file &&
            InRange(entry.StreamIndex, input->nb_streams) &&
            Matches(ATask, input, input->streams[entry.StreamIndex], spec))
          entry.Disabled = 1;
      }
    } else {
      for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (!Matches(ATask, input, input->streams[i], spec)) continue;
        TStreamMap entry;
        entry.FileIndex = file;
        entry.StreamIndex = static_cast<int>(i);
        entry.SyncFileIndex = syncFile >= 0 ? syncFile : file;
        entry.SyncStreamIndex = syncFile >= 0 ? syncStream : static_cast<int>(i);
        AOptions.StreamMaps.push_back(std::move(entry));
        found = true;
      }
    }
  }
  if (!found) ATask.FatalErrorFmt("Stream map \"%s\" matches no streams.", value.c_str());
}

void ApplyAudioChannelMap(TTaskOptions& ATask, TOptionsContext& AOptions,
                          TInputContexts AInputs, const char* AValue) {
  const char* value = AValue ? AValue : "";
  const char* usage = "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]";
  TAudioChannelMap& map = AOptions.AudioChannelMaps.emplace_back();
  // Output indices, where given, name a file and a stream: never negative.
  auto checkOutput = [&] {
    if (map.OutFileIndex < 0 || map.OutStreamIndex < 0) ATask.FatalError(usage);
  };

  int n = ScanIntegers(value, "%d:%d.%d", {&map.ChannelIndex, &map.OutFileIndex, &map.OutStreamIndex});
  if ((n == 1 || n == 3) && map.ChannelIndex == -1) {
    map.FileIndex = map.StreamIndex = -1;
    if (n == 1)
      map.OutFileIndex = map.OutStreamIndex = -1;
    else
      checkOutput();
    return;
  }
  n = ScanIntegers(value, "%d.%d.%d:%d.%d",
                   {&map.FileIndex, &map.StreamIndex, &map.ChannelIndex, &map.OutFileIndex,
                    &map.OutStreamIndex});
  if (n != 3 && n != 5) ATask.FatalError(usage);
  if (n == 3)
    map.OutFileIndex = map.OutStreamIndex = -1;
  else
    checkOutput();

  if (!InRange(map.FileIndex, AInputs.size()))
    ATask.FatalErrorFmt("mapchan: invalid input file index: %d", map.FileIndex);
  AVFormatContext* input = AInputs[static_cast<size_t>(map.FileIndex)];
  if (!InRange(map.StreamIndex, input->nb_streams))
    ATask.FatalErrorFmt("mapchan: invalid input file stream index #%d.%d", map.FileIndex,
                        map.StreamIndex);
  const AVCodecParameters* par = input->streams[map.StreamIndex]->codecpar;
  if (par->codec_type != AVMEDIA_TYPE_AUDIO)
    ATask.FatalErrorFmt("mapchan: stream #%d.%d is not an audio stream.", map.FileIndex,
                        map.StreamIndex);
  if (!InRange(map.ChannelIndex, static_cast<size_t>(par->ch_layout.nb_channels)))
    ATask.FatalErrorFmt("mapchan: invalid audio channel #%d.%d.%d", map.FileIndex, map.StreamIndex,
                        map.ChannelIndex);
}
