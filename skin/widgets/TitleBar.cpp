// The skinned title bar (see TitleBar.h).
#include "TitleBar.h"

#include "BuiltInStyles.h"
#include "FormFrame.h"
#include "SkinCanvas.h"
#include "SkinColor.h"
#include "SkinDraw.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {
// Skin keys of the title bar.
constexpr uint8_t TitleBar1 = 0, TitleBar2 = 1, TitleBar3 = 2, TitleBar4 = 3, TitleBar5 = 4;
constexpr uint8_t TitleButtonsKey = 11;
constexpr uint8_t TitleFontColorKey = 1, FormColorKey = 2, TransColorKey = 0;
constexpr uint8_t IconPosXKey = 0, IconPosYKey = 1, CaptionTopKey = 2, ButtonPosXKey = 3,
                  ButtonPosYKey = 4;
constexpr uint8_t FiveSectKey = 0, TitleBtnTransKey = 4;
constexpr int TitleButtonFrames = 18;

// The first of the three frames (normal, mouse on, pressed) of each kind.
int FirstFrame(TkivTitleBarBtnType AType, bool ARestore) {
  switch (AType) {
  case TkivTitleBarBtnType::kivControlBox:
    return 1;
  case TkivTitleBarBtnType::kivHelp:
    return 4;
  case TkivTitleBarBtnType::kivMax:
    return ARestore ? 10 : 7;
  case TkivTitleBarBtnType::kivMin:
    return 13;
  case TkivTitleBarBtnType::kivClose:
    return 16;
  case TkivTitleBarBtnType::kivCustom:
    break;
  }
  return 0;
}

QRect MaximizedPlace(const QWidget* AWindow) {
  const QScreen* screen = AWindow->screen() ? AWindow->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().adjusted(-2, -2, 2, -1) : QRect();
}
} // namespace

// Buttons ------------------------------------------------------------------

void TkivTitleBarButton::Changed() {
  if (FBar) FBar->update();
}

void TkivTitleBarButton::SetVisible(bool AValue) {
  FVisible = AValue;
  Changed();
}

void TkivTitleBarButton::SetButtonType(TkivTitleBarBtnType AValue) {
  if (AValue == TkivTitleBarBtnType::kivControlBox && FBar) {
    for (const auto& button : FBar->FButtons)
      if (button->FButtonType == TkivTitleBarBtnType::kivControlBox) {
        FBar->ShowRefusal("Sorry, only one button's ButtonType property can be \"kivControlBox\"");
        return;
      }
  }
  FButtonType = AValue;
  ApplyTheme();
  Changed();
}

void TkivTitleBarButton::SetTransparent(bool AValue) {
  FTransparent = AValue;
  Changed();
}

void TkivTitleBarButton::SetTop(int AValue) {
  FTop = AValue;
  Changed();
}

void TkivTitleBarButton::SetUIStyle(TkivUIStyle AValue) {
  FUIStyle = AValue;
  ApplyTheme();
  Changed();
}

void TkivTitleBarButton::SetPicNormal(const TBitmap& APicture) {
  FPicNormal = APicture;
  Changed();
}
void TkivTitleBarButton::SetPicMouseOn(const TBitmap& APicture) {
  FPicMouseOn = APicture;
  Changed();
}
void TkivTitleBarButton::SetPicMouseDown(const TBitmap& APicture) {
  FPicMouseDown = APicture;
  Changed();
}

void TkivTitleBarButton::SetControlBoxMenu(QMenu* AMenu) {
  FControlBoxMenu = AMenu;
  Changed();
}

void TkivTitleBarButton::Assign(const TkivTitleBarButton& ASource) {
  FVisible = ASource.FVisible;
  FButtonType = ASource.FButtonType;
  FTransparent = ASource.FTransparent;
  FTop = ASource.FTop;
  FUIStyle = ASource.FUIStyle;
  FPicNormal = ASource.FPicNormal;
  FPicMouseOn = ASource.FPicMouseOn;
  FPicMouseDown = ASource.FPicMouseDown;
  FControlBoxMenu = ASource.FControlBoxMenu;
  Changed();
}

