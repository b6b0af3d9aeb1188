// The palettes of the five built-in styles and the resource table that maps
// each picture name to a palette and a painted part. Pictures are drawn once
// and shared; the cache is the only state and only ever grows.
#include "StyleResources.h"

#include <map>
#include <memory>
#include <mutex>

namespace {

TStylePalette MacOSPalette() {
  TStylePalette p;
  p.TitleTop = 0xEDEDED;
  p.TitleBottom = 0xBDBDBD;
  p.TitleEdge = 0x7F7F7F;
  p.TitleShine = 0xFAFAFA;
  p.TitleHeight = 24;
  p.TitleEndWidth = 8;
  p.TitleCorner = 0;
  p.FaceTop = 0xFFFFFF;
  p.FaceBottom = 0xDCDCDC;
  p.HotTop = 0xFFF4E8;
  p.HotBottom = 0xE8C9A8;
  p.DownTop = 0xE0B890;
  p.DownBottom = 0xC47339;
  p.FaceBorder = 0x7F7F7F;
  p.ButtonKeyCorners = true;
  p.CapFace = 0x5AB86B;
  p.CapHot = 0x7FD08C;
  p.CapDown = 0x3C8A4A;
  p.CapBorder = 0x5A5A5A;
  p.CapGlyph = 0x303030;
  p.CloseFace = 0x4E5CE0;
  p.CapWidth = 15;
  p.CapHeight = 15;
  p.CapRound = true;
  p.Accent = 0xC47339;
  p.Track = 0xD8D8D8;
  p.FormColor = 0xE7E7E7;
  return p;
}

TStylePalette WinXPPalette() {
  TStylePalette p;
  p.TitleTop = 0xF7A65A;
  p.TitleBottom = 0xD65A00;
  p.TitleEdge = 0xC82C00;
  p.TitleShine = 0xFFD3A5;
  p.TitleHeight = 30;
  p.TitleEndWidth = 12;
  p.TitleCorner = 7;
  p.FaceTop = 0xFFFFFF;
  p.FaceBottom = 0xDDE6EA;
  p.HotTop = 0xF2FBFF;
  p.HotBottom = 0x8FC8F0;
  p.DownTop = 0xDDE3E6;
  p.DownBottom = 0xEBF1F3;
  p.FaceBorder = 0x743C00;
  p.CapFace = 0xF08A3C;
  p.CapHot = 0xFFB070;
  p.CapDown = 0xB85A10;
  p.CapBorder = 0xFFFFFF;
  p.CapGlyph = 0xFFFFFF;
  p.CloseFace = 0x3C5AE0;
  p.CapWidth = 21;
  p.CapHeight = 21;
  p.Accent = 0x21A121;
  p.Track = 0xE1E5E8;
  p.FormColor = 0xDEEBEF;
  return p;
}

TStylePalette DeepBluePalette() {
  TStylePalette p;
  p.TitleTop = 0x9C5A2C;
  p.TitleBottom = 0x5C2A10;
  p.TitleEdge = 0x3A1800;
  p.TitleShine = 0xC08050;
  p.TitleHeight = 24;
  p.TitleEndWidth = 6;
  p.FaceTop = 0xFAFAFA;
  p.FaceBottom = 0xD8D2CC;
  p.HotTop = 0xFFF2E6;
  p.HotBottom = 0xE0BE9C;
  p.DownTop = 0xC49A78;
  p.DownBottom = 0xA04A44;
  p.FaceBorder = 0x6A4A30;
  p.CapFace = 0x7E4418;
  p.CapHot = 0xB0703C;
  p.CapDown = 0x4A2008;
  p.CapBorder = 0x2A1000;
  p.CapGlyph = 0xFFFFFF;
  p.CloseFace = 0x2A2AB0;
  p.CapWidth = 19;
  p.CapHeight = 18;
  p.Accent = 0xA04A44;
  p.Track = 0xD8D8D8;
  p.FormColor = 0xE8E8E8;
  return p;
}

TStylePalette ProteinPalette() {
  TStylePalette p;
  p.TitleTop = 0x7A7AE8;
  p.TitleBottom = 0x2D30C4;
  p.TitleEdge = 0x1A1A80;
  p.TitleShine = 0xB0B0FF;
  p.TitleHeight = 24;
  p.TitleEndWidth = 6;
  p.FaceTop = 0xFFFFFF;
  p.FaceBottom = 0xE4E4F4;
  p.HotTop = 0xF0F0FF;
  p.HotBottom = 0xB8B8F0;
  p.DownTop = 0x9090E0;
  p.DownBottom = 0x2D30C4;
  p.FaceBorder = 0x50508C;
  p.CapFace = 0x4A4AD8;
  p.CapHot = 0x8080F0;
  p.CapDown = 0x20209A;
  p.CapBorder = 0xFFFFFF;
  p.CapGlyph = 0xFFFFFF;
  p.CloseFace = 0x1A1A9A;
  p.CapWidth = 18;
  p.CapHeight = 18;
  p.CapRound = true;
  p.CapKeyCorners = true;
  p.Accent = 0xC4302D;
  p.Track = 0xE4E4E4;
  p.FormColor = 0xFBFBFB;
  return p;
}

TStylePalette BlueGlassPalette() {
  TStylePalette p;
  p.TitleTop = 0xF8E0C0;
  p.TitleBottom = 0xC88A40;
  p.TitleEdge = 0x6A3A10;
  p.TitleShine = 0xFFF8F0;
  p.TitleHeight = 30;
  p.TitleEndWidth = 12;
  p.TitleCorner = 6;
  p.FaceTop = 0xFFFAF4;
  p.FaceBottom = 0xF0D8B8;
  p.HotTop = 0xFFF4E8;
  p.HotBottom = 0xF8C890;
  p.DownTop = 0xE8B070;
  p.DownBottom = 0xEC5E5E;
  p.FaceBorder = 0x8A5A2A;
  p.ButtonKeyCorners = true;
  p.CapFace = 0xD8A060;
  p.CapHot = 0xF0C890;
  p.CapDown = 0xA06A30;
  p.CapBorder = 0x6A3A10;
  p.CapGlyph = 0xFFFFFF;
  p.CloseFace = 0x5050D8;
  p.CapWidth = 20;
  p.CapHeight = 18;
  p.CapRound = true;
  p.CapKeyCorners = true;
  p.Accent = 0xEC5E5E;
  p.Track = 0xE0E0E0;
  p.FormColor = 0xE7E7E7;
  return p;
}

constexpr const char* StyleWords[5] = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"};

// Parts every style has a picture for (the scroll button only the first two).
constexpr const char* CommonParts[] = {"BUTTON",          "CHECKBOX",           "RADIOBUTTON",
                                       "TITLEBTN",        "TITLE_LEFT",         "TITLE_CLIENT",
                                       "TITLE_RIGHT",     "PROGRESSBAR",        "TRACKBAR_BAR",
                                       "TRACKBAR_SLIDER", "TRACKBAR_SLIDER_V",  "SCROLLBAR_BUTTON",
                                       "SCROLLBAR_TRACK", "CHECKLIST",          "TAB",
                                       "TAB_LINE",        "SIDECHENNEL_HANDLE", "SIDECHENNEL_BAR"};

struct TResource {
  int Style; // palette
  std::string Part;
};

const std::map<std::string, TResource>& Resources() {
  static const std::map<std::string, TResource> resources = [] {
    std::map<std::string, TResource> table;
    for (int style = 1; style <= 5; ++style) {
      const std::string word = StyleWords[style - 1];
      for (const char* part : CommonParts)
        table[word + "_" + part] = {style, part};
    }
    table["MACOS_SCROLLBUTTON"] = {1, "SCROLLBUTTON"};
    table["WINXP_SCROLLBUTTON"] = {2, "SCROLLBUTTON"};
    table["MORE_SCROLLBUTTON"] = {3, "SCROLLBUTTON"};
    table["MACOS_FORM_BACKGROUND"] = {1, "FORM_BACKGROUND"};
    table["PROTEIN_FORM_BACKGROUND"] = {4, "FORM_BACKGROUND"};
    table["MACOS_MENU_BAR"] = {1, "MENU_BAR"};
    table["MACOS_MENU_SELECT"] = {1, "MENU_SELECT"};
    table["MENU_CHECKED"] = {3, "MENU_CHECKED"};
    return table;
  }();
  return resources;
}

} // namespace

const TStylePalette& BuiltInPalette(int AStyle) {
  static const TStylePalette palettes[5] = {MacOSPalette(), WinXPPalette(), DeepBluePalette(),
                                            ProteinPalette(), BlueGlassPalette()};
  return palettes[(AStyle >= 1 && AStyle <= 5 ? AStyle : 3) - 1];
}

const std::vector<std::string>& SkinResourceNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const auto& item : Resources())
      list.push_back(item.first);
    return list;
  }();
  return names;
}

bool LoadSkinResource(const std::string& AName, TBitmap& ABitmap) {
  static std::mutex lock;
  static std::map<std::string, std::shared_ptr<const TBitmap>> cache;

  const auto it = Resources().find(AName);
  if (it == Resources().end()) {
    ABitmap.SetSize(0, 0, 32);
    return false;
  }
  std::shared_ptr<const TBitmap> picture;
  {
    const std::lock_guard<std::mutex> guard(lock);
    auto& slot = cache[AName];
    if (!slot) {
      auto painted = std::make_shared<TBitmap>();
      PaintStylePart(it->second.Part, BuiltInPalette(it->second.Style), *painted);
      slot = painted;
    }
    picture = slot;
  }
  ABitmap = *picture;
  return true;
}
