// The base of the picture formats that the picture-format registry knows (a
// graphic of the class library): size, files, conversion to and from
// bitmaps, the clipboard, and its change and progress notices.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "Exception.h"

// A graphic that cannot do what it was asked (an unknown file extension, an
// unsupported clipboard format).
class EInvalidGraphic : public Exception {
public:
  using Exception::Exception;
};

// An assignment between two kinds of picture that do not convert.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

enum class TProgressStage { psStarting, psRunning, psEnding };

// What a graphic places on the clipboard or takes from it: bytes under
// clipboard format numbers of the registry, and a bitmap for the bitmap
// format.
struct TClipboardData {
  std::map<int, std::vector<uint8_t>> Formats;
  std::optional<TBitmap> Bitmap;
};

class TGraphic {
public:
  using TNotifyEvent = std::function<void(TGraphic& ASender)>;
  using TProgressEvent =
      std::function<void(TGraphic& ASender, TProgressStage AStage, int APercentDone,
                         bool ARedrawNow, const std::string& AMessage)>;

  TGraphic() = default;
  virtual ~TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  // The class name, for messages such as the one of an unsupported assignment.
  virtual std::string ClassName() const = 0;
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void LoadFromFile(const std::string& AFileName) = 0;
  virtual void SaveToFile(const std::string& AFileName) = 0;
  // Takes the picture of another graphic (which may render itself for it);
  // this base converts nothing and raises EConvertError.
  virtual void Assign(TGraphic& ASource);
  // Hands the picture to a bitmap; this base raises EConvertError.
  virtual void AssignTo(TBitmap& ADest);
  // Raises EInvalidGraphic "Unsupported clipboard format" for a format the
  // graphic does not read.
  virtual void LoadFromClipboardFormat(int AFormat, const TClipboardData& AData) = 0;
  // Adds the picture's clipboard formats to AData.
  virtual void SaveToClipboardFormat(TClipboardData& AData) = 0;

  bool Modified() const { return FModified; }
  void SetModified(bool AValue) { FModified = AValue; }
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool AValue) { FPaletteModified = AValue; }

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

protected:
  // Marks the graphic modified and tells OnChange.
  virtual void Changed();
  void Progress(TProgressStage AStage, int APercentDone, bool ARedrawNow,
                const std::string& AMessage);

private:
  bool FModified = false;
  bool FPaletteModified = false;
};

// "Cannot assign a <source> to a <target>", the text of an unsupported
// assignment.
[[noreturn]] void RaiseAssignError(const std::string& ASource, const std::string& ATarget);
