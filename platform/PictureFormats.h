// The picture-format registry: file extensions with their descriptions and
// the graphic class that reads them, clipboard formats by name with the MIME
// type that carries them, and the graphic class that reads each clipboard
// format. Formats join by explicit calls at start-up and leave at the end.
// TPicture holds one graphic and finds its class through the registry.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphic.h"

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TPictureFileFormat {
  std::string Extension; // lower case, without the dot
  std::string Description;
  std::string GraphicClass;
  TGraphicFactory Factory;
};

struct TClipboardFormat {
  int Number = 0;
  std::string Name;
  std::string MimeType;
};

// The bitmap format every clipboard carries (an image).
inline constexpr int CF_BITMAP = 2;

class TPictureFormats {
public:
  // A later registration of the same extension replaces the earlier one.
  static void RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                 const std::string& AGraphicClass, TGraphicFactory AFactory);
  // The number of the clipboard format named AName (numbers from 0xC000 on,
  // as registered clipboard formats are numbered); the same name always
  // answers the same number, and its MIME type is the first one given.
  static int RegisterClipboardFormat(const std::string& AName, const std::string& AMimeType);
  static void RegisterClipboardGraphic(int AFormat, const std::string& AGraphicClass,
                                       TGraphicFactory AFactory);
  // Takes every file format and clipboard reader of the class out; the
  // clipboard format numbers stay.
  static void UnregisterGraphicClass(const std::string& AGraphicClass);

  // By extension, in any letter case, with or without the leading dot.
  static std::optional<TPictureFileFormat> FindFileFormat(const std::string& AExtension);
  static std::optional<TClipboardFormat> FindClipboardFormat(const std::string& AName);
  static std::optional<TClipboardFormat> ClipboardFormat(int ANumber);
  // The class that reads the clipboard format, if any.
  static TGraphicFactory ClipboardGraphic(int AFormat);
  static std::vector<TPictureFileFormat> FileFormats();
};

// One picture of any registered format.
class TPicture {
public:
  TGraphic* Graphic() const { return FGraphic.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> AGraphic) { FGraphic = std::move(AGraphic); }

  // The class is chosen by the file's extension; an unknown one raises
  // EInvalidGraphic "Unknown picture file extension (.ext)".
  void LoadFromFile(const std::string& AFileName);
  // Raises EInvalidGraphic when the picture holds no graphic.
  void SaveToFile(const std::string& AFileName);
  // The class registered for the clipboard format reads it; a format without
  // one raises EInvalidGraphic "Unsupported clipboard format".
  void LoadFromClipboardFormat(int AFormat, const TClipboardData& AData);
  static bool SupportsClipboardFormat(int AFormat);

private:
  std::unique_ptr<TGraphic> FGraphic;
};
