// Skin files for the widgets' suites (see SkinFiles.h).
#include "SkinFiles.h"

#include "SkinCanvas.h"
#include "SkinQt.h"

std::vector<uint8_t> TitleSkinArchive(const TTitleSkin& ASkin) {
  TSk2Writer writer;
  writer.AddInt("SKIN2_TRANSCOLOR", 0xFF00FF);
  writer.AddInt("SKIN2_TITLEFONTCOLOR", 0xFFFFFF);
  writer.AddInt("SKIN2_FORMCOLOR", 0x808080);
  writer.AddBool("SKIN2_TITLEFIVESECT", ASkin.FiveSections);
  writer.AddBool("SKIN2_TITLEBARNEEDREGION", ASkin.TitleNeedsRegion);
  writer.AddBool("SKIN2_BOTTOMBORDERNEEDREGION", false);
  writer.AddBool("SKIN2_TITLEBTNTRANS", false);
  writer.AddInt("SKIN2_TITLEBARICONPOSX", ASkin.IconPosX);
  writer.AddInt("SKIN2_TITLEBARICONPOSY", 6);
  writer.AddInt("SKIN2_TITLEBARCAPTIONTOP", 8);
  writer.AddInt("SKIN2_TITLEBARBUTTONPOSX", ASkin.ButtonPosX);
  writer.AddInt("SKIN2_TITLEBARBUTTONPOSY", ASkin.ButtonPosY);
  writer.AddInt("SKIN2_TITLEBARREGIONMINY", 0);
  writer.AddInt("SKIN2_TITLEBARREGIONMAXY", 5);
  const int sections = ASkin.FiveSections ? 5 : 3;
  for (int i = 1; i <= sections; ++i) {
    TBitmap picture = FilledBitmap(SectionWidth(i), ASkin.TitleHeight, SectionColor(i));
    if (i == 1) {
      // A rounded corner for the region: the key colour in the top-left pixels.
      TSkinCanvas canvas(picture);
      canvas.FillRect({0, 0, 3, 1}, 0xFF00FF);
      canvas.FillRect({0, 1, 1, 3}, 0xFF00FF);
    }
    writer.AddBitmap("SKIN2_TITLEBAR" + std::to_string(i), picture);
  }
  TBitmap buttons(ASkin.ButtonWidth * 18, ASkin.ButtonHeight, 32);
  TSkinCanvas canvas(buttons);
  for (int frame = 1; frame <= 18; ++frame)
    canvas.FillRect(
        {(frame - 1) * ASkin.ButtonWidth, 0, frame * ASkin.ButtonWidth, ASkin.ButtonHeight},
        ButtonFrameColor(frame));
  writer.AddBitmap("SKIN2_TITLEBUTTONS", buttons);
  return WriteSkinArchive(writer.Build(), {});
}
