// The recorder's option strings (see RecorderOptions.h).
#include "RecorderOptions.h"

#include <algorithm>
#include <sys/stat.h>
#include <thread>

const std::vector<TContainer>& Containers() {
  static const std::vector<TContainer> containers = {
      {"mp4", ".mp4", "mp4settings", {"44100", "32000", "22050"}},
      {"swf", ".swf", "swfsettings", {"44100", "22050", "11025"}},
      {"flv", ".flv", "flvsettings", {"44100", "22050", "11025"}},
      {"wmv", ".wmv", "wmvsettings", {"44100"}},
      {"mkv", ".mkv", "mkvsettings", {"44100", "32000"}},
      {"avi", ".avi", "avisettings", {"44100", "32000", "22050", "11025", "8000"}},
      {"webm", ".webm", "webmsettings", {"44100", "32000"}},
  };
  return containers;
}

const TContainer& ContainerAt(int AIndex) {
  const auto& all = Containers();
  return AIndex >= 0 && AIndex < static_cast<int>(all.size()) ? all[AIndex] : all[0];
}

const std::vector<const char*>& FrameRates() {
  static const std::vector<const char*> rates = {"8",     "10", "12", "15",    "16", "20",
                                                 "23.97", "24", "25", "29.97", "30", "Auto"};
  return rates;
}

int DefaultFrameRateIndex() {
  // The capture device's own rate, which a fresh installation recorded at.
  const auto& rates = FrameRates();
  return static_cast<int>(
      std::find_if(rates.begin(), rates.end(),
                   [](const char* ARate) { return std::string(ARate) == "15"; }) -
      rates.begin());
}

int StoredFrameRateIndex(const TIniFile& AIni, const char* ASection) {
  const int last = AIni.ReadInteger("settings", "framerateindex", DefaultFrameRateIndex());
  const int index = AIni.ReadInteger(ASection, "framerateindex", last);
  return index >= 0 && index < static_cast<int>(FrameRates().size()) ? index
                                                                     : DefaultFrameRateIndex();
}

std::string EvenSize(const std::string& AText) {
  int value = 0;
  if (!TryStrToInt(AText, value))
    throw EConvertError("'" + AText + "' is not a valid integer value");
  return std::to_string(value / 2 * 2);
}

std::string InputName(bool AAudio) {
  return AAudio ? "video=0:audio=-1" : "video=0";
}

std::string BuildInputOptions(const TRecorderControls& AControls, const TIniFile& AIni) {
  std::string options = " -f gdicapture  -capture_offset " + AControls.Left + "," + AControls.Top;
  // The key says to leave the cursor out.
  options += AIni.ReadBool("settings", "chkMouse", false)
                 ? " -capture_flags +showframe+client-cursor "
                 : " -capture_flags +showframe+client+cursor ";
  options += " -s " + EvenSize(AControls.Width) + "x" + EvenSize(AControls.Height);
  // The rate the list shows is the rate recorded.
  options += AControls.FrameRate == "Auto" ? " -re " : " -r " + AControls.FrameRate;
  if (AControls.Audio)
    options += " -ar " + AControls.SampleRate + " -ac " + (AControls.Stereo ? "2" : "1") +
               " -sample_fmt s16 ";
  return options;
}

std::string BuildOutputOptions(const TRecorderControls& AControls, const TIniFile& AIni,
                               int AProcessors) {
  const std::string format = ContainerAt(AControls.FormatIndex).Item;
  std::string options;
  if (format == "mp4") options += std::string(" -c:v mpeg4") + " -c:a libfaac";
  options += " -s " + EvenSize(AIni.ReadString("settings", "width", "320")) + "x" +
             EvenSize(AIni.ReadString("settings", "height", "240"));
  if (format == "swf" || format == "flv")
    options += " -c:a libmp3lame";
  else if (format == "wmv")
    options += std::string(" -c:v wmv2") + " -c:a wmav2";
  else if (format == "mkv")
    options += " -pix_fmt yuv420p  -c:v libx264 ";
  else if (format == "avi")
    // The screen's 32-bit pixels have an unused fourth byte, which raw video
    // in avi cannot say: the stream takes the 24-bit form every reader knows.
    options += " -c:v rawvideo -pix_fmt bgr24";
  else if (format == "webm")
    // A screen has no transparency, and a watermark's must not reach the
    // encoder, which refuses it with its alternate reference frames.
    options += std::string(" -f webm ") + " -c:v libvpx -pix_fmt yuv420p" + " -c:a libvorbis";
  options += AIni.ReadBool("settings", "stereo", true) ? " -ac 2 " : " -ac 1 ";
  if (AControls.Audio && format == "webm")
    options +=
        " -b:a 128k -ar " + std::to_string(AIni.ReadInteger("webmsettings", "samplerate", 44100));
  if (AIni.ReadBool("settings", "chkAddWatermark", false)) {
    const std::string filter =
        BuildWatermarkFilter(AIni, AIni.ReadInteger("imageoptions", "position", 1));
    if (!filter.empty()) options += " -vf \"" + filter + "\"";
  }
  options += " -sn -b:v " + std::to_string(AIni.ReadInteger("settings", "bitrate", 768)) + "k" +
             " -qscale " + std::to_string(AControls.QualityIndex);
  if (AProcessors >= 2) options += std::string(" ") + " -threads " + std::to_string(AProcessors);
  options += "   -async 1 -vsync 1 ";
  return options;
}

std::string WatermarkOverlay(int APosition) {
  static const char* const overlays[9] = {
      "[watermark] overlay=x=5:y=5",
      "[watermark] overlay=x=main_w/2-overlay_w/2:y=5",
      "[watermark] overlay=main_w-overlay_w-5:5",
      "[watermark] overlay=5:main_h/2-overlay_h/2",
      "[watermark] overlay=main_w/2-overlay_w/2:main_h/2-overlay_h/2",
      "[watermark] overlay=main_w-overlay_w-5:main_h/2-overlay_h/2",
      "[watermark] overlay=5:main_h-overlay_h-5",
      "[watermark] overlay=main_w/2-overlay_w/2:main_h-overlay_h-5",
      "[watermark] overlay=main_w-overlay_w-5:main_h-overlay_h-5",
  };
  return overlays[APosition >= 1 && APosition <= 9 ? APosition - 1 : 0];
}

std::string EscapeFilterPath(const std::string& APath) {
  auto escape = [](const std::string& AText, const std::string& ASpecial) {
    std::string out;
    for (const char c : AText) {
      if (ASpecial.find(c) != std::string::npos) out += '\\';
      out += c;
    }
    return out;
  };
  const std::string blanks = " \t\r\n";
  // The filter's own options, then the graph around it.
  const std::string graph = escape(escape(APath, "\\':=" + blanks), "\\'[],;" + blanks);
  // The quoted command-line argument: backslashes count only before a quote.
  std::string out;
  size_t slashes = 0;
  for (const char c : graph) {
    if (c == '\\') {
      ++slashes;
      out += c;
      continue;
    }
    if (c == '"') out.append(slashes + 1, '\\');
    slashes = 0;
    out += c;
  }
  return out;
}

std::string BuildWatermarkFilter(const TIniFile& AIni, int APosition) {
  const std::string path = AIni.ReadString("imageoptions", "path", "");
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
  return "movie=" + EscapeFilterPath(path) + " [watermark]" + "; [in] " +
         WatermarkOverlay(APosition) + " [out]";
}

int GetProcessorCount() {
  const unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int>(count);
}
