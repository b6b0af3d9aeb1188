// The skinned push buttons' common base (see CustomButton.h).
#include "CustomButton.h"

#include "BuiltInStyles.h"
#include "SkinCanvas.h"
#include "SkinColor.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr uint8_t SkinButtonKey = 15; // "SKIN2_BUTTON"
constexpr int ButtonPosition = 1;
constexpr int EmptyStripWidth = 74;
constexpr int EmptyStripHeight = 21;

bool IsEnterKey(int AKey) {
  return AKey == Qt::Key_Return || AKey == Qt::Key_Enter;
}
} // namespace

TkivCustomButton::TkivCustomButton(QWidget* AParent) : QWidget(AParent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_NoSystemBackground);
  FUIStyle = GetFormUIStyle(AParent);
  resize(75, 25);
}

TkivCustomButton::~TkivCustomButton() = default;

void TkivCustomButton::SetAutoSize(bool AValue) {
  FAutoSize = AValue;
  AutoSizeChanged();
  update();
}

void TkivCustomButton::SetCaption(const QString& AValue) {
  FCaption = AValue;
  setWindowTitle(AValue);
  UpdateShortcuts();
  CaptionChanged();
  update();
}

void TkivCustomButton::SetCancel(bool AValue) {
  FCancel = AValue;
  UpdateShortcuts();
}

void TkivCustomButton::SetDefault(bool AValue) {
  FDefault = AValue;
  FDefaultActive = AValue;
  UpdateShortcuts();
  update();
}

void TkivCustomButton::SetTransparent(bool AValue) {
  FTransparent = AValue;
  TransparentChanged();
  update();
}

void TkivCustomButton::SetFocusedRectMargin(int AValue) {
  FFocusedRectMargin = AValue;
  update();
}

void TkivCustomButton::SetColor(TColor AValue) {
  FColor = AValue;
  update();
}

void TkivCustomButton::SetEnabled(bool AValue) {
  setEnabled(AValue);
  EnabledChanged();
  update();
}

void TkivCustomButton::SetBaseUIStyle(TkivUIStyle AValue) {
  FUIStyle = AValue;
  UIStyleChanged();
  update();
}

void TkivCustomButton::SetBaseFileTheme(TkivThemeComponent* AValue) {
  // A removed theme leaves the button on DeepBlue.
  FThemeLink.Set(AValue, [this] { SetBaseUIStyle(TkivUIStyle::DeepBlue); });
}

void TkivCustomButton::AutoSizeChanged() {
  if (!FAutoSize) return;
  // The built-in strip of the stored style, whole; FromThemeFile has none.
  TBitmap strip;
  GetThemeBitmapFrame(StyleNumber(FUIStyle), ButtonPosition, &strip, 0, 0);
  const int width = strip.Empty() ? EmptyStripWidth : strip.Width();
  const int height = strip.Empty() ? EmptyStripHeight : strip.Height();
  resize(width / 3, height);
}

void TkivCustomButton::TransparentChanged() {
  FPictureTransparent = FTransparent;
  update();
}

TBitmap TkivCustomButton::StripFrame(int AFrame) {
  return SkinPictureFrame(FThemeLink.Theme(), FUIStyle, ButtonPosition, SkinButtonKey, AFrame, 3);
}

TBitmap TkivCustomButton::GetNormalPic() {
  return StripFrame(1);
}
TBitmap TkivCustomButton::GetMouseOnPic() {
  return StripFrame(2);
}
TBitmap TkivCustomButton::GetMouseDownPic() {
  return StripFrame(3);
}
TBitmap TkivCustomButton::GetDisabledPic() {
  return StripFrame(1);
}

TColor TkivCustomButton::TopLeftColor(const TBitmap& APicture) {
  return PixelToColor(BitmapPixel(APicture, 0, 0));
}

QImage TkivCustomButton::Greyed(const QImage& AImage) {
  QImage image = AImage.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int grey = qGray(row[x]);
      row[x] = qRgba(grey, grey, grey, qAlpha(row[x]));
    }
  }
  return image;
}

void TkivCustomButton::PaintPic(QPainter& ACanvas, const TBitmap& APicture) {
  if (APicture.Empty()) return;
  QImage image =
      FPictureTransparent ? KeyedImage(APicture, TopLeftColor(APicture)) : ToQImage(APicture);
  if (!isEnabled()) image = Greyed(image);
  ACanvas.drawImage(0, 0, image);
}

