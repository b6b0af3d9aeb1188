// The task's progress report: the record behind OnProgress, the status line
// of the log and the key=value lines of a "-progress" target, once per
// progress interval and once more at the end with the output's size
// summary. Runs in the task's thread.
#include "FFLog.h"
#include "FFText.h"
#include "FFmpeg.h"
#include "LibAV.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// printf into a growing text.
template <class... TArgs> void Append(std::string& AText, const char* AFormat, TArgs... AArgs) {
  AText += FormatText(AFormat, AArgs...);
}

} // namespace

void TCustomFFmpeg::PrintReport(bool ALast, int64_t ATimerStart, int64_t ANow) {
  const bool callback = HasProgressHandler();
  if (!PrintStats && !ALast && !ProgressOutput && !callback) return;
  if (!ALast) {
    // The first call only starts the clock.
    if (FLastReportTime == -1) {
      FLastReportTime = ANow;
      return;
    }
    if (ANow - FLastReportTime < ProgressInterval) return;
    FLastReportTime = ANow;
  }
  if (OutputFiles.empty()) return;

  int64_t totalSize = -1;
  if (AVIOContext* pb = OutputFiles[0]->Context ? OutputFiles[0]->Context->pb : nullptr) {
    totalSize = AV.avio_size(pb);
    if (totalSize <= 0) totalSize = AV.avio_seek(pb, 0, SEEK_CUR);
  }

  // A join reports on one part: the one being written, or the last.
  const int joinIndex = ALast ? -1 : PartIndex;
  int first = 0, last = static_cast<int>(OutputStreams.size()) - 1;
  if (JoinMode && JoinedStreamCount > 0) {
    const int part = joinIndex < 0 ? InputCount() - 1 : joinIndex;
    first = part * JoinedStreamCount;
    last = std::min(last, first + JoinedStreamCount - 1);
  }

  std::string text, script;
  bool counted = false;
  int frameNumber = -1, fps = -1;
  float quality = -1.0f;
  int64_t reportTime = INT64_MIN, lastStreamTime = 0;
  bool anyTime = false;
  for (int i = first; i <= last; ++i) {
    TOutputStream& ost = *OutputStreams[static_cast<size_t>(i)];
    AVCodecContext* enc = ost.EncoderContext.get();
    quality = ost.StreamCopy || !enc || ost.Quality < 0
                  ? -1.0f
                  : static_cast<float>(ost.Quality) / FF_QP2LAMBDA;
    const bool video = ost.Stream && ost.Stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (counted && video) {
      Append(text, "q=%2.1f ", quality);
      Append(script, "stream_%d_%d_q=%.1f\n", ost.FileIndex, ost.Index, quality);
    }
    if (!counted && video) {
      if (ost.FrameNumber < 1) continue;
      const double seconds = (ANow - ATimerStart) / 1000000.0;
      const double shown = seconds > 1 ? ost.FrameNumber / seconds : 0;
      Append(text, "frame=%5d fps=%3.*f q=%3.1f ", ost.FrameNumber, shown < 9.95, shown, quality);
      Append(script, "frame=%d\n", ost.FrameNumber);
      Append(script, "fps=%.1f\n", shown);
      Append(script, "stream_%d_%d_q=%.1f\n", ost.FileIndex, ost.Index, quality);
      if (ALast) text += "L";
      if (QpHist) {
        const long slot = std::lround(quality);
        if (slot >= 0 && slot < 52) ++FQpHistogram[slot];
        for (int j = 0; j < 32; ++j)
          Append(text, "%X", static_cast<int>(std::lround(std::log2(FQpHistogram[j] + 1))));
      }
      if (enc && (enc->flags & AV_CODEC_FLAG_PSNR) && (ost.PlaneErrors[0] >= 0 || ALast)) {
        static const char kPlanes[] = "YUV";
        double errorSum = 0, scaleSum = 0;
        text += "PSNR=";
        for (int p = 0; p < 3; ++p) {
          const double error =
              static_cast<double>(ALast ? enc->error[p] : std::max<int64_t>(ost.PlaneErrors[p], 0));
          double scale = static_cast<double>(enc->width) * enc->height * 255.0 * 255.0;
          if (ALast) scale *= ost.FrameNumber;
          if (p) scale /= 4;
          errorSum += error;
          scaleSum += scale;
          const double psnr = error > 0 ? -10.0 * std::log10(error / scale) : 0;
          Append(text, "%c:%2.2f ", kPlanes[p], psnr);
          Append(script, "stream_%d_%d_psnr_%c=%2.2f\n", ost.FileIndex, ost.Index, kPlanes[p] + 32,
                 psnr);
        }
        const double all = errorSum > 0 ? -10.0 * std::log10(errorSum / scaleSum) : 0;
        Append(text, "*:%2.2f ", all);
        Append(script, "stream_%d_%d_psnr_all=%2.2f\n", ost.FileIndex, ost.Index, all);
      }
      counted = true;
      frameNumber = ost.FrameNumber;
      fps = static_cast<int>(std::lround(shown));
    }
    // The stream's time: the end of what was written of it.
    lastStreamTime = 0;
    if (!ost.Stream || ost.LastMuxPts == AV_NOPTS_VALUE) continue;
    const int64_t time = AV.av_rescale_q(ost.LastMuxPts, ost.Stream->time_base, AV_TIME_BASE_Q);
    lastStreamTime = time;
    if (!ALast && ost.Finished) continue;
    if (!anyTime || time > reportTime) reportTime = time;
    anyTime = true;
  }
  // Before any stream was written the report has no time: 0.
  if (!anyTime) reportTime = 0;

  const int64_t absolute = reportTime < 0 ? -reportTime : reportTime;
  const int hours = static_cast<int>(absolute / 3600000000LL);
  const int minutes = static_cast<int>(absolute / 60000000LL % 60);
  const int seconds = static_cast<int>(absolute / 1000000 % 60);
  const int millis = static_cast<int>(absolute % 1000000 * 1000 / 1000000);
  const double bitRate =
      reportTime > 0 && totalSize >= 0 ? totalSize * 8 / (reportTime / 1000.0) : -1.0;

  if (totalSize < 0)
    text += "size=N/A time=";
  else
    Append(text, "size=%8.0fkB time=", totalSize / 1024.0);
  Append(text, "%s%02d:%02d:%02d.%03d ", reportTime < 0 ? "-" : "", hours, minutes, seconds,
         millis);
  if (bitRate < 0)
    text += "bitrate=N/A";
  else
    Append(text, "bitrate=%6.1fkbits/s", bitRate);
  if (totalSize < 0)
    script += "total_size=N/A\n";
  else
    Append(script, "total_size=%lld\n", static_cast<long long>(totalSize));
  Append(script, "out_time_ms=%lld\n", static_cast<long long>(reportTime));
  Append(script, "out_time=%s%02d:%02d:%02d.%06d\n", reportTime < 0 ? "-" : "", hours, minutes,
         seconds, static_cast<int>(absolute % 1000000));

  if (DupFrames || DropFrames) {
    Append(text, " dup=%lld drop=%lld", static_cast<long long>(DupFrames),
           static_cast<long long>(DropFrames));
    // The handler replaces the status line, but duplicates and drops still
    // reach the log.
    if (DupOrDropHappened && callback && !ALast) {
      DupOrDropHappened = false;
      FFLogger().Log(this, TLogLevel::llInfo, text);
    }
  }
  Append(script, "dup_frames=%lld\n", static_cast<long long>(DupFrames));
  Append(script, "drop_frames=%lld\n", static_cast<long long>(DropFrames));

  if (callback) {
    TProgressInfo info;
    info.JoinIndex = joinIndex;
    info.FrameNumber = frameNumber;
    info.FPS = fps;
    info.Quality = quality;
    info.BitRate = static_cast<float>(bitRate);
    info.TotalSize = totalSize < 0 ? 0 : totalSize;
    info.CurrentTime = lastStreamTime;
    info.TotalDuration = TotalDuration;
    CallGuarded("Progress", [&] { OnProgress(this, info); });
  }
  if ((PrintStats && !callback) || ALast) FFLogger().Log(this, TLogLevel::llInfo, text);

  if (ProgressOutput) {
    Append(script, "progress=%s\n", ALast ? "end" : "continue");
    StartWriteTimer();
    AV.avio_write(ProgressOutput.get(), reinterpret_cast<const unsigned char*>(script.data()),
                  static_cast<int>(script.size()));
    AV.avio_flush(ProgressOutput.get());
    StopWriteTimer();
    if (ALast) ProgressOutput.reset();
  }

  if (ALast) {
    const int64_t raw = VideoSize + AudioSize + SubtitleSize + ExtraSize;
    const int64_t size = totalSize < 0 ? 0 : totalSize;
    if (raw > 0)
      FFLogger().LogFmt(this, TLogLevel::llInfo,
                        "video:%1.0fkB audio:%1.0fkB subtitle:%1.0f global headers:%1.0fkB "
                        "muxing overhead %f%%",
                        VideoSize / 1024.0, AudioSize / 1024.0, SubtitleSize / 1024.0,
                        ExtraSize / 1024.0, (size - raw) * 100.0 / raw);
    else
      FFLogger().LogFmt(this, TLogLevel::llInfo,
                        "video:%1.0fkB audio:%1.0fkB subtitle:%1.0f global headers:%1.0fkB "
                        "muxing overhead unknown",
                        VideoSize / 1024.0, AudioSize / 1024.0, SubtitleSize / 1024.0,
                        ExtraSize / 1024.0);
    if (raw == 0)
      FFLogger().Log(this, TLogLevel::llWarning,
                     "Output file is empty, nothing was encoded (check -ss / -t / -frames "
                     "parameters if used)");
  }
}
