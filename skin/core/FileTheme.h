// File themes: a skin file loaded through Tsk2SkinFileReader and read by key
// index, the stored skin whose bytes travel with a form, and the rule that
// picks between a file theme and a built-in style.
#pragma once

#include "Bitmap.h"
#include "SkinFileReader.h"
#include "SkinKeys.h"
#include "SkinTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The current reader of a file theme, or none.
class TkivFileThemeMgr {
public:
  // Replaces the reader with one for the file; false (and no reader) when the
  // file cannot be read as a skin. A file that does not exist keeps the
  // current reader.
  bool LoadFile(const std::string& AFileName, const std::string& APassword);

  // By key index of each group; nil, 0, 0, 0 without a skin. With a skin, an
  // absent colour or integer reads -1 and an absent Boolean 0.
  const TBitmap* GetBitmap(uint8_t AIndex) const;
  int GetBool(uint8_t AIndex) const;
  TColor GetColor(uint8_t AIndex) const;
  int GetInt(uint8_t AIndex) const;

  const Tsk2SkinFileReader* Reader() const { return FReader.get(); }

private:
  std::unique_ptr<Tsk2SkinFileReader> FReader;
};

class TkivFileTheme {
public:
  TkivFileTheme() = default;
  virtual ~TkivFileTheme() = default;
  TkivFileTheme(const TkivFileTheme&) = delete;
  TkivFileTheme& operator=(const TkivFileTheme&) = delete;

  const std::string& ThemeFile() const { return FThemeFile; }
  // Finds the file (the name as given, else its file part in the program's
  // folder) and loads it; a name found nowhere changes nothing.
  void SetThemeFile(const std::string& AName);
  const std::string& Password() const { return FPassword; }
  // A non-empty password loads the current file again.
  void SetPassword(const std::string& APassword);
  bool Ready() const { return FReady; }

  const TBitmap* GetBitmap(uint8_t AIndex) const { return FMgr.GetBitmap(AIndex); }
  // With a frame and a frame count, that frame of the skin's strip; else the
  // whole picture. ADest is emptied when the skin has no such picture.
  void GetBitmapFrame(uint8_t AIndex, TBitmap* ADest, int AFrame, int AFrameCount) const;
  int GetBool(uint8_t AIndex) const { return FMgr.GetBool(AIndex); }
  TColor GetColor(uint8_t AIndex) const { return FMgr.GetColor(AIndex); }
  int GetInt(uint8_t AIndex) const { return FMgr.GetInt(AIndex); }

  // Raised after a load that left the theme ready, so that the owning form
  // can have every control that names this theme read its skin again;
  // AReload is true when a skin file had been named before.
  std::function<void(TkivFileTheme& ASender, bool AReload)> OnSkinLoaded;

private:
  TkivFileThemeMgr FMgr;
  std::string FThemeFile;
  std::string FPassword;
  bool FReady = false;
};

// A file theme whose skin bytes are stored with the form.
class TkivBuiltInFileTheme : public TkivFileTheme {
public:
  // The path of the skin file whose bytes are stored; naming it also loads it.
  const std::string& ThemeFile() const { return FStoredThemeFile; }
  void SetThemeFile(const std::string& AName);

  // The bytes to store: those of the file named by ThemeFile, when it exists.
  std::optional<std::vector<uint8_t>> SkinData() const;
  // Loads stored bytes through a temporary skin file in the system's
  // temporary folder, which is removed again at once.
  void SetSkinData(std::span<const uint8_t> ABytes);

private:
  std::string FStoredThemeFile;
};

struct TkivStyleChoice {
  bool UseFileTheme = false;
  TkivUIStyle Style = TkivUIStyle::DeepBlue;
};

// A built-in style stands as it is; FromThemeFile takes the file theme when
// it is assigned and ready, and DeepBlue otherwise.
TkivStyleChoice UsingFileTheme(const TkivFileTheme* ATheme, TkivUIStyle AStyle);

// What the core asks of a host form: its direct controls in order, and for
// each the style of the skinned frame it is, if it is one.
class TkivHostForm {
public:
  virtual ~TkivHostForm() = default;
  virtual int ControlCount() const = 0;
  virtual std::optional<TkivUIStyle> FrameStyle(int AIndex) const = 0;
};

// The style of the form's first skinned frame; DeepBlue without a form
// (null) or without a frame.
TkivUIStyle GetFormUIStyle(const TkivHostForm* AForm);

// The folder of the running program.
std::string RunningProgramFolder();
