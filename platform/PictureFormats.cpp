// The picture-format registry and the picture (see PictureFormats.h).
#include "PictureFormats.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace {

struct TClipboardReader {
  int Format;
  std::string GraphicClass;
  TGraphicFactory Factory;
};

struct TRegistry {
  std::mutex Lock;
  std::vector<TPictureFileFormat> FileFormats;
  std::vector<TClipboardFormat> ClipboardFormats{{CF_BITMAP, "Bitmap", "application/x-qt-image"}};
  std::vector<TClipboardReader> ClipboardReaders;
  int NextClipboardFormat = 0xC000;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

std::string Lower(std::string AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return AText;
}

std::string NormalExtension(const std::string& AExtension) {
  return Lower(!AExtension.empty() && AExtension[0] == '.' ? AExtension.substr(1) : AExtension);
}

std::string FileExtension(const std::string& AFileName) {
  const size_t slash = AFileName.find_last_of('/');
  const size_t dot = AFileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return AFileName.substr(dot + 1);
}

} // namespace

void TPictureFormats::RegisterFileFormat(const std::string& AExtension,
                                         const std::string& ADescription,
                                         const std::string& AGraphicClass,
                                         TGraphicFactory AFactory) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  const std::string extension = NormalExtension(AExtension);
  std::erase_if(registry.FileFormats,
                [&](const TPictureFileFormat& AFormat) { return AFormat.Extension == extension; });
  registry.FileFormats.push_back({extension, ADescription, AGraphicClass, std::move(AFactory)});
}

int TPictureFormats::RegisterClipboardFormat(const std::string& AName,
                                             const std::string& AMimeType) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  for (const TClipboardFormat& format : registry.ClipboardFormats)
    if (Lower(format.Name) == Lower(AName)) return format.Number;
  registry.ClipboardFormats.push_back({registry.NextClipboardFormat++, AName, AMimeType});
  return registry.ClipboardFormats.back().Number;
}

void TPictureFormats::RegisterClipboardGraphic(int AFormat, const std::string& AGraphicClass,
                                               TGraphicFactory AFactory) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  std::erase_if(registry.ClipboardReaders,
                [&](const TClipboardReader& AReader) { return AReader.Format == AFormat; });
  registry.ClipboardReaders.push_back({AFormat, AGraphicClass, std::move(AFactory)});
}

void TPictureFormats::UnregisterGraphicClass(const std::string& AGraphicClass) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  std::erase_if(registry.FileFormats, [&](const TPictureFileFormat& AFormat) {
    return AFormat.GraphicClass == AGraphicClass;
  });
  std::erase_if(registry.ClipboardReaders, [&](const TClipboardReader& AReader) {
    return AReader.GraphicClass == AGraphicClass;
  });
}

std::optional<TPictureFileFormat> TPictureFormats::FindFileFormat(const std::string& AExtension) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  const std::string extension = NormalExtension(AExtension);
  for (const TPictureFileFormat& format : registry.FileFormats)
    if (format.Extension == extension) return format;
  return std::nullopt;
}

std::optional<TClipboardFormat> TPictureFormats::FindClipboardFormat(const std::string& AName) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  for (const TClipboardFormat& format : registry.ClipboardFormats)
    if (Lower(format.Name) == Lower(AName)) return format;
  return std::nullopt;
}

std::optional<TClipboardFormat> TPictureFormats::ClipboardFormat(int ANumber) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  for (const TClipboardFormat& format : registry.ClipboardFormats)
    if (format.Number == ANumber) return format;
  return std::nullopt;
}

TGraphicFactory TPictureFormats::ClipboardGraphic(int AFormat) {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  for (const TClipboardReader& reader : registry.ClipboardReaders)
    if (reader.Format == AFormat) return reader.Factory;
  return {};
}

std::vector<TPictureFileFormat> TPictureFormats::FileFormats() {
  TRegistry& registry = Registry();
  std::lock_guard lock(registry.Lock);
  return registry.FileFormats;
}

void TPicture::LoadFromFile(const std::string& AFileName) {
  const std::string extension = FileExtension(AFileName);
  std::optional<TPictureFileFormat> format = TPictureFormats::FindFileFormat(extension);
  if (!format) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
  std::unique_ptr<TGraphic> graphic = format->Factory();
  graphic->LoadFromFile(AFileName);
  FGraphic = std::move(graphic);
}

void TPicture::SaveToFile(const std::string& AFileName) {
  if (!FGraphic) throw EInvalidGraphic("The picture holds no graphic");
  FGraphic->SaveToFile(AFileName);
}

void TPicture::LoadFromClipboardFormat(int AFormat, const TClipboardData& AData) {
  TGraphicFactory factory = TPictureFormats::ClipboardGraphic(AFormat);
  if (!factory) throw EInvalidGraphic("Unsupported clipboard format");
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromClipboardFormat(AFormat, AData);
  FGraphic = std::move(graphic);
}

bool TPicture::SupportsClipboardFormat(int AFormat) {
  return static_cast<bool>(TPictureFormats::ClipboardGraphic(AFormat));
}