void TkivCustomButton::PaintText(QPainter& ACanvas) {
  ACanvas.setFont(font());
  const int flags = Qt::TextWordWrap | Qt::TextExpandTabs;
  auto drawCaption = [&](const QRect& ABounds, const QColor& AColor) {
    const QRect measured = ACanvas.boundingRect(ABounds, flags, FCaption);
    QRect place = measured;
    place.moveTo(ABounds.left() + (ABounds.width() - measured.width()) / 2,
                 ABounds.top() + (ABounds.height() - measured.height()) / 2);
    ACanvas.setPen(AColor);
    ACanvas.drawText(place, flags, FCaption);
  };
  QRect bounds = rect();
  if (FPressed) bounds.translate(1, 1);
  if (!isEnabled()) {
    drawCaption(rect().translated(1, 1), QColor(0xFF, 0xFF, 0xFF));
    drawCaption(rect(), QColor(0x80, 0x80, 0x80));
    return;
  }
  drawCaption(bounds, palette().color(QPalette::ButtonText));
}

void TkivCustomButton::PaintFocus(QPainter& ACanvas) {
  const int m = FFocusedRectMargin;
  QPen pen(Qt::black);
  pen.setStyle(Qt::DotLine);
  ACanvas.setPen(pen);
  ACanvas.setBrush(Qt::NoBrush);
  ACanvas.drawRect(QRect(m, m, width() - 2 * m - 1, height() - 2 * m - 1));
}

void TkivCustomButton::paintEvent(QPaintEvent*) {
  TBitmap picture;
  try {
    if (!isEnabled())
      picture = GetDisabledPic();
    else if (FPressed)
      picture = GetMouseDownPic();
    else if (FHover)
      picture = GetMouseOnPic();
    else
      picture = GetNormalPic();
  } catch (...) {
    picture.SetSize(EmptyStripWidth, EmptyStripHeight, 32);
  }
  QPainter canvas(this);
  // A transparent button lets its parent's picture show through: Qt paints
  // the parent under a widget that fills nothing.
  if (!FTransparent) canvas.fillRect(rect(), ToQColor(FColor));
  PaintPic(canvas, picture);
  if (hasFocus() && TabStop()) PaintFocus(canvas);
  canvas.setFont(font());
  if (!FCaption.trimmed().isEmpty()) PaintText(canvas);
}

void TkivCustomButton::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) {
    FPressed = true;
    if (!FRepeatTimer) {
      FRepeatTimer = std::make_unique<QTimer>();
      FRepeatTimer->setInterval(std::max(FRepeatInterval, 0));
      connect(FRepeatTimer.get(), &QTimer::timeout, this, [this] {
        if (OnMouseContinuouslyDown) OnMouseContinuouslyDown(this);
      });
      FRepeatTimer->start();
    }
    if (TabStop() && isEnabled() && isVisible()) setFocus(Qt::MouseFocusReason);
    update();
  }
  QWidget::mousePressEvent(AEvent);
}

void TkivCustomButton::mouseDoubleClickEvent(QMouseEvent* AEvent) {
  // The button takes no double clicks: the second press is a press, so a
  // double click gives two clicks.
  mousePressEvent(AEvent);
}

void TkivCustomButton::mouseReleaseEvent(QMouseEvent* AEvent) {
  QWidget::mouseReleaseEvent(AEvent);
  if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint())) Click();
}

void TkivCustomButton::mouseMoveEvent(QMouseEvent* AEvent) {
  QWidget::mouseMoveEvent(AEvent);
  // The right and bottom edges (x = Width, y = Height) still count as inside.
  const QPoint at = AEvent->position().toPoint();
  if (at.x() < 0 || at.y() < 0 || at.x() > width() || at.y() > height()) {
    FHover = false;
    FPressed = false;
    update();
  }
}

void TkivCustomButton::enterEvent(QEnterEvent* AEvent) {
  QWidget::enterEvent(AEvent);
  FHover = true;
  update();
  if (OnMouseEnter) OnMouseEnter(this);
}

void TkivCustomButton::leaveEvent(QEvent* AEvent) {
  QWidget::leaveEvent(AEvent);
  FHover = false;
  FPressed = false;
  FRepeatTimer.reset();
  update();
  if (OnMouseExit) OnMouseExit(this);
}

void TkivCustomButton::Click() {
  if (FPressed) {
    FRepeatTimer.reset();
    FPressed = false;
    update();
  }
  if (auto* dialog = qobject_cast<QDialog*>(window())) {
    if (FModalResult != 0)
      dialog->done(FModalResult);
    else
      dialog->setResult(0);
  }
  if (OnClick) OnClick(this);
}

