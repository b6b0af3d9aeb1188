// The main window's skin: the skinned frame (title bar, menu bar, borders)
// around the window's controls, the picture-shaped form the window carries
// without a picture, the window's own stored skin, and the theme manager that
// hands that skin and its style to the frame and the settings arrow. The
// picture buttons get their pictures here.
#include "MainForm.h"

#include "ArrowButton.h"
#include "ButtonPictures.h"
#include "FormFrame.h"
#include "ImageButton.h"
#include "MainWindowSkin.h"
#include "SkinForm.h"
#include "SkinMenu.h"
#include "ThemeManager.h"

#include <QLayout>

namespace {

// The recording buttons' size: four of them and the arrow fit the window's
// 433 pixels; the share buttons are square.
constexpr int GlyphButtonWidth = 90, GlyphButtonHeight = 28;
constexpr int ShareButtonSize = 32;

} // namespace

void TfrmMain::CreateSkin() {
  kivBuiltInFileTheme1 = new TkivThemeComponent(this);
  kivBuiltInFileTheme1->setObjectName("kivBuiltInFileTheme1");
  kivBuiltInFileTheme1->SetSkinData(MainWindowSkinData());

  // Without a picture it shapes nothing, and the frame covers the whole
  // window: it stays hidden, so it takes no clicks either.
  kivSkinForm1 = new TkivSkinForm(this);
  kivSkinForm1->setObjectName("kivSkinForm1");
  kivSkinForm1->SetTransparentColor(0xFF00FF);
  kivSkinForm1->hide();

  kivForm1 = new TkivForm(this);
  kivForm1->setObjectName("kivForm1");
  // The controls and their layout move onto a panel that the frame places
  // under its title bar and menu bar: a layout set on another widget leaves
  // the window and takes its widgets along.
  auto* client = new QWidget;
  client->setObjectName("kivFormPanel");
  client->setLayout(layout());
  kivForm1->SetFormPanel(client);
  kivForm1->SetMenu(MainMenu1);
  kivForm1->installEventFilter(this); // its layout requests: FitSize

  kivThemeManager1 = new TkivThemeManager(this);
  kivThemeManager1->setObjectName("kivThemeManager1");
  kivThemeManager1->SetCompList({"kivForm1", "arrbtnSetings"});
  kivThemeManager1->SetFileTheme(kivBuiltInFileTheme1);
  kivThemeManager1->SetUIStyle(TkivUIStyle::FromThemeFile);

  arrbtnSetings->SetArrow(TkivArrowButtonType::kivDown);
  arrbtnSetings->SetAutoSize(true);
  arrbtnSetings->setFixedSize(arrbtnSetings->size());

  const TkivFileTheme* theme = &kivBuiltInFileTheme1->Theme();
  const struct {
    TkivImageButton* Button;
    TButtonGlyph Glyph;
  } glyphed[] = {{btnStart, TButtonGlyph::Record},  {btnPause, TButtonGlyph::Pause},
                 {btnResume, TButtonGlyph::Resume}, {btnStop, TButtonGlyph::Stop},
                 {btnSelect, TButtonGlyph::Region}, {btnDesktop, TButtonGlyph::Screen}};
  for (const auto& g : glyphed)
    SetButtonPictures(*g.Button,
                      GlyphButtonPictures(theme, g.Glyph, GlyphButtonWidth, GlyphButtonHeight));

  const struct {
    TkivImageButton* Button;
    QColor Color;
    const char* Letter;
  } shares[] = {{imgbtnreddit, QColor(0xFF, 0x45, 0x00), "r"},
                {imgbtnstumbleupon, QColor(0xEB, 0x49, 0x24), "S"},
                {imgbtndigg, QColor(0x1B, 0x58, 0x91), "D"},
                {imgbtndelicious, QColor(0x33, 0x99, 0xFF), "d"},
                {imgbtntw, QColor(0x1D, 0xA1, 0xF2), "t"},
                {imgbtngoogle, QColor(0xDD, 0x4B, 0x39), "G"},
                {imgbtnfc, QColor(0x3B, 0x59, 0x98), "f"}};
  for (const auto& s : shares) {
    SetButtonPictures(*s.Button, ShareButtonPictures(theme, s.Color, s.Letter, ShareButtonSize));
    // The picture names the service; its name stays as the hint.
    s.Button->SetCaption({});
  }
}
