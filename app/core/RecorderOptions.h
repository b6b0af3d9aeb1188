// The recorder's option strings: what one recording asks of the capture
// device (input) and of the container and its encoders (output), built from
// the main window's controls and the settings file; the output file name and
// the watermark's filter graph.
#pragma once

#include "IniFile.h"

#include <stdexcept>
#include <string>
#include <vector>

struct TContainer {
  const char* Item;      // the item of the format list
  const char* Extension; // with its dot
  const char* Section;   // its own section of the settings file
  std::vector<const char*> SampleRates;
};
// In the order of the format list.
const std::vector<TContainer>& Containers();
// The container of the format list's item AIndex; the first for an index out of range.
const TContainer& ContainerAt(int AIndex);

// What the recording takes from the window's controls.
struct TRecorderControls {
  std::string Left = "10", Top = "10", Width = "800", Height = "600";
  int FormatIndex = 0;
  bool Audio = false;
  std::string SampleRate = "44100"; // the sample-rate list's text
  bool Stereo = true;
  int QualityIndex = 6;
  std::string FrameRate = "15"; // the frame-rate list's text
};

// A text that is not an integer where the recorder needs one.
class EConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The size text made even (801 gives "800"); raises EConvertError for a text
// that is not an integer.
std::string EvenSize(const std::string& AText);

// The frame-rate list's items; the one shown when no rate is stored is "15".
const std::vector<const char*>& FrameRates();
int DefaultFrameRateIndex();
// The frame-rate item to show for the container of ASection: the rate
// stored for it, else the last one chosen, else the default.
int StoredFrameRateIndex(const TIniFile& AIni, const char* ASection);

// The capture device's input option string.
std::string BuildInputOptions(const TRecorderControls& AControls, const TIniFile& AIni);
// The output option string; AProcessors is the processor count.
std::string BuildOutputOptions(const TRecorderControls& AControls, const TIniFile& AIni,
                               int AProcessors);
// The input name: the whole screen, with the default sound device when AAudio.
std::string InputName(bool AAudio);

// The watermark's filter graph for grid position 1..9 from the picture path
// of the settings; empty when no picture is at that path.
std::string BuildWatermarkFilter(const TIniFile& AIni, int APosition);
// The overlay's part of the graph for grid position 1..9 (1 for others).
std::string WatermarkOverlay(int APosition);
// APath as a filter's option value inside a filter graph inside a quoted
// command-line argument: every character any of the three would take for
// syntax is escaped, so that any file name reaches the filter unchanged.
std::string EscapeFilterPath(const std::string& APath);

// The processor count the system reports (at least 1).
int GetProcessorCount();