void TkivCustomButton::keyPressEvent(QKeyEvent* AEvent) {
  const int key = AEvent->key();
  if ((key == Qt::Key_Space || IsEnterKey(key)) && hasFocus() && isEnabled()) {
    FPressed = true;
    update();
    return;
  }
  // While a skinned button has the focus, its siblings' accelerator letters
  // work without Alt.
  const QString text = AEvent->text();
  if (text.size() == 1 && text[0].isLetterOrNumber() &&
      !(AEvent->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
    for (TkivCustomButton* button : window()->findChildren<TkivCustomButton*>())
      if (button->DialogChar(text[0], false)) return;
  }
  QWidget::keyPressEvent(AEvent);
}

void TkivCustomButton::keyReleaseEvent(QKeyEvent* AEvent) {
  const int key = AEvent->key();
  if ((key == Qt::Key_Space || IsEnterKey(key)) && !AEvent->isAutoRepeat() && hasFocus() &&
      FPressed && isEnabled()) {
    FPressed = false;
    update();
    Click();
    return;
  }
  QWidget::keyReleaseEvent(AEvent);
}

void TkivCustomButton::focusInEvent(QFocusEvent* AEvent) {
  QWidget::focusInEvent(AEvent);
  update();
}

void TkivCustomButton::focusOutEvent(QFocusEvent* AEvent) {
  QWidget::focusOutEvent(AEvent);
  update();
}

void TkivCustomButton::changeEvent(QEvent* AEvent) {
  QWidget::changeEvent(AEvent);
  if (AEvent->type() == QEvent::FontChange) FontChanged();
}

bool TkivCustomButton::event(QEvent* AEvent) {
  // A popup or a window switch cancels a press in progress.
  if (AEvent->type() == QEvent::WindowDeactivate || AEvent->type() == QEvent::Hide) CancelMode();
  return QWidget::event(AEvent);
}

void TkivCustomButton::CancelMode() {
  FHover = false;
  FPressed = false;
  FRepeatTimer.reset();
  update();
}

bool TkivCustomButton::DialogChar(QChar AChar, bool AAltHeld) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(FCaption);
  if (mnemonic.isEmpty()) return false;
  if (QChar(static_cast<char16_t>(mnemonic[0].key())) != AChar.toUpper()) return false;
  const bool focusOnSkinButton = qobject_cast<TkivCustomButton*>(QApplication::focusWidget());
  if (!AAltHeld && !focusOnSkinButton) return false;
  if (parentWidget() && !parentWidget()->isEnabled()) return false;
  if (!isEnabled() || !isVisible()) return false;
  Click();
  return true;
}

void TkivCustomButton::DialogKey() {
  if (isEnabled() && isVisible() && TabStop()) Click();
}

void TkivCustomButton::UpdateShortcuts() {
  // Enter and Escape are the window's dialog keys: they reach the Default
  // and Cancel buttons only as they are, without Shift, Ctrl or Alt.
  auto make = [this](std::unique_ptr<QShortcut>& AShortcut, bool AWanted, QKeySequence AKey,
                     std::function<void()> AAction) {
    if (!AWanted) {
      AShortcut.reset();
      return;
    }
    if (AShortcut && AShortcut->key() == AKey) return;
    AShortcut = std::make_unique<QShortcut>(AKey, this);
    AShortcut->setContext(Qt::WindowShortcut);
    connect(AShortcut.get(), &QShortcut::activated, this, AAction);
    connect(AShortcut.get(), &QShortcut::activatedAmbiguously, this, AAction);
  };
  auto enter = [this] {
    if (FDefaultActive) DialogKey();
  };
  make(FReturnKey, FDefault, QKeySequence(Qt::Key_Return), enter);
  make(FEnterKey, FDefault, QKeySequence(Qt::Key_Enter), enter);
  make(FEscapeKey, FCancel, QKeySequence(Qt::Key_Escape), [this] { DialogKey(); });
  const QKeySequence mnemonic = QKeySequence::mnemonic(FCaption);
  FAccelerator.reset();
  if (!mnemonic.isEmpty())
    make(FAccelerator, true, mnemonic, [this] {
      const QKeySequence key = QKeySequence::mnemonic(FCaption);
      if (!key.isEmpty()) DialogChar(QChar(static_cast<char16_t>(key[0].key())), true);
    });
}
