// The sound tests' ALSA configuration (see AlsaTestConfig.h).
#include "AlsaTestConfig.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <unistd.h>

namespace {

struct TConfigFiles {
  std::string Folder, Tone, WithTone, Empty, Failing;
};

const TConfigFiles& Files() {
  static const TConfigFiles files = [] {
    TConfigFiles f;
    char folder[] = "/tmp/vexmora-alsa-XXXXXX";
    f.Folder = mkdtemp(folder) ? folder : "/tmp";
    f.Tone = f.Folder + "/tone.raw";
    f.WithTone = f.Folder + "/tone.conf";
    f.Empty = f.Folder + "/empty.conf";
    f.Failing = f.Folder + "/failing.conf";
    std::ofstream tone(f.Tone, std::ios::binary);
    std::vector<int16_t> samples(static_cast<size_t>(kToneFrames) * 2);
    for (int64_t i = 0; i < kToneFrames; ++i) {
      samples[2 * i] = ToneSample(i, 0);
      samples[2 * i + 1] = ToneSample(i, 1);
    }
    tone.write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
    std::ofstream(f.WithTone) << "pcm.null { type null }\n"
                                 "pcm.!default {\n"
                                 "  type file\n"
                                 "  slave.pcm \"null\"\n"
                                 "  file \"/dev/null\"\n"
                                 "  infile \""
                              << f.Tone
                              << "\"\n"
                                 "  format \"raw\"\n"
                                 "  hint { show on description \"Test tone\" }\n"
                                 "}\n";
    std::ofstream(f.Empty) << "pcm.null { type null }\n";
    // The plugin copies what it records into "file"; on a full disk that
    // copy fails, and with it the read.
    std::ofstream(f.Failing) << "pcm.null { type null }\n"
                                "pcm.!default {\n"
                                "  type file\n"
                                "  slave.pcm \"null\"\n"
                                "  file \"/dev/full\"\n"
                                "  infile \""
                             << f.Tone
                             << "\"\n"
                                "  format \"raw\"\n"
                                "}\n";
    return f;
  }();
  return files;
}

struct TFolderRemover {
  ~TFolderRemover() {
    const TConfigFiles& f = Files();
    std::remove(f.Tone.c_str());
    std::remove(f.WithTone.c_str());
    std::remove(f.Empty.c_str());
    std::remove(f.Failing.c_str());
    rmdir(f.Folder.c_str());
  }
};

} // namespace

int16_t ToneSample(int64_t AFrame, int AChannel) {
  if (AChannel == 1) return static_cast<int16_t>(static_cast<uint16_t>(AFrame & 0xffff));
  return static_cast<int16_t>(
      std::lround(8000 * std::sin(2 * std::numbers::pi * 440 * AFrame / kToneRate)));
}

void InstallAlsaTestConfig() {
  const TConfigFiles& files = Files();
  static TFolderRemover remover; // made after the files, so it goes before them
  setenv("ALSA_CONFIG_PATH", files.WithTone.c_str(), 1);
}

TNoSoundDevices::TNoSoundDevices() {
  setenv("ALSA_CONFIG_PATH", Files().Empty.c_str(), 1);
}

TFailingSoundDevice::TFailingSoundDevice() {
  setenv("ALSA_CONFIG_PATH", Files().Failing.c_str(), 1);
}

TFailingSoundDevice::~TFailingSoundDevice() {
  setenv("ALSA_CONFIG_PATH", Files().WithTone.c_str(), 1);
}

TNoSoundDevices::~TNoSoundDevices() {
  setenv("ALSA_CONFIG_PATH", Files().WithTone.c_str(), 1);
}

int64_t FindInTone(const uint8_t* AData, int ASize) {
  const int frames = ASize / 4;
  if (frames == 0) return -1;
  int16_t first[2];
  std::memcpy(first, AData, sizeof first);
  const auto matches = [&](int64_t AStart) {
    if (AStart + frames > kToneFrames) return false;
    for (int i = 0; i < frames; ++i) {
      int16_t pair[2];
      std::memcpy(pair, AData + 4 * i, sizeof pair);
      if (pair[0] != ToneSample(AStart + i, 0) || pair[1] != ToneSample(AStart + i, 1))
        return false;
    }
    return true;
  };
  for (int64_t start = static_cast<uint16_t>(first[1]); start < kToneFrames; start += 65536)
    if (matches(start)) return start;
  return -1;
}
