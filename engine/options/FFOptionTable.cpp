// The option table (see FFOptionTable.h) and the life of the per-file
// options record.
#include "FFOptionTable.h"

#include "FFOptionHandlers.h"
#include "FFOptions.h"
#include "TaskOptions.h"

#include <cstring>
#include <type_traits>

namespace {

// ---- The row builder -------------------------------------------------------

enum class TValueKind { Handler, Text, Int, Int64, Time, Float, Double };

// The kind a value is stored as; the first flag that names one wins.
constexpr TValueKind KindOf(uint32_t AFlags) {
  if (AFlags & ofString) return TValueKind::Text;
  if (AFlags & (ofBool | ofInt)) return TValueKind::Int;
  if (AFlags & ofInt64) return TValueKind::Int64;
  if (AFlags & ofTime) return TValueKind::Time;
  if (AFlags & ofFloat) return TValueKind::Float;
  if (AFlags & ofDouble) return TValueKind::Double;
  return TValueKind::Handler;
}

constexpr int KindFlagCount(uint32_t AFlags) {
  int count = 0;
  for (uint32_t flag : {ofString, ofBool, ofInt, ofInt64, ofTime, ofFloat, ofDouble})
    if (AFlags & flag) ++count;
  return count;
}

// What a value of each kind is kept in.
template <TValueKind K> struct TStorageOf;
template <> struct TStorageOf<TValueKind::Text> { using Type = std::string; };
template <> struct TStorageOf<TValueKind::Int> { using Type = int; };
template <> struct TStorageOf<TValueKind::Int64> { using Type = int64_t; };
template <> struct TStorageOf<TValueKind::Time> { using Type = int64_t; };
template <> struct TStorageOf<TValueKind::Float> { using Type = float; };
template <> struct TStorageOf<TValueKind::Double> { using Type = double; };

template <class T> struct TMemberOf {
  using Class = void;
  using Type = void;
};
template <class M, class C> struct TMemberOf<M C::*> {
  using Class = C;
  using Type = M;
};

template <uint32_t Flags, class Target> constexpr void CheckRow() {
  constexpr TValueKind kind = KindOf(Flags);
  constexpr bool offset = Flags & ofOffset, spec = Flags & ofSpec;
  static_assert(KindFlagCount(Flags) <= 1, "a row stores one kind of value");
  static_assert(!(offset && spec), "a row targets a field or a per-stream list, not both");
  static_assert(!(Flags & ofBool) || !(Flags & ofHasArg), "a Boolean row takes no argument");
  static_assert(kind == TValueKind::Handler || (Flags & ofBool) || (Flags & ofHasArg),
                "a value row takes an argument");
  if constexpr (std::is_same_v<Target, TOptionHandler>) {
    static_assert(kind == TValueKind::Handler, "a handler row names no value kind");
    static_assert(!offset && !spec, "a handler row has no field");
  } else {
    static_assert(kind != TValueKind::Handler, "a field row names its value kind");
    using TClass = typename TMemberOf<Target>::Class;
    using TField = typename TMemberOf<Target>::Type;
    using TValue = typename TStorageOf<kind>::Type;
    if constexpr (offset) {
      static_assert(std::is_same_v<TClass, TOptionsContext>, "an offset row targets the record");
      using TWanted =
          std::conditional_t<kind == TValueKind::Text, std::optional<std::string>, TValue>;
      static_assert(std::is_same_v<TField, TWanted>, "the field's type disagrees with the flags");
    } else if constexpr (spec) {
      static_assert(std::is_same_v<TClass, TOptionsContext>, "a per-stream row targets the record");
      static_assert(std::is_same_v<TField, TSpecifierOptList<TValue>>,
                    "the list's value type disagrees with the flags");
    } else {
      static_assert(std::is_same_v<TClass, TTaskOptions>,
                    "a global value row targets the task");
      static_assert(!(Flags & ofPerFile), "a per-file row cannot store into the task");
      static_assert(std::is_same_v<TField, TValue>, "the field's type disagrees with the flags");
    }
  }
}

template <uint32_t Flags, class Target>
constexpr TOptionDef Row(const char* AName, Target ATarget, const char* AArgName,
                         const char* AHelp) {
  CheckRow<Flags, Target>();
  return {AName, Flags, ATarget, AHelp, AArgName};
}

// ---- The rows ---------------------------------------------------------------

// The flags by the letters the option list is documented with.
constexpr uint32_t A = ofHasArg, B = ofBool, X = ofExpert, S = ofString, v = ofVideo, a = ofAudio,
                   I = ofInt, F = ofFloat, s = ofSubtitle, L = ofInt64, M = ofMarker, d = ofData,
                   P = ofPerFile, O = ofOffset, Z = ofSpec, T = ofTime, D = ofDouble;
using Ctx = TOptionsContext;
using Task = TTaskOptions;
constexpr const char* none = nullptr;

// clang-format off
constexpr TOptionDef kRows[] = {
  Row<M>("L", OptIgnored, none, "show license"),
  Row<M>("h", OptIgnored, "topic", "show help"),
  Row<M>("?", OptIgnored, "topic", "show help"),
  Row<M>("help", OptIgnored, "topic", "show help"),
  Row<M>("-help", OptIgnored, "topic", "show help"),
  Row<M>("version", OptIgnored, none, "show version"),
  Row<M>("formats", OptIgnored, none, "show available formats"),
  Row<M>("codecs", OptIgnored, none, "show available codecs"),
  Row<M>("decoders", OptIgnored, none, "show available decoders"),
  Row<M>("encoders", OptIgnored, none, "show available encoders"),
  Row<M>("bsfs", OptIgnored, none, "show available bit stream filters"),
  Row<M>("protocols", OptIgnored, none, "show available protocols"),
  Row<M>("filters", OptIgnored, none, "show available filters"),
  Row<M>("pix_fmts", OptIgnored, none, "show available pixel formats"),
  Row<M>("layouts", OptIgnored, none, "show standard channel layouts"),
  Row<M>("sample_fmts", OptIgnored, none, "show available audio sample formats"),
  Row<A>("loglevel", OptLogLevel, "loglevel", "set libav* logging level"),
  Row<A>("v", OptLogLevel, "loglevel", "set libav* logging level"),
  Row<0>("report", OptUnsupported, none, "generate a report"),
  Row<A>("max_alloc", OptMaxAlloc, "bytes", "set maximum size of a single allocated block"),
  Row<A>("cpuflags", OptCpuFlags, "flags", "force specific cpu flags"),
  Row<A|S|O>("f", &Ctx::Format, "fmt", "force format"),
  Row<B>("y", &Task::FileOverwrite, none, "overwrite output files"),
  Row<B>("n", &Task::NoFileOverwrite, none, "do not overwrite output files"),
  Row<A|S|Z>("c", &Ctx::CodecNames, "codec", "codec name"),
  Row<A|S|Z>("codec", &Ctx::CodecNames, "codec", "codec name"),
  // Takes its value, so that "-pre x" is reported as unsupported, not "x" as stray.
  Row<A|M>("pre", OptUnsupported, "preset", "preset name"),
  Row<A|X|P>("map", OptMap, "[-]input_file_id[:stream_specifier][,sync_file_id[:stream_specifier]]", "set input stream mapping"),
  Row<A|X|P>("map_channel", OptMapChannel, "file.stream.channel[:syncfile.syncstream]", "map an audio channel from one stream to another"),
  Row<A|S|Z>("map_metadata", &Ctx::MetadataMap, "outfile[,metadata]:infile[,metadata]", "set metadata information of outfile from infile"),
  Row<A|X|I|O>("map_chapters", &Ctx::ChaptersInputFile, "input_file_index", "set chapters mapping"),
  Row<A|O|T>("t", &Ctx::RecordingTime, "duration", "record or transcode \"duration\" seconds of audio/video"),
  Row<A|L|O>("t_microsecond", &Ctx::RecordingTime, "duration", "record or transcode \"duration\" seconds of audio/video"),
  Row<A|O|T>("to", &Ctx::StopTime, "time_stop", "record or transcode stop time"),
  Row<A|L|O>("to_microsecond", &Ctx::StopTime, "time_stop", "record or transcode stop time"),
  Row<A|L|O>("fs", &Ctx::LimitFileSize, "limit_size", "set the limit file size in bytes"),
  Row<A|O|T>("ss", &Ctx::StartTime, "time_off", "set the start time offset"),
  Row<A|L|O>("ss_microsecond", &Ctx::StartTime, "time_off", "set the start time offset"),
  Row<A|X|O|T>("itsoffset", &Ctx::InputTsOffset, "time_off", "set the input ts offset"),
  Row<A|X|L|O>("itsoffset_microsecond", &Ctx::InputTsOffset, "time_off", "set the input ts offset"),
  Row<A|X|Z|D>("itsscale", &Ctx::TsScale, "scale", "set the input ts scale"),
  Row<A|P>("timestamp", OptRecordingTimestamp, "time", "set the recording timestamp (\"now\" to set the current time)"),
  Row<A|S|Z>("metadata", &Ctx::Metadata, "string=string", "add metadata"),
  Row<A|X|P>("dframes", OptDataFrames, "number", "set the number of data frames to record"),
  Row<M>("benchmark", OptUnsupported, none, "add timings for benchmarking"),
  Row<M>("benchmark_all", OptUnsupported, none, "add timings for each task"),
  Row<A|X>("progress", OptProgress, "url", "write program-readable progress information"),
  Row<M>("stdin", OptUnsupported, none, "enable or disable interaction on standard input"),
  Row<M>("timelimit", OptUnsupported, "limit", "set max runtime in seconds"),
  Row<B|X>("dump", &Task::DoPktDump, none, "dump each input packet"),
  Row<B|X>("hex", &Task::DoHexDump, none, "when dumping packets, also dump the payload"),
  Row<B|X|O>("re", &Ctx::RateEmu, none, "read input at native frame rate"),
  Row<A|P>("target", OptTarget, "type", "specify target file type (\"vcd\", \"svcd\", \"dvd\", \"dv\", \"dv50\", \"pal-vcd\", \"ntsc-svcd\", ...)"),
  Row<A|X>("vsync", OptVsync, none, "video sync method"),
  Row<A|X|I>("async", &Task::AudioSyncMethod, none, "audio sync method"),
  Row<A|X|F>("adrift_threshold", &Task::AudioDriftThreshold, "threshold", "audio drift threshold"),
  Row<B|X>("copyts", &Task::CopyTs, none, "copy timestamps"),
  Row<A|X|I>("copytb", &Task::CopyTb, "mode", "copy input stream time base when stream copying"),
  Row<B|X|O>("shortest", &Ctx::Shortest, none, "finish encoding within shortest input"),
  Row<A|X|F>("dts_delta_threshold", &Task::DtsDeltaThreshold, "threshold", "timestamp discontinuity delta threshold"),
  Row<A|X|F>("dts_error_threshold", &Task::DtsErrorThreshold, "threshold", "timestamp error delta threshold"),
  Row<B|X>("xerror", &Task::ExitOnError, "error", "exit on error"),
  Row<B|X|Z>("copyinkf", &Ctx::CopyInitialNonKeyframes, none, "copy initial non-keyframes"),
  Row<A|X|I|Z>("copypriorss", &Ctx::CopyPriorStart, none, "copy or discard frames before start time"),
  Row<A|L|Z>("frames", &Ctx::MaxFrames, "number", "set the number of frames to record"),
  Row<A|X|S|Z>("tag", &Ctx::CodecTags, "fourcc/tag", "force codec tag/fourcc"),
  Row<A|X|Z|D>("q", &Ctx::QScale, "q", "use fixed quality scale (VBR)"),
  Row<A|X|P>("qscale", OptQScale, "q", "use fixed quality scale (VBR)"),
  Row<A|X|P>("profile", OptProfile, "profile", "set profile"),
  Row<A|S|Z>("filter", &Ctx::Filters, "filter_graph", "set stream filtergraph"),
  Row<A|I|Z>("reinit_filter", &Ctx::ReinitFilters, none, "reinit filtergraph on input parameter changes"),
  Row<A|X>("filter_complex", OptFilterComplex, "graph_description", "create a complex filtergraph"),
  Row<B>("stats", &Task::PrintStats, none, "print progress report during encoding"),
  Row<A|X|P>("attach", OptAttach, "filename", "add an attachment to the output file"),
  Row<A|X|S|Z>("dump_attachment", &Ctx::DumpAttachment, "filename", "extract an attachment into a file"),
  Row<A|v|P>("vframes", OptVideoFrames, "number", "set the number of video frames to record"),
  Row<A|S|v|Z>("r", &Ctx::FrameRates, "rate", "set frame rate (Hz value, fraction or abbreviation)"),
  Row<A|S|v|s|Z>("s", &Ctx::FrameSizes, "size", "set frame size (WxH or abbreviation)"),
  Row<A|S|v|Z>("aspect", &Ctx::FrameAspectRatios, "aspect", "set aspect ratio (4:3, 16:9 or 1.3333, 1.7777)"),
  Row<A|X|S|v|Z>("pix_fmt", &Ctx::FramePixFmts, "format", "set pixel format"),
  Row<A|v|I>("bits_per_raw_sample", &Task::FrameBitsPerRawSample, "number", "set the number of bits per raw sample"),
  Row<B|X|v>("intra", &Task::IntraOnly, none, "deprecated use -g 1"),
  Row<B|v|O>("vn", &Ctx::VideoDisable, none, "disable video"),
  Row<A|X|v|I>("vdt", &Task::VideoDiscard, "n", "discard threshold"),
  Row<A|X|S|v|Z>("rc_override", &Ctx::RcOverrides, "override", "rate control override for specific intervals"),
  Row<A|v|P>("vcodec", OptVideoCodec, "codec", "force video codec (\"copy\" to copy stream)"),
  Row<X|v>("sameq", OptSameQ, none, "Removed"),
  Row<X|v>("same_quant", OptSameQ, none, "Removed"),
  Row<A|v|P>("timecode", OptTimecode, "hh:mm:ss[:;.]ff", "set initial TimeCode value."),
  Row<A|v|I|Z>("pass", &Ctx::Passes, "n", "select the pass number (1 to 3)"),
  Row<A|X|S|v|Z>("passlogfile", &Ctx::PassLogFiles, "prefix", "select two pass log file name prefix"),
  Row<X|v>("deinterlace", OptDeinterlace, none, "this option is deprecated, use the yadif filter instead"),
  Row<B|X|v>("psnr", &Task::DoPsnr, none, "calculate PSNR of compressed frames"),
  Row<X|v>("vstats", OptVStats, none, "dump video coding statistics to file"),
  Row<A|X|v>("vstats_file", OptVStatsFile, "file", "dump video coding statistics to file"),
  Row<A|v|P>("vf", OptVideoFilters, "filter_graph", "set video filters"),
  Row<A|X|S|v|Z>("intra_matrix", &Ctx::IntraMatrices, "matrix", "specify intra matrix coeffs"),
  Row<A|X|S|v|Z>("inter_matrix", &Ctx::InterMatrices, "matrix", "specify inter matrix coeffs"),
  Row<A|X|v|I|Z>("top", &Ctx::TopFieldFirst, none, "top=1/bottom=0/auto=-1 field first"),
  Row<A|X|v|I>("dc", &Task::IntraDcPrecision, "precision", "intra_dc_precision"),
  Row<A|X|v|P>("vtag", OptOldToNew, "fourcc/tag", "force video tag/fourcc"),
  Row<B|X|v>("qphist", &Task::QpHist, none, "show QP histogram"),
  Row<B|X|v|Z>("force_fps", &Ctx::ForceFps, none, "force the selected framerate, disable the best supported framerate selection"),
  Row<A|X|v|P>("streamid", OptStreamId, "streamIndex:value", "set the value of an outfile streamid"),
  Row<A|X|S|v|Z>("force_key_frames", &Ctx::ForcedKeyFrames, "timestamps", "force key frames at specified timestamps"),
  Row<A|v|P>("b", OptBitrate, "bitrate", "video bitrate (please use -b:v)"),
  Row<A|a|P>("aframes", OptAudioFrames, "number", "set the number of audio frames to record"),
  Row<A|a|P>("aq", OptAudioQuality, "quality", "set audio quality (codec-specific)"),
  Row<A|a|I|Z>("ar", &Ctx::AudioSampleRates, "rate", "set audio sampling rate (in Hz)"),
  Row<A|a|I|Z>("ac", &Ctx::AudioChannels, "channels", "set number of audio channels"),
  Row<B|a|O>("an", &Ctx::AudioDisable, none, "disable audio"),
  Row<A|a|P>("acodec", OptAudioCodec, "codec", "force audio codec (\"copy\" to copy stream)"),
  Row<A|X|a|P>("atag", OptOldToNew, "fourcc/tag", "force audio tag/fourcc"),
  Row<A|a|I>("vol", &Task::AudioVolume, "volume", "change audio volume (256=normal)"),
  Row<A|X|S|a|Z>("sample_fmt", &Ctx::SampleFmts, "format", "set sample format"),
  Row<A|X|a|P>("channel_layout", OptChannelLayout, "layout", "set channel layout"),
  Row<A|a|P>("af", OptAudioFilters, "filter_graph", "set audio filters"),
  Row<A|X|a|I|Z>("guess_layout_max", &Ctx::GuessLayoutMax, none, "set the maximum number of channels to try to guess the channel layout"),
  Row<B|s|O>("sn", &Ctx::SubtitleDisable, none, "disable subtitle"),
  Row<A|s|P>("scodec", OptSubtitleCodec, "codec", "force subtitle codec (\"copy\" to copy stream)"),
  Row<A|X|s|P>("stag", OptOldToNew, "fourcc/tag", "force subtitle tag/fourcc"),
  Row<B|X|s|Z>("fix_sub_duration", &Ctx::FixSubDuration, none, "fix subtitles duration"),
  Row<A|X|v>("vc", OptVideoChannel, "channel", "deprecated, use -channel"),
  Row<A|X|v>("tvstd", OptVideoStandard, "standard", "deprecated, use -standard"),
  Row<B|X>("isync", &Task::InputSync, none, "this option is deprecated and does nothing"),
  Row<A|X|F|O>("muxdelay", &Ctx::MuxMaxDelay, "seconds", "set the maximum demux-decode delay"),
  Row<A|X|F|O>("muxpreload", &Ctx::MuxPreload, "seconds", "set the initial demux-decode delay"),
  Row<A|X|S|Z>("bsf", &Ctx::BitstreamFilters, "bitstream_filters", "A comma-separated list of bitstream filters"),
  Row<A|X|a|P>("absf", OptOldToNew, "audio bitstream_filters", "deprecated"),
  Row<A|X|v|P>("vbsf", OptOldToNew, "video bitstream_filters", "deprecated"),
  Row<A|X|a|P>("apre", OptPreset, "preset", "set the audio options to the indicated preset"),
  Row<A|X|v|P>("vpre", OptPreset, "preset", "set the video options to the indicated preset"),
  Row<A|X|s|P>("spre", OptPreset, "preset", "set the subtitle options to the indicated preset"),
  Row<A|X|P>("fpre", OptPreset, "filename", "set options from indicated preset file"),
  Row<A|X|d|P>("dcodec", OptDataCodec, "codec", "force data codec (\"copy\" to copy stream)"),
  Row<B|v|O>("dn", &Ctx::DataDisable, none, "disable data"),
  Row<A|X|v>("vhook", CallOptVHook, "module", "insert video processing module"),
  Row<A|X|v>("VideoHookBitsPixel", CallOptVideoHookBitsPixel, "bpp", "VideoHookBitsPixel"),
  Row<A|X|P>("TimeStart", OptTimeStart, none, "TimeStart"),
  Row<A|X|P>("timestart", OptTimeStart, none, "timestart"),
  Row<A|X|P>("TimeLength", OptTimeLength, none, "TimeLength"),
  Row<A|X|P>("timelength", OptTimeLength, none, "timelength"),
  Row<M>("AudioInputHook", OptHookSwitch, none, "AudioInputHook"),
  Row<M>("AudioOutputHook", OptHookSwitch, none, "AudioOutputHook"),
  Row<M>("VideoInputHook", OptHookSwitch, none, "VideoInputHook"),
  Row<M>("VideoOutputHook", OptHookSwitch, none, "VideoOutputHook"),
  Row<M>("FrameInputHook", OptHookSwitch, none, "FrameInputHook"),
  Row<M>("FrameOutputHook", OptHookSwitch, none, "FrameOutputHook"),
  Row<M>("Join", OptHookSwitch, none, "Join"),
};
// clang-format on
static_assert(std::size(kRows) == 149);

} // namespace

