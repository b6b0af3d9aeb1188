// The built-in styles' pictures: the layouts the controls cut them by, and
// a picture of each style's title strip and buttons saved into the build
// folder (style-<NAME>.png) for a person to look at.
#include "BuiltInStyles.h"
#include "FileTheme.h"
#include "MainWindowSkin.h"
#include "SkinDraw.h"
#include "SkinTestSupport.h"
#include "StyleResources.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

const char* const StyleNames[] = {"MacOS", "WinXP", "DeepBlue", "Protein", "BlueGlass"};

// The title strip as the title bar lays it out: left, stretched client,
// right, with the minimise, maximise and close buttons right-aligned at the
// style's button top, and the three button frames beneath.
TBitmap StyleSheet(int AStyle) {
  TBitmap left, client, right, buttons, button;
  GetThemeBitmap(AStyle, 10, &left);
  GetThemeBitmap(AStyle, 11, &client);
  GetThemeBitmap(AStyle, 12, &right);
  GetThemeBitmap(AStyle, 5, &buttons);
  GetThemeBitmap(AStyle, 1, &button);
  const int width = std::max(320, buttons.Width() + 8);
  const int capWidth = buttons.Width() / 18;
  TBitmap sheet(width, left.Height() + 2 * buttons.Height() + button.Height() + 12, 32);
  TSkinCanvas canvas(sheet);
  canvas.FillRect({0, 0, sheet.Width(), sheet.Height()}, GetThemeColor(AStyle, 15));
  canvas.Draw(0, 0, left, SkinKeyColor);
  canvas.StretchDraw({left.Width(), 0, width - right.Width(), client.Height()}, client,
                     {0, 0, client.Width(), client.Height()});
  canvas.Draw(width - right.Width(), 0, right, SkinKeyColor);
  const bool transparent = GetThemeBool(AStyle, 6) != 0;
  int x = width + GetThemeInt(AStyle, 8) - 4;
  for (const int frame : {16, 7, 13}) { // close, maximise, minimise
    TBitmap picture;
    CutFrame(buttons, picture, 18, frame);
    x -= capWidth + 1;
    canvas.Draw(x, GetThemeInt(AStyle, 9), picture,
                transparent ? std::optional<TColor>(SkinKeyColor) : std::nullopt);
  }
  // Every title button frame, then the push button's three states.
  const int row = left.Height() + 4;
  canvas.Draw(4, row, buttons, transparent ? std::optional<TColor>(SkinKeyColor) : std::nullopt);
  for (int frame = 1; frame <= 3; ++frame) {
    TBitmap state;
    CutFrame(button, state, 3, frame);
    canvas.Draw(4 + (frame - 1) * (state.Width() * 2 + 4), row + buttons.Height() + 4, state,
                GetThemeBool(AStyle, 2) ? std::optional<TColor>(SkinKeyColor) : std::nullopt);
    TBitmap wide(state.Width() * 2, state.Height(), 32);
    TSkinCanvas wideCanvas(wide);
    wideCanvas.FillRect({0, 0, wide.Width(), wide.Height()}, GetThemeColor(AStyle, 15));
    DrawNineSlice(state, wideCanvas, {0, 0, wide.Width(), wide.Height()}, true);
    canvas.Draw(200 + (frame - 1) * 40, row + buttons.Height() + 4, wide);
  }
  return sheet;
}

class StylePicturesTest : public testing::TestWithParam<int> {};

TEST_P(StylePicturesTest, TitleAndButtonsFitTheirLayout) {
  const int style = GetParam();
  TBitmap left, client, right, buttons, button;
  GetThemeBitmap(style, 10, &left);
  GetThemeBitmap(style, 11, &client);
  GetThemeBitmap(style, 12, &right);
  GetThemeBitmap(style, 5, &buttons);
  GetThemeBitmap(style, 1, &button);
  EXPECT_EQ(client.Height(), left.Height());
  EXPECT_EQ(right.Height(), left.Height());
  ASSERT_EQ(buttons.Width() % 18, 0);
  ASSERT_EQ(button.Width() % 3, 0);
  // The title buttons sit inside the title at the style's button top.
  EXPECT_LE(GetThemeInt(style, 9) + buttons.Height(), left.Height());
  // The form's minimum width holds the ends and the three buttons.
  EXPECT_LE(left.Width() + right.Width() + 3 * buttons.Width() / 18, GetThemeInt(style, 13));

  const TBitmap sheet = StyleSheet(style);
  SavePng(sheet, std::string(SKIN_TEST_OUTPUT_DIR) + "/style-" + StyleNames[style - 1] + ".png");
}

