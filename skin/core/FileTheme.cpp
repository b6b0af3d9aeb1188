// File themes, the file search beside the program and the stored skin's
// round trip through an exclusive temporary file.
#include "FileTheme.h"

#include "SkinDraw.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool FileExists(const std::string& AName) {
  struct stat st {};
  return !AName.empty() && ::stat(AName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A new GUID in its braced text form.
std::string NewGuidText() {
  std::random_device device;
  uint8_t bytes[16];
  for (int i = 0; i < 16; i += 4) {
    const uint32_t value = device();
    for (int k = 0; k < 4; ++k)
      bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

// A skin file of our own in the temporary folder, created exclusively and
// removed when this goes.
class TTemporarySkinFile {
public:
  static constexpr int MaxTries = 64;

  explicit TTemporarySkinFile(std::span<const uint8_t> ABytes) {
    std::error_code error;
    std::string folder = std::filesystem::temp_directory_path(error).string();
    if (error || folder.empty()) folder = "/tmp";
    if (folder.back() != '/') folder += '/';
    for (int attempt = 0; attempt < MaxTries && FName.empty(); ++attempt) {
      const std::string base = folder + NewGuidText();
      // A taken name gets a number between it and its extension.
      for (int number = 0; number < MaxTries; ++number) {
        const std::string name = base + (number ? std::to_string(number) : "") + ".ksk";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
          if (errno == EEXIST) continue;
          break;
        }
        const bool written = WriteAll(fd, ABytes);
        const bool closed = ::close(fd) == 0;
        if (written && closed)
          FName = name;
        else
          ::unlink(name.c_str());
        break;
      }
    }
  }
  ~TTemporarySkinFile() {
    if (!FName.empty()) ::unlink(FName.c_str());
  }
  TTemporarySkinFile(const TTemporarySkinFile&) = delete;
  TTemporarySkinFile& operator=(const TTemporarySkinFile&) = delete;

  // Empty when no file could be written.
  const std::string& Name() const { return FName; }

private:
  static bool WriteAll(int AFd, std::span<const uint8_t> ABytes) {
    size_t done = 0;
    while (done < ABytes.size()) {
      const ssize_t n = ::write(AFd, ABytes.data() + done, ABytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  std::string FName;
};

} // namespace

std::string RunningProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

bool TkivFileThemeMgr::LoadFile(const std::string& AFileName, const std::string& APassword) {
  if (!FileExists(AFileName)) return false;
  FReader.reset();
  try {
    FReader = std::make_unique<Tsk2SkinFileReader>(AFileName, APassword);
  } catch (...) {
    FReader.reset();
    return false;
  }
  if (!FReader->Ready()) FReader.reset();
  return FReader != nullptr;
}

const TBitmap* TkivFileThemeMgr::GetBitmap(uint8_t AIndex) const {
  return FReader ? FReader->GetBitmap(SkinKeyName(TkivSkinGroup::Bitmap, AIndex)) : nullptr;
}

int TkivFileThemeMgr::GetBool(uint8_t AIndex) const {
  return FReader ? FReader->GetBool(SkinKeyName(TkivSkinGroup::Boolean, AIndex)) : 0;
}

TColor TkivFileThemeMgr::GetColor(uint8_t AIndex) const {
  return FReader ? FReader->GetInt(SkinKeyName(TkivSkinGroup::Color, AIndex)) : 0;
}

int TkivFileThemeMgr::GetInt(uint8_t AIndex) const {
  return FReader ? FReader->GetInt(SkinKeyName(TkivSkinGroup::Integer, AIndex)) : 0;
}

void TkivFileTheme::SetThemeFile(const std::string& AName) {
  const bool wasEmpty = FThemeFile.empty();
  std::string found;
  if (FileExists(AName)) {
    found = AName;
  } else {
    const std::string filePart = std::filesystem::path(AName).filename().string();
    const std::string besideProgram = RunningProgramFolder() + "/" + filePart;
    if (!filePart.empty() && FileExists(besideProgram)) found = besideProgram;
  }
  if (found.empty()) return;
  FThemeFile = found;
  FReady = FMgr.LoadFile(found, FPassword);
  if (FReady && OnSkinLoaded) OnSkinLoaded(*this, !wasEmpty);
}

void TkivFileTheme::SetPassword(const std::string& APassword) {
  FPassword = APassword;
  if (!APassword.empty()) SetThemeFile(FThemeFile);
}

void TkivFileTheme::GetBitmapFrame(uint8_t AIndex, TBitmap* ADest, int AFrame,
                                   int AFrameCount) const {
  if (!ADest) return;
  const TBitmap* picture = GetBitmap(AIndex);
  if (!picture) {
    ADest->SetSize(0, 0, 32);
  } else if (AFrame != 0 && AFrameCount != 0) {
    CutFrame(*picture, *ADest, AFrameCount, AFrame);
  } else {
    *ADest = *picture;
  }
}

void TkivBuiltInFileTheme::SetThemeFile(const std::string& AName) {
  FStoredThemeFile = AName;
  TkivFileTheme::SetThemeFile(AName);
}

std::optional<std::vector<uint8_t>> TkivBuiltInFileTheme::SkinData() const {
  if (!FileExists(FStoredThemeFile)) return std::nullopt;
  std::ifstream in(FStoredThemeFile, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return std::nullopt;
  return bytes;
}

void TkivBuiltInFileTheme::SetSkinData(std::span<const uint8_t> ABytes) {
  const TTemporarySkinFile file(ABytes);
  if (!file.Name().empty()) TkivFileTheme::SetThemeFile(file.Name());
}

TkivStyleChoice UsingFileTheme(const TkivFileTheme* ATheme, TkivUIStyle AStyle) {
  if (AStyle != TkivUIStyle::FromThemeFile) return {false, AStyle};
  if (ATheme && ATheme->Ready()) return {true, TkivUIStyle::FromThemeFile};
  return {false, TkivUIStyle::DeepBlue};
}

TkivUIStyle GetFormUIStyle(const TkivHostForm* AForm) {
  if (!AForm) return TkivUIStyle::DeepBlue;
  for (int i = 0; i < AForm->ControlCount(); ++i)
    if (const std::optional<TkivUIStyle> style = AForm->FrameStyle(i)) return *style;
  return TkivUIStyle::DeepBlue;
}
