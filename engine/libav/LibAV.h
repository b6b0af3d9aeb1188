// The FFmpeg entry points, bound at run time by the loader (FFLoad.h).
// Nothing in the engine or the capture device calls a libav* function
// directly: it calls AV.name(...), which the loader filled from LibAV/.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/avutil.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/eval.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
#include <libpostproc/postprocess.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// The rows of the loader's table, in load order: each library binds to the
// ones loaded before it. The C library stands where the runtime library was.
enum class TLibAVLib {
  avutil,
  swresample,
  swscale,
  avcodec,
  avformat,
  postproc,
  avfilter,
  avdevice,
  c
};
inline constexpr int kLibAVLibCount = 9;

struct TLibAVApi {
#define LIBAV_FN(lib, name) decltype(&::name) name = nullptr;
#define LIBAV_OPT_FN(lib, name) decltype(&::name) name = nullptr;
#include "LibAVFunctions.def"
#undef LIBAV_FN
#undef LIBAV_OPT_FN
};

// The program's bound entry points; all null until the libraries are loaded.
extern TLibAVApi AV;
