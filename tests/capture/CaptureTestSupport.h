// What the capture suites share: the loaded libraries and the registered
// device, the program's X server, a collector of the libraries' log lines,
// an opened "gdicapture" input, and counts of the process's resources.
#pragma once

#include "LibAV.h"
#include "PacketQueue.h"
#include "XvfbServer.h"

class TGdiCaptureDevice;

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Loads the libraries, registers the device and starts the program's X server
// (with the test's ALSA configuration in place).
class TCaptureTest : public ::testing::Test {
protected:
  void SetUp() override;
  TXvfbServer* FXvfb = nullptr;
};

struct TLogLine {
  int Level;
  std::string Text;
};

// Collects every line the libraries log while it lives (one at a time).
class TLogCapture {
public:
  TLogCapture();
  ~TLogCapture();
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

  std::vector<TLogLine> Lines() const;
  // Lines that contain AText.
  int Count(const std::string& AText) const;
  bool Contains(const std::string& AText) const { return Count(AText) > 0; }
  // The first line that contains AText, or empty.
  std::string Find(const std::string& AText) const;
  // Waits up to ATimeout for a line with AText.
  bool WaitFor(const std::string& AText, std::chrono::milliseconds ATimeout) const;
  // Everything, one line a row, for failure messages.
  std::string Text() const;
};

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// A "gdicapture" input opened through avformat_open_input.
class TCaptureInput {
public:
  TCaptureInput() = default;
  ~TCaptureInput() { Close(); }
  TCaptureInput(const TCaptureInput&) = delete;
  TCaptureInput& operator=(const TCaptureInput&) = delete;

  // AFlags are added to the format context's flags before it opens.
  int Open(const std::string& AName, const TOptionList& AOptions, int AFlags = 0);
  void Close();
  AVFormatContext* Get() const { return FContext; }
  AVStream* Stream(int AIndex) const { return FContext->streams[AIndex]; }

  // The device's read_packet itself, result as it answers.
  int ReadPacket(AVPacket* APacket);
  // Reads until a packet of AStreamIndex arrives (others are dropped), for
  // up to ATimeout; false when none came.
  bool NextPacket(int AStreamIndex, TPacketPtr& APacket,
                  std::chrono::milliseconds ATimeout = std::chrono::seconds(5));
  // Drops every packet queued now (non-blocking reads until EAGAIN); answers
  // their bytes.
  int64_t Drain();
  // The bytes and the video frames the device's queue holds at this instant.
  int64_t QueuedBytes() const;
  int QueuedFrames() const;
  // What read_header opened; null before and after.
  TGdiCaptureDevice* Device() const;

private:
  AVFormatContext* FContext = nullptr;
};

TPacketPtr NewPacket();

// Resources of this process that a device could leak.
struct TResourceCounts {
  int Threads = 0;
  int FileDescriptors = 0;
  int SharedMemorySegments = 0; // System V segments this process created that still exist
  bool operator==(const TResourceCounts&) const = default;
};
TResourceCounts CountResources();
std::ostream& operator<<(std::ostream& AStream, const TResourceCounts& ACounts);

// Whether AAddress lies in a System V shared-memory segment mapped into
// this process.
bool IsInSharedMemory(const void* AAddress);

// Sleeps the calling thread.
void SleepFor(std::chrono::milliseconds ATime);