void TkivTitleBarButton::ApplyTheme() {
  const TkivFileTheme* theme = FBar ? FBar->FThemeLink.Theme() : nullptr;
  const TkivStyleChoice choice = UsingFileTheme(theme, FUIStyle);
  const int style = StyleNumber(choice.Style);
  FTransparent =
      (choice.UseFileTheme ? theme->GetBool(TitleBtnTransKey) : GetThemeBool(style, 6)) != 0;
  if (FButtonType == TkivTitleBarBtnType::kivCustom) return;
  const bool restore = FButtonType == TkivTitleBarBtnType::kivMax && FBar && !FBar->FCustom &&
                       FBar->ParentMaximized();
  const int first = FirstFrame(FButtonType, restore);
  TBitmap* pictures[3] = {&FPicNormal, &FPicMouseOn, &FPicMouseDown};
  for (int i = 0; i < 3; ++i)
    *pictures[i] =
        SkinPictureFrame(theme, FUIStyle, 5, TitleButtonsKey, first + i, TitleButtonFrames);
  FTop = choice.UseFileTheme ? theme->GetInt(ButtonPosYKey) : GetThemeInt(style, 9);
}

void TkivTitleBarButton::PerformAction() {
  if (!FBar || !FBar->parentWidget()) return;
  QWidget* form = FBar->window();
  switch (FButtonType) {
  case TkivTitleBarBtnType::kivMax:
    if (form->isMaximized()) {
      form->showNormal();
    } else {
      // Inside a skinned frame the frame places the maximised window itself.
      // Qt drops the maximised state when a window is placed, so the place
      // comes first.
      if (!FBar->Form()) form->setGeometry(MaximizedPlace(form));
      form->setWindowState((form->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }
    FBar->RefreshMaxButtons();
    break;
  case TkivTitleBarBtnType::kivMin:
    form->showMinimized();
    break;
  case TkivTitleBarBtnType::kivClose:
    form->close();
    break;
  case TkivTitleBarBtnType::kivControlBox:
    if (FControlBoxMenu) {
      QPoint at = FBar->mapToGlobal(QPoint(0, FBar->height()));
      at.setX(std::max(at.x(), 0));
      FControlBoxMenu->popup(at);
    }
    break;
  case TkivTitleBarBtnType::kivHelp:
  case TkivTitleBarBtnType::kivCustom:
    break;
  }
}

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

// System menu --------------------------------------------------------------

TkivTitleBarPopupMenu::TkivTitleBarPopupMenu(TkivTitleBar* ABar) : TkivPopupMenu(ABar), FBar(ABar) {
  setObjectName("TitleBarPopupMenu");
  FMinimize = addAction(QString::fromUtf8("最小化(&N)"));
  FMaximize = addAction(QString::fromUtf8("最大化/还原(&X)"));
  addSeparator();
  FClose = addAction(QString::fromUtf8("关闭(&C)"));
  connect(FMinimize, &QAction::triggered, this, [this] {
    if (qApp) FBar->window()->showMinimized();
  });
  connect(FMaximize, &QAction::triggered, this, [this] {
    for (int i = 0; i < FBar->ButtonCount(); ++i) {
      TkivTitleBarButton& button = FBar->Button(i);
      if (button.Visible() && button.ButtonType() == TkivTitleBarBtnType::kivMax)
        button.PerformAction();
    }
  });
  connect(FClose, &QAction::triggered, this, [this] { FBar->window()->close(); });
  connect(this, &QMenu::aboutToShow, this, [this] { EnableItems(); });
}

void TkivTitleBarPopupMenu::EnableItems() {
  auto has = [this](TkivTitleBarBtnType AType) {
    for (int i = 0; i < FBar->ButtonCount(); ++i)
      if (FBar->Button(i).Visible() && FBar->Button(i).ButtonType() == AType) return true;
    return false;
  };
  FMinimize->setEnabled(has(TkivTitleBarBtnType::kivMin));
  FMaximize->setEnabled(has(TkivTitleBarBtnType::kivMax));
  FClose->setEnabled(has(TkivTitleBarBtnType::kivClose));
}

void TkivTitleBarPopupMenu::PopupAt(const QPoint& AGlobal) {
  EnableItems();
  popup(AGlobal);
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

int TkivTitleBar::ButtonsWidth() const {
  int width = 0;
  for (const auto& button : FButtons)
    width += button->FPicNormal.Width() + FButtonInterval;
  return width;
}

QFont TkivTitleBar::CaptionFont() const {
  return font();
}

void TkivTitleBar::PaintSections(TBitmap& ABitmap) {
  FShortCaption.clear();
  if (!parentWidget()) return;
  int ix = 0, iy = 0;
  if (Form()) {
    const int answer = SideBorder();
    ix = answer == 0 ? -3 : -answer;
    iy = -3;
  }
  const int width = ABitmap.Width();
  const int fullWidth = width - 2 * ix;
  const int fullHeight = ABitmap.Height() - iy;
  FFullTitleImage = FilledBitmap(fullWidth, fullHeight, FFormColor);
  FBackedTitleImage = FilledBitmap(fullWidth, fullHeight, FFormColor);
  TSkinCanvas bar(ABitmap);
  TSkinCanvas full(FFullTitleImage);
  const QFontMetrics metrics(CaptionFont());
  auto measure = [&](const std::string& AText) {
    return metrics.horizontalAdvance(QString::fromStdString(AText));
  };

  int left = ix, right = width - ix, lastLeftWidth = 0;
  const TkivTitleBarSection* client = nullptr;
  bool captionDrawn = false;
  for (size_t i = 0; i < FSections.size(); ++i) {
    const TkivTitleBarSection& section = *FSections[i];
    const TBitmap& picture = section.FPicture;
    const int pw = picture.Width(), ph = picture.Height();
    const TRect whole{0, 0, pw, ph};
    if (section.FCapSec) {
      const int next = i + 1 < FSections.size() ? FSections[i + 1]->FWidth : 0;
      const int limit = width - FLeftBtnXOffset - ButtonsWidth() - next - 21;
      FShortCaption = QString::fromStdString(EllipsisText(measure, FCaption.toStdString(), limit));
      const int w = metrics.horizontalAdvance(FShortCaption) + FLeftBtnXOffset - lastLeftWidth + 17;
      bar.StretchDraw({left, iy, left + w, iy + ph}, picture, whole);
      full.StretchDraw({left - ix, 0, left + w - ix, ph}, picture, whole);
      left += w;
      captionDrawn = true;
      continue;
    }
    switch (section.FAlign) {
    case TkivTitleBarAlign::kivLeft:
      bar.Draw(left, iy, picture);
      full.Draw(left - ix, 0, picture);
      left += pw;
      lastLeftWidth = pw;
      break;
    case TkivTitleBarAlign::kivRight: {
      // The right end's key colour shows the form colour on the bar.
      TBitmap backed = FilledBitmap(pw, ph, FFormColor);
      TSkinCanvas backedCanvas(backed);
      backedCanvas.Draw(0, 0, picture, FTransparentColor);
      bar.Draw(right - pw, iy, backed);
      full.Draw(right - ix - pw, 0, picture);
      right -= pw;
      break;
    }
    case TkivTitleBarAlign::kivClient:
      client = &section;
      break;
    }
  }
  if (client) {
    const TBitmap& picture = client->FPicture;
    const TRect whole{0, 0, picture.Width(), picture.Height()};
    bar.StretchDraw({left, iy, right, iy + picture.Height()}, picture, whole);
    full.StretchDraw({left - ix, 0, right - ix, picture.Height()}, picture, whole);
  }
  TSkinCanvas backed(FBackedTitleImage);
  TkivForm* form = Form();
  const bool keyed = form && form->TitleNeedsRegion();
  backed.Draw(0, 0, FFullTitleImage,
              keyed ? std::optional<TColor>(FTransparentColor) : std::optional<TColor>());
  if (captionDrawn && form)
    form->update();
  else
    FShortCaption.clear();
}

std::vector<QRect> TkivTitleBar::ButtonRects() const {
  std::vector<QRect> rects(FButtons.size());
  const int width = this->width();
  const int answer = SideBorder();
  int d = width - FRightBtnXOffset + answer - 1;
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    if (!button.FVisible || button.FPicNormal.Empty() || button.FPicMouseOn.Empty() ||
        button.FPicMouseDown.Empty())
      continue;
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox) continue;
    const int pw = button.FPicNormal.Width();
    d -= button.FButtonType == TkivTitleBarBtnType::kivClose ? pw : pw + FButtonInterval + 1;
    if (d + pw + 1 > width) d = width - pw - 1;
    rects[i] = QRect(d, FButtonTop, pw, button.FPicNormal.Height());
  }
  int x = std::max(FLeftBtnXOffset - answer - 3, 0);
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    if (button.FButtonType != TkivTitleBarBtnType::kivControlBox || !button.FVisible ||
        button.FPicNormal.Empty() || button.FPicMouseOn.Empty() || button.FPicMouseDown.Empty())
      continue;
    rects[i] = QRect(x, FIconTop, button.FPicNormal.Width(), button.FPicNormal.Height());
  }
  return rects;
}

