// The skinned title bar (see TitleBar.h): the bar, its lists of sections
// and buttons, how a style or a skin file dresses it, and its properties.
// Its painting, its buttons and its mouse handling are in TitleBarPaint.cpp,
// TitleBarButtons.cpp and TitleBarMouse.cpp.
#include "TitleBar.h"

#include "BuiltInStyles.h"
#include "FormFrame.h"
#include "TitleBarKeys.h"

#include <QApplication>
#include <QMessageBox>

// Sections -----------------------------------------------------------------

void TkivTitleBarSection::SetWidth(int AValue) {
  FWidth = AValue;
  if (FBar) FBar->update();
}

void TkivTitleBarSection::SetAlign(TkivTitleBarAlign AValue) {
  if (AValue == TkivTitleBarAlign::kivClient && FBar) {
    // The section itself counts too.
    for (const auto& section : FBar->FSections)
      if (section->FAlign == TkivTitleBarAlign::kivClient) {
        FBar->ShowRefusal("Sorry, only one section's Align property can be \"kivClient\"");
        return;
      }
  }
  FAlign = AValue;
  if (FBar) FBar->update();
}

void TkivTitleBarSection::SetPicture(const TBitmap& APicture) {
  FPicture = APicture;
  if (FAutoSize) FWidth = FPicture.Width();
  if (FBar) FBar->update();
}

void TkivTitleBarSection::SetStretch(bool AValue) {
  FStretch = AValue;
  if (FBar) FBar->update();
}

void TkivTitleBarSection::SetAutoSize(bool AValue) {
  FAutoSize = AValue;
  if (FAutoSize) FWidth = FPicture.Width();
  if (FBar) FBar->update();
}

void TkivTitleBarSection::SetCapSec(bool AValue) {
  FCapSec = AValue;
  if (FBar) FBar->update();
}

void TkivTitleBarSection::Assign(const TkivTitleBarSection& ASource) {
  FWidth = ASource.FWidth;
  FAlign = ASource.FAlign;
  FPicture = ASource.FPicture;
  FStretch = ASource.FStretch;
  FAutoSize = ASource.FAutoSize;
  if (FBar) FBar->update();
}

// The bar ------------------------------------------------------------------

TkivTitleBar::TkivTitleBar(QWidget* AParent)
    : QWidget(AParent), FSystemMenu(std::make_unique<TkivTitleBarPopupMenu>(this)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont font("Tahoma");
  font.setBold(true);
  setFont(font);
  for (TkivTitleBarBtnType type :
       {TkivTitleBarBtnType::kivControlBox, TkivTitleBarBtnType::kivClose,
        TkivTitleBarBtnType::kivMax, TkivTitleBarBtnType::kivMin})
    AddButton().FButtonType = type;
  SetUIStyle(GetFormUIStyle(AParent));
}

TkivTitleBar::~TkivTitleBar() = default;

TkivForm* TkivTitleBar::Form() const {
  return qobject_cast<TkivForm*>(parentWidget());
}

bool TkivTitleBar::ParentMaximized() const {
  return parentWidget() && window()->isMaximized();
}

TkivTitleBarSection& TkivTitleBar::AddSection() {
  FSections.push_back(std::make_unique<TkivTitleBarSection>(this));
  update();
  return *FSections.back();
}

void TkivTitleBar::ClearSections() {
  FSections.clear();
  update();
}

TkivTitleBarButton& TkivTitleBar::AddButton() {
  FButtons.push_back(std::make_unique<TkivTitleBarButton>(this));
  update();
  return *FButtons.back();
}

void TkivTitleBar::ClearButtons() {
  FButtons.clear();
  update();
}

void TkivTitleBar::ShowRefusal(const QString& AText) {
  QMessageBox::critical(this, QApplication::applicationName(), AText, QMessageBox::Ok);
}

void TkivTitleBar::SetFileTheme(TkivThemeComponent* ATheme) {
  FThemeLink.Set(ATheme, [this] { SetUIStyle(TkivUIStyle::DeepBlue); });
  ApplyStyleKeepingFont(true);
}

void TkivTitleBar::ApplyStyleKeepingFont(bool AKeep) {
  FKeepFontColor = AKeep;
  SetUIStyle(FUIStyle);
  FKeepFontColor = false;
}

void TkivTitleBar::SetUIStyle(TkivUIStyle AStyle) {
  FUIStyle = AStyle;
  if (FCustom) return;
  FSections.clear();
  const TkivStyleChoice choice = Choice();
  if (choice.UseFileTheme)
    ApplySkinFile(*FThemeLink.Theme());
  else
    ApplyBuiltIn(choice.Style);
  const TkivUIStyle effective = choice.UseFileTheme ? TkivUIStyle::FromThemeFile : choice.Style;
  for (const auto& button : FButtons) {
    button->FUIStyle = effective;
    button->ApplyTheme();
  }
  FSystemMenu->SetUIStyle(AStyle);
  FSystemMenu->SetFileTheme(FThemeLink.Get());
  if (!FKeepFontColor) {
    if (choice.Style == TkivUIStyle::MacOS)
      FFontColor = 0;
    else if (choice.UseFileTheme)
      FFontColor = FThemeLink.Theme()->GetColor(TitleFontColorKey);
    else
      FFontColor = 0xFFFFFF;
  }
  SetAutoSize(FAutoSize);
  update();
}