TOptionTable EngineOptionTable() {
  return kRows;
}

const TOptionDef* FindOption(TOptionTable ATable, const char* AName) {
  if (!AName) return nullptr;
  const char* colon = std::strchr(AName, ':');
  const size_t length = colon ? static_cast<size_t>(colon - AName) : std::strlen(AName);
  for (const TOptionDef& row : ATable)
    if (std::strlen(row.Name) == length && std::strncmp(row.Name, AName, length) == 0) return &row;
  return nullptr;
}

// ---- The per-file options record ------------------------------------------------

void TTaskOptions::InitOptionTable() {
  if (FOptionTable.empty()) FOptionTable = EngineOptionTable();
}

void TTaskOptions::InitOptionsContext(TOptionsContext& AOptions) {
  AOptions = TOptionsContext{};
  FOptions->ResetGroups();
  AOptions.Group = &FOptions->FileGroup;
}

void TTaskOptions::FreeOptionsContext(TOptionsContext& AOptions) {
  // The table knows every list and text field the options fill.
  for (const TOptionDef& row : EngineOptionTable())
    std::visit(
        [&AOptions](auto target) {
          using TTarget = decltype(target);
          if constexpr (std::is_same_v<typename TMemberOf<TTarget>::Class, TOptionsContext>) {
            auto& field = AOptions.*target;
            using TField = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<TField, std::optional<std::string>>)
              field.reset();
            else if constexpr (requires { field.clear(); })
              TField().swap(field);
          }
        },
        row.Target);
  std::vector<TStreamMap>().swap(AOptions.StreamMaps);
  std::vector<TAudioChannelMap>().swap(AOptions.AudioChannelMaps);
  std::vector<int>().swap(AOptions.StreamIdMap);
  std::vector<std::string>().swap(AOptions.Attachments);
  FOptions->FreeGroups();
}