int TkivTitleBar::ButtonAt(const QPoint& APoint) const {
  const std::vector<QRect> rects = ButtonRects();
  for (size_t i = 0; i < rects.size(); ++i) {
    if (rects[i].isEmpty()) continue;
    const TkivTitleBarButton& button = *FButtons[i];
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox && !FDrawAppIcon) continue;
    // Edges count as inside.
    const QRect& r = rects[i];
    if (PointInRect({APoint.x(), APoint.y()},
                    {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}))
      return static_cast<int>(i);
  }
  return -1;
}

void TkivTitleBar::PaintButtons(TBitmap& ABitmap) {
  FCaptionText.clear();
  if (!parentWidget()) return;
  TSkinCanvas canvas(ABitmap);
  const bool fromFile = Choice().UseFileTheme;
  const std::vector<QRect> rects = ButtonRects();
  const QPoint cursor = mapFromGlobal(QCursor::pos());
  FHotButton = -1;
  int d = ABitmap.Width() - FRightBtnXOffset + SideBorder() - 1;
  int x = std::max(FLeftBtnXOffset - SideBorder() - 3, 0);
  for (size_t i = 0; i < FButtons.size(); ++i) {
    const TkivTitleBarButton& button = *FButtons[i];
    const QRect& r = rects[i];
    if (r.isEmpty()) continue;
    const TRect place{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    const bool inside = PointInRect({cursor.x(), cursor.y()}, place);
    auto drawState = [&](int AX, int AY, bool AHot) {
      const TBitmap& picture =
          AHot ? (FPressed ? button.FPicMouseDown : button.FPicMouseOn) : button.FPicNormal;
      std::optional<TColor> key;
      if (button.FTransparent)
        key = fromFile ? FTransparentColor
                       : PixelToColor(BitmapPixel(picture, 0, picture.Height() - 1));
      canvas.Draw(AX, AY, picture, key);
    };
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox) {
      // Only the application icon takes the mouse; a control box picture is
      // drawn by its state.
      if (FDrawAppIcon) {
        if (inside) FHotButton = static_cast<int>(i);
        const QIcon icon = QApplication::windowIcon();
        if (!icon.isNull()) {
          const TBitmap picture = ToBitmap(icon.pixmap(16, 16).toImage());
          canvas.Draw(x + 3, FIconTop, picture);
        }
        x += 21;
      } else {
        drawState(x, FIconTop - 1, inside);
        x += button.FPicNormal.Width() + 5;
      }
      continue;
    }
    if (inside) FHotButton = static_cast<int>(i);
    drawState(r.left(), r.top(), inside);
    d = r.left();
  }
  if (x == 0) x = 6;
  FCaptionColor = FFormActive ? FFontColor : FInactiveCaptionColor;

  const QFontMetrics metrics(CaptionFont());
  QString text = FShortCaption;
  if (text.isEmpty()) {
    if (metrics.horizontalAdvance(FCaption) <= d - x) {
      text = FCaption;
    } else {
      QString prefix = FCaption;
      while (!prefix.isEmpty() && metrics.horizontalAdvance(prefix + "...") > d - x)
        prefix.chop(1);
      text = prefix + "...";
    }
  }
  if (FCaption.isEmpty()) text.clear();
  FCaptionText = text;
  const int top =
      fromFile ? FCaptionTop - 3 : FButtonTop + (Choice().Style == TkivUIStyle::Protein ? 3 : 0);
  FCaptionRightAligned = layoutDirection() == Qt::RightToLeft;
  if (FCaptionRightAligned)
    FCaptionRect = QRect(x, top, std::max(d - 10 - x, 0), metrics.height());
  else
    FCaptionRect = QRect(x, top, std::max(ABitmap.Width() - x, 0), metrics.height());
}