TEST_P(StylePicturesTest, TheControlsTransparencySwitchesMatchThePictures) {
  // A style whose title buttons are drawn transparent has key-coloured
  // corners; one drawn opaque has none.
  const int style = GetParam();
  TBitmap buttons;
  GetThemeBitmap(style, 5, &buttons);
  TBitmap close;
  CutFrame(buttons, close, 18, 16);
  EXPECT_EQ(TSkinCanvas(close).Pixel(0, 0) == SkinKeyColor, GetThemeBool(style, 6) != 0);
  // The same for the push button's picture and its Transparent switch.
  TBitmap button;
  GetThemeBitmapFrame(style, 1, &button, 1, 3);
  EXPECT_EQ(TSkinCanvas(button).Pixel(0, 0) == SkinKeyColor, GetThemeBool(style, 2) != 0);
}

INSTANTIATE_TEST_SUITE_P(Styles, StylePicturesTest, testing::Range(1, 6),
                         [](const testing::TestParamInfo<int>& AInfo) {
                           return std::string(StyleNames[AInfo.param - 1]);
                         });

TEST(StyleResourcesTest, EveryResourceIsAPictureAndUnknownNamesAreEmpty) {
  for (const std::string& name : SkinResourceNames()) {
    TBitmap picture;
    EXPECT_TRUE(LoadSkinResource(name, picture)) << name;
    EXPECT_FALSE(picture.Empty()) << name;
  }
  for (const char* name :
       {"MORE_SCROLLBUTTON", "MENU_CHECKED", "MACOS_MENU_BAR", "MACOS_MENU_SELECT",
        "MACOS_FORM_BACKGROUND", "PROTEIN_FORM_BACKGROUND"}) {
    TBitmap picture;
    EXPECT_TRUE(LoadSkinResource(name, picture)) << name;
  }
  TBitmap picture(4, 4, 32);
  EXPECT_FALSE(LoadSkinResource("DEEPBLUE_SCROLLBUTTON", picture));
  EXPECT_TRUE(picture.Empty());
  EXPECT_FALSE(LoadSkinResource("", picture));
  // The menu's checked picture is masked by white and needs 20 rows of menu bar.
  TBitmap bar;
  ASSERT_TRUE(LoadSkinResource("MACOS_MENU_BAR", bar));
  EXPECT_GE(bar.Height(), 20);
}

TEST(StyleResourcesTest, APictureIsTheSameEachTime) {
  TBitmap a, b;
  LoadSkinResource("WINXP_TITLEBTN", a);
  LoadSkinResource("WINXP_TITLEBTN", b);
  EXPECT_EQ(a.Bits(), b.Bits());
  // A copy handed out is the caller's own.
  TSkinCanvas(a).SetPixel(0, 0, 0x123456);
  LoadSkinResource("WINXP_TITLEBTN", b);
  EXPECT_NE(TSkinCanvas(b).Pixel(0, 0), 0x123456);
}

TEST(StyleResourcesTest, TheMainWindowSkinsTitleIsSavedToo) {
  TkivBuiltInFileTheme theme;
  theme.SetSkinData(MainWindowSkinData());
  ASSERT_TRUE(theme.Ready());
  const TBitmap* left = theme.GetBitmap(0);
  const TBitmap* client = theme.GetBitmap(1);
  const TBitmap* right = theme.GetBitmap(2);
  const TBitmap* buttons = theme.GetBitmap(11);
  ASSERT_TRUE(left && client && right && buttons);
  TBitmap sheet(320, left->Height() + buttons->Height() + 8, 32);
  TSkinCanvas canvas(sheet);
  canvas.FillRect({0, 0, 320, sheet.Height()}, theme.GetColor(2));
  canvas.Draw(0, 0, *left);
  canvas.StretchDraw({left->Width(), 0, 320 - right->Width(), client->Height()}, *client,
                     {0, 0, client->Width(), client->Height()});
  canvas.Draw(320 - right->Width(), 0, *right);
  int x = 320 - theme.GetInt(3);
  for (const int frame : {16, 7, 13}) {
    TBitmap picture;
    theme.GetBitmapFrame(11, &picture, frame, 18);
    x -= picture.Width() + 1;
    canvas.Draw(x, theme.GetInt(4), picture);
  }
  canvas.Draw(4, left->Height() + 4, *buttons);
  SavePng(sheet, std::string(SKIN_TEST_OUTPUT_DIR) + "/skin-MainWindow.png");
}

} // namespace
