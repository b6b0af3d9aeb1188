// The per-file options record: what the options of one input or output
// string set, read afterwards by the routines that open the file and run
// its streams.
#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TOptionGroup;

// One per-stream value with its stream specifier (the text after the option
// name's first ":", empty for every stream); the last matching entry wins.
template <class T> struct TSpecifierOpt {
  std::string Specifier;
  T Value{};
};
template <class T> using TSpecifierOptList = std::vector<TSpecifierOpt<T>>;

// One result of "-map".
struct TStreamMap {
  int Disabled = 0;
  int FileIndex = 0;
  int StreamIndex = 0;
  int SyncFileIndex = 0;
  int SyncStreamIndex = 0;
  std::string LinkLabel; // an output label of a complex filter graph
};

// One "-map_channel"; -1 where not given.
struct TAudioChannelMap {
  int FileIndex = -1;
  int StreamIndex = -1;
  int ChannelIndex = -1;
  int OutFileIndex = -1;
  int OutStreamIndex = -1;
};

// Times are microseconds. The comment after a field names the options that fill it.
struct TOptionsContext {
  TOptionGroup* Group = nullptr;                  // the file group of the task's option holder
  int64_t StartTime = 0;                          // ss, ss_microsecond, TimeStart
  std::optional<std::string> Format;              // f
  TSpecifierOptList<std::string> CodecNames;      // c, codec (vcodec, acodec, scodec, dcodec)
  TSpecifierOptList<int> AudioChannels;           // ac
  TSpecifierOptList<int> AudioSampleRates;        // ar
  TSpecifierOptList<std::string> FrameRates;      // r
  TSpecifierOptList<std::string> FrameSizes;      // s
  TSpecifierOptList<std::string> FramePixFmts;    // pix_fmt
  int64_t InputTsOffset = 0;                      // itsoffset, itsoffset_microsecond
  int RateEmu = 0;                                // re
  TSpecifierOptList<double> TsScale;              // itsscale
  TSpecifierOptList<std::string> DumpAttachment;  // dump_attachment
  std::vector<TStreamMap> StreamMaps;             // map
  std::vector<TAudioChannelMap> AudioChannelMaps; // map_channel
  int MetadataGlobalManual = 0;                   // set by metadata mapping
  int MetadataStreamsManual = 0;
  int MetadataChaptersManual = 0;
  std::vector<std::string> Attachments;             // attach
  int ChaptersInputFile = INT_MAX;                  // map_chapters
  int64_t RecordingTime = INT64_MAX;                // t, t_microsecond, TimeLength
  int64_t StopTime = INT64_MAX;                     // to, to_microsecond
  int64_t LimitFileSize = INT64_MAX;                // fs (bytes)
  float MuxPreload = 0;                             // muxpreload (seconds)
  float MuxMaxDelay = 0.7f;                         // muxdelay (seconds)
  int Shortest = 0;                                 // shortest
  int VideoDisable = 0;                             // vn
  int AudioDisable = 0;                             // an
  int SubtitleDisable = 0;                          // sn
  int DataDisable = 0;                              // dn
  std::vector<int> StreamIdMap;                     // streamid
  TSpecifierOptList<std::string> Metadata;          // metadata, timecode, timestamp
  TSpecifierOptList<int64_t> MaxFrames;             // frames, vframes, aframes, dframes
  TSpecifierOptList<std::string> BitstreamFilters;  // bsf, absf, vbsf
  TSpecifierOptList<std::string> CodecTags;         // tag, vtag, atag, stag
  TSpecifierOptList<std::string> SampleFmts;        // sample_fmt
  TSpecifierOptList<double> QScale;                 // q, qscale, aq
  TSpecifierOptList<std::string> ForcedKeyFrames;   // force_key_frames
  TSpecifierOptList<int> ForceFps;                  // force_fps
  TSpecifierOptList<std::string> FrameAspectRatios; // aspect
  TSpecifierOptList<std::string> RcOverrides;       // rc_override
  TSpecifierOptList<std::string> IntraMatrices;     // intra_matrix
  TSpecifierOptList<std::string> InterMatrices;     // inter_matrix
  TSpecifierOptList<int> TopFieldFirst;             // top
  TSpecifierOptList<std::string> MetadataMap;       // map_metadata
  TSpecifierOptList<int> CopyInitialNonKeyframes;   // copyinkf
  TSpecifierOptList<int> CopyPriorStart;            // copypriorss
  TSpecifierOptList<std::string> Filters;           // filter, vf, af
  TSpecifierOptList<int> ReinitFilters;             // reinit_filter
  TSpecifierOptList<int> FixSubDuration;            // fix_sub_duration
  TSpecifierOptList<int> Passes;                    // pass
  TSpecifierOptList<std::string> PassLogFiles;      // passlogfile
  TSpecifierOptList<int> GuessLayoutMax;            // guess_layout_max
};