QImage TkivTitleBar::Render() {
  TBitmap picture = FilledBitmap(width(), height(), FFormColor);
  PaintSections(picture);
  PaintButtons(picture);
  QImage image = ToQImage(picture);
  if (!FCaptionText.isEmpty()) {
    QPainter painter(&image);
    painter.setFont(CaptionFont());
    painter.setPen(ToQColor(FCaptionColor));
    painter.drawText(FCaptionRect,
                     (FCaptionRightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop |
                         Qt::TextSingleLine,
                     FCaptionText);
  }
  return image;
}

void TkivTitleBar::paintEvent(QPaintEvent*) {
  const QImage image = Render();
  QPainter painter(this);
  painter.drawImage(0, 0, image);
}

void TkivTitleBar::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  FPressed = true;
  FHotButton = ButtonAt(AEvent->position().toPoint());
  update();
  // A maximised form stays where it is.
  if (parentWidget() && FHotButton == -1 && !window()->isMaximized()) {
    FPressed = false;
    QWindow* handle = window()->windowHandle();
    if (!handle || !handle->startSystemMove()) {
      // Without a window manager that moves windows, the bar moves it.
      FDragging = true;
      FDragStart = AEvent->globalPosition().toPoint();
      FWindowStart = window()->pos();
    }
  }
}

