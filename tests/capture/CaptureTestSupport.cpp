// What the capture suites share (see CaptureTestSupport.h).
#include "CaptureTestSupport.h"

#include "AlsaTestConfig.h"
#include "CaptureDevice.h"
#include "FFLog.h"
#include "GDICapture.h"
#include "LibAVForTests.h"
#include "LibAVLog.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

void TCaptureTest::SetUp() {
  InstallAlsaTestConfig();
  LoadLibAVForTest();
  ASSERT_FALSE(HasFatalFailure());
  RegisterGdiCaptureDevice();
  std::string error;
  FXvfb = ProgramXvfb(error);
  ASSERT_NE(FXvfb, nullptr) << error;
}

namespace {

struct TLogStore {
  std::mutex Lock;
  std::vector<TLogLine> Lines;
  std::string Partial; // a line whose end has not come yet
};
TLogStore& Store() {
  static TLogStore store;
  return store;
}

void CollectLog(void*, int ALevel, const char* AFormat, va_list AArgs) {
  char text[4096];
  std::vsnprintf(text, sizeof text, AFormat, AArgs);
  TLogStore& store = Store();
  std::lock_guard lock(store.Lock);
  store.Partial += text;
  for (size_t end; (end = store.Partial.find('\n')) != std::string::npos;) {
    store.Lines.push_back({ALevel, store.Partial.substr(0, end)});
    store.Partial.erase(0, end + 1);
  }
}

} // namespace

TLogCapture::TLogCapture() {
  {
    std::lock_guard lock(Store().Lock);
    Store().Lines.clear();
    Store().Partial.clear();
  }
  AV.av_log_set_callback(CollectLog);
}

TLogCapture::~TLogCapture() {
  InstallLibAVLogCallback(); // the engine's own, as the loader installs it
}

std::vector<TLogLine> TLogCapture::Lines() const {
  std::lock_guard lock(Store().Lock);
  return Store().Lines;
}

int TLogCapture::Count(const std::string& AText) const {
  int count = 0;
  for (const TLogLine& line : Lines())
    if (line.Text.find(AText) != std::string::npos) ++count;
  return count;
}

std::string TLogCapture::Find(const std::string& AText) const {
  for (const TLogLine& line : Lines())
    if (line.Text.find(AText) != std::string::npos) return line.Text;
  return {};
}

bool TLogCapture::WaitFor(const std::string& AText, std::chrono::milliseconds ATimeout) const {
  const auto end = std::chrono::steady_clock::now() + ATimeout;
  while (!Contains(AText)) {
    if (std::chrono::steady_clock::now() > end) return false;
    SleepFor(std::chrono::milliseconds(5));
  }
  return true;
}

std::string TLogCapture::Text() const {
  std::string text;
  for (const TLogLine& line : Lines())
    text.append("[").append(std::to_string(line.Level)).append("] ").append(line.Text).append("\n");
  return text;
}

int TCaptureInput::Open(const std::string& AName, const TOptionList& AOptions, int AFlags) {
  Close();
  AVDictionary* options = nullptr;
  for (const auto& [key, value] : AOptions)
    AV.av_dict_set(&options, key.c_str(), value.c_str(), 0);
  FContext = AV.avformat_alloc_context();
  FContext->flags |= AFlags;
  const int result =
      AV.avformat_open_input(&FContext, AName.c_str(), GdiCaptureInputFormat(), &options);
  AV.av_dict_free(&options);
  return result; // a failed open freed the context and cleared FContext
}

void TCaptureInput::Close() {
  if (FContext) AV.avformat_close_input(&FContext);
}

int TCaptureInput::ReadPacket(AVPacket* APacket) {
  return FContext->iformat->read_packet(FContext, APacket);
}

bool TCaptureInput::NextPacket(int AStreamIndex, TPacketPtr& APacket,
                               std::chrono::milliseconds ATimeout) {
  const auto end = std::chrono::steady_clock::now() + ATimeout;
  APacket = NewPacket();
  while (std::chrono::steady_clock::now() < end) {
    const int result = ReadPacket(APacket.get());
    if (result == AVERROR(EAGAIN)) {
      SleepFor(std::chrono::milliseconds(2));
      continue;
    }
    if (result < 0) return false;
    if (APacket->stream_index == AStreamIndex) return true;
    AV.av_packet_unref(APacket.get());
  }
  return false;
}

int64_t TCaptureInput::Drain() {
  const int flags = FContext->flags;
  FContext->flags |= AVFMT_FLAG_NONBLOCK;
  int64_t bytes = 0;
  TPacketPtr packet = NewPacket();
  while (ReadPacket(packet.get()) >= 0) {
    bytes += packet->size;
    AV.av_packet_unref(packet.get());
  }
  FContext->flags = flags;
  return bytes;
}

int64_t TCaptureInput::QueuedBytes() const {
  const TGdiCaptureDevice* device = Device();
  return device ? device->Queue.BufferedBytes() : 0;
}

int TCaptureInput::QueuedFrames() const {
  const TGdiCaptureDevice* device = Device();
  return device ? device->Queue.FrameCount() : 0;
}

TGdiCaptureDevice* TCaptureInput::Device() const {
  return FContext ? static_cast<const TGdiCaptureContext*>(FContext->priv_data)->Device : nullptr;
}

TPacketPtr NewPacket() {
  return TPacketPtr(AV.av_packet_alloc());
}

namespace {
int CountEntries(const char* AFolder) {
  int count = 0;
  if (DIR* dir = opendir(AFolder)) {
    while (const dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
  }
  return count;
}
} // namespace

TResourceCounts CountResources() {
  TResourceCounts counts;
  counts.Threads = CountEntries("/proc/self/task");
  counts.FileDescriptors = CountEntries("/proc/self/fd") - 1; // less the one that reads the folder
  std::ifstream segments("/proc/sysvipc/shm");
  std::string line;
  std::getline(segments, line); // the heading
  const std::string pid = std::to_string(getpid());
  while (std::getline(segments, line)) {
    // key shmid perms size cpid ...
    std::istringstream fields(line);
    std::string key, id, perms, size, cpid;
    fields >> key >> id >> perms >> size >> cpid;
    if (cpid == pid) ++counts.SharedMemorySegments;
  }
  return counts;
}

std::ostream& operator<<(std::ostream& AStream, const TResourceCounts& ACounts) {
  return AStream << "{threads " << ACounts.Threads << ", fds " << ACounts.FileDescriptors
                 << ", shm " << ACounts.SharedMemorySegments << "}";
}

bool IsInSharedMemory(const void* AAddress) {
  const auto address = reinterpret_cast<uintptr_t>(AAddress);
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    // from-to perms offset device inode path
    std::istringstream fields(line);
    std::string range, perms, offset, device, inode, path;
    fields >> range >> perms >> offset >> device >> inode >> path;
    const uintptr_t from = std::stoull(range, nullptr, 16);
    const uintptr_t to = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
    if (address >= from && address < to) return path.rfind("/SYSV", 0) == 0;
  }
  return false;
}

void SleepFor(std::chrono::milliseconds ATime) {
  std::this_thread::sleep_for(ATime);
}