void TkivTitleBar::ApplySkinFile(const TkivFileTheme& ATheme) {
  FFiveSection = ATheme.GetBool(FiveSectKey) != 0;
  FTransparentColor = ATheme.GetColor(TransColorKey);
  auto add = [&](uint8_t AKey) -> TkivTitleBarSection& {
    TkivTitleBarSection& section = AddSection();
    if (const TBitmap* picture = ATheme.GetBitmap(AKey)) section.FPicture = *picture;
    return section;
  };
  add(TitleBar1).SetAutoSize(true);
  TkivTitleBarSection& second = add(TitleBar2);
  if (FFiveSection)
    second.FCapSec = true;
  else
    second.FAlign = TkivTitleBarAlign::kivClient;
  TkivTitleBarSection& third = add(TitleBar3);
  third.SetAutoSize(true);
  if (!FFiveSection) third.FAlign = TkivTitleBarAlign::kivRight;
  if (FFiveSection) {
    add(TitleBar4).FAlign = TkivTitleBarAlign::kivClient;
    TkivTitleBarSection& fifth = add(TitleBar5);
    fifth.SetAutoSize(true);
    fifth.FAlign = TkivTitleBarAlign::kivRight;
  }
  FLeftBtnXOffset = ATheme.GetInt(IconPosXKey);
  FRightBtnXOffset = ATheme.GetInt(ButtonPosXKey);
  FButtonTop = ATheme.GetInt(ButtonPosYKey);
  FIconTop = ATheme.GetInt(IconPosYKey);
  FCaptionTop = ATheme.GetInt(CaptionTopKey);
  FFormColor = ATheme.GetColor(FormColorKey);
  if (Form()) {
    FButtonTop -= 3;
    FIconTop -= 3;
  }
  if (parentWidget()) {
    auto width = [&](uint8_t AKey) {
      const TBitmap* picture = ATheme.GetBitmap(AKey);
      return picture ? picture->Width() : 0;
    };
    const int buttons =
        FRightBtnXOffset + width(TitleButtonsKey) / TitleButtonFrames * ButtonCount();
    const int minimum = FFiveSection ? width(TitleBar1) + width(TitleBar3) +
                                           std::max(buttons, width(TitleBar5)) + 16
                                     : width(TitleBar1) + std::max(buttons, width(TitleBar3));
    window()->setMinimumWidth(minimum);
  }
}

void TkivTitleBar::ApplyBuiltIn(TkivUIStyle AStyle) {
  const int style = StyleNumber(AStyle);
  auto add = [&](int APosition) -> TkivTitleBarSection& {
    TkivTitleBarSection& section = AddSection();
    GetThemeBitmapFrame(style, APosition, &section.FPicture, 0, 0);
    return section;
  };
  add(10).SetAutoSize(true);
  TkivTitleBarSection& right = add(12);
  right.SetAutoSize(true);
  right.FAlign = TkivTitleBarAlign::kivRight;
  add(11).FAlign = TkivTitleBarAlign::kivClient;
  FFiveSection = false;
  FLeftBtnXOffset = GetThemeInt(style, 7);
  FRightBtnXOffset = GetThemeInt(style, 8);
  FButtonTop = GetThemeInt(style, 9) - (Form() ? 3 : 0);
  FIconTop = FButtonTop;
  // Built-in pictures are drawn over the style's own form colour.
  FFormColor = GetThemeColor(style, 15);
  if (parentWidget()) {
    window()->setMinimumWidth(GetThemeInt(style, 13));
    window()->setMinimumHeight(50);
  }
  FRoundCorner = GetThemeInt(style, 14);
  FRoundCornerBottom = 0;
}

void TkivTitleBar::SetAutoSize(bool AValue) {
  FAutoSize = AValue;
  if (FSections.empty()) {
    FAutoSize = false;
    return;
  }
  const int height = FSections[0]->FPicture.Height() - (Form() ? 3 : 0);
  setFixedHeight(std::max(height, 0));
}

void TkivTitleBar::SetButtonInterval(int AValue) {
  FButtonInterval = AValue;
  update();
}
void TkivTitleBar::SetCaption(const QString& AValue) {
  FCaption = AValue;
  update();
}
void TkivTitleBar::SetFormActive(bool AValue) {
  FFormActive = AValue;
  update();
}
void TkivTitleBar::SetLeftBtnXOffset(int AValue) {
  FLeftBtnXOffset = AValue;
  update();
}
void TkivTitleBar::SetRightBtnXOffset(int AValue) {
  FRightBtnXOffset = AValue;
  update();
}
void TkivTitleBar::SetDrawAppIcon(bool AValue) {
  FDrawAppIcon = AValue;
  update();
}
void TkivTitleBar::SetInactiveCaptionColor(TColor AValue) {
  FInactiveCaptionColor = AValue;
  update();
}

const TBitmap* TkivTitleBar::GetTitleImage(int AIndex) const {
  if (AIndex == -1) return &FFullTitleImage;
  if (AIndex == -2) return &FBackedTitleImage;
  if (SectionCount() > 2 && AIndex >= 0 && AIndex < SectionCount())
    return &FSections[AIndex]->FPicture;
  return nullptr;
}

void TkivTitleBar::RefreshMaxButtons() {
  for (const auto& button : FButtons)
    if (button->FButtonType == TkivTitleBarBtnType::kivMax) button->ApplyTheme();
  update();
}

int TkivTitleBar::SideBorder() const {
  const TkivForm* form = Form();
  return form ? form->SideBorderWidth() : 0;
}
