// Reading skin descriptions for mkksk.
#include "SkinDescription.h"

#include "StylePainter.h"

#include <sstream>
#include <stdexcept>

namespace {

struct TIntField {
  const char* Name;
  int TStylePalette::*Field;
};
struct TBoolField {
  const char* Name;
  bool TStylePalette::*Field;
};

constexpr TIntField IntFields[] = {
    {"TitleTop", &TStylePalette::TitleTop},
    {"TitleBottom", &TStylePalette::TitleBottom},
    {"TitleEdge", &TStylePalette::TitleEdge},
    {"TitleShine", &TStylePalette::TitleShine},
    {"TitleHeight", &TStylePalette::TitleHeight},
    {"TitleEndWidth", &TStylePalette::TitleEndWidth},
    {"TitleCorner", &TStylePalette::TitleCorner},
    {"FaceTop", &TStylePalette::FaceTop},
    {"FaceBottom", &TStylePalette::FaceBottom},
    {"HotTop", &TStylePalette::HotTop},
    {"HotBottom", &TStylePalette::HotBottom},
    {"DownTop", &TStylePalette::DownTop},
    {"DownBottom", &TStylePalette::DownBottom},
    {"FaceBorder", &TStylePalette::FaceBorder},
    {"ButtonWidth", &TStylePalette::ButtonWidth},
    {"ButtonHeight", &TStylePalette::ButtonHeight},
    {"CapFace", &TStylePalette::CapFace},
    {"CapHot", &TStylePalette::CapHot},
    {"CapDown", &TStylePalette::CapDown},
    {"CapBorder", &TStylePalette::CapBorder},
    {"CapGlyph", &TStylePalette::CapGlyph},
    {"CloseFace", &TStylePalette::CloseFace},
    {"CapWidth", &TStylePalette::CapWidth},
    {"CapHeight", &TStylePalette::CapHeight},
    {"Accent", &TStylePalette::Accent},
    {"Track", &TStylePalette::Track},
    {"Light", &TStylePalette::Light},
    {"FormColor", &TStylePalette::FormColor},
    {"BorderColor", &TStylePalette::BorderColor},
    {"BorderWidth", &TStylePalette::BorderWidth},
};
constexpr TBoolField BoolFields[] = {
    {"ButtonKeyCorners", &TStylePalette::ButtonKeyCorners},
    {"CapRound", &TStylePalette::CapRound},
    {"CapKeyCorners", &TStylePalette::CapKeyCorners},
};

long long Number(const std::string& AText) {
  size_t used = 0;
  const long long value = std::stoll(AText, &used, 0);
  if (used != AText.size()) throw std::invalid_argument(AText);
  return value;
}

} // namespace

void ReadSkinDescription(std::istream& AInput, TSk2Writer& AWriter) {
  TStylePalette palette;
  std::string line;
  for (int lineNumber = 1; std::getline(AInput, line); ++lineNumber) {
    try {
      std::istringstream words(line);
      std::string kind;
      std::string name;
      if (!(words >> kind) || kind[0] == '#') continue;
      if (!(words >> name)) throw std::runtime_error("a name is missing");
      std::string value;
      if (kind == "text") {
        std::getline(words >> std::ws, value);
        AWriter.AddText(name, value);
        continue;
      }
      if (!(words >> value)) throw std::runtime_error("a value is missing");
      if (kind == "palette") {
        bool known = false;
        for (const TIntField& field : IntFields)
          if (name == field.Name) {
            palette.*field.Field = static_cast<int>(Number(value));
            known = true;
          }
        for (const TBoolField& field : BoolFields)
          if (name == field.Name) {
            palette.*field.Field = Number(value) != 0;
            known = true;
          }
        if (!known) throw std::runtime_error("no palette value is named " + name);
      } else if (kind == "int" || kind == "color") {
        AWriter.AddInt(name, static_cast<int32_t>(Number(value)));
      } else if (kind == "bool") {
        AWriter.AddBool(name, Number(value) != 0);
      } else if (kind == "bitmap") {
        TBitmap picture;
        if (!PaintStylePart(value, palette, picture))
          throw std::runtime_error("no picture part is named " + value);
        AWriter.AddBitmap(name, picture);
      } else {
        throw std::runtime_error("unknown kind " + kind);
      }
    } catch (const std::logic_error&) {
      throw std::runtime_error("line " + std::to_string(lineNumber) + ": not a number");
    } catch (const std::runtime_error& error) {
      throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + error.what());
    }
  }
}