void TkivTitleBar::mouseMoveEvent(QMouseEvent* AEvent) {
  if (FDragging && (AEvent->buttons() & Qt::LeftButton))
    window()->move(FWindowStart + AEvent->globalPosition().toPoint() - FDragStart);
  update();
}

void TkivTitleBar::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  FDragging = false;
  const int hot = ButtonAt(AEvent->position().toPoint());
  if (hot >= 0 && FPressed) {
    TkivTitleBarButton& button = *FButtons[hot];
    if (button.FButtonType == TkivTitleBarBtnType::kivControlBox && !button.FControlBoxMenu) {
      FSystemMenu->PopupAt(mapToGlobal(QPoint(0, height())));
    } else {
      const TkivTitleBarBtnType type = button.FButtonType;
      button.PerformAction();
      if (type == TkivTitleBarBtnType::kivCustom && OnCustomBtnsClick) OnCustomBtnsClick(this, hot);
      if (type == TkivTitleBarBtnType::kivHelp && OnHelpBtnClick) OnHelpBtnClick(this, hot);
    }
  }
  FPressed = false;
  update();
}

void TkivTitleBar::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  const int hot = ButtonAt(AEvent->position().toPoint());
  if (hot == -1) {
    for (const auto& button : FButtons)
      if (button->FVisible && button->FButtonType == TkivTitleBarBtnType::kivMax) {
        button->PerformAction();
        break;
      }
  } else if (FButtons[hot]->FButtonType == TkivTitleBarBtnType::kivControlBox) {
    window()->close();
  }
}

void TkivTitleBar::leaveEvent(QEvent* AEvent) {
  QWidget::leaveEvent(AEvent);
  update();
}
