// The skinned push buttons' common base: visual state (disabled, pressed,
// hover, normal), mouse and key handling, auto-repeat while held, Default and
// Cancel keys, caption accelerators, and the picture cut from the skin's
// three-frame button strip.
#pragma once

#include "SkinQt.h"

#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class TkivCustomButton;
using TkivNotifyEvent = std::function<void(QObject* ASender)>;

class TkivCustomButton : public QWidget {
  Q_OBJECT
public:
  explicit TkivCustomButton(QWidget* AParent = nullptr);
  ~TkivCustomButton() override;

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool AValue);
  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& AValue);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool AValue);
  bool Default() const { return FDefault; }
  void SetDefault(bool AValue);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int AValue) { FModalResult = AValue; }
  int MouseContinuouslyDownInterval() const { return FRepeatInterval; }
  void SetMouseContinuouslyDownInterval(int AValue) { FRepeatInterval = AValue; }
  int FocusedRectMargin() const { return FFocusedRectMargin; }
  void SetFocusedRectMargin(int AValue);
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool AValue) { setFocusPolicy(AValue ? Qt::StrongFocus : Qt::NoFocus); }
  void SetEnabled(bool AValue);

  // The base's style and theme; the arrow button publishes them.
  TkivUIStyle BaseUIStyle() const { return FUIStyle; }
  void SetBaseUIStyle(TkivUIStyle AValue);
  TkivThemeComponent* BaseFileTheme() const { return FThemeLink.Get(); }
  void SetBaseFileTheme(TkivThemeComponent* AValue);

  bool Hover() const { return FHover; }
  bool Pressed() const { return FPressed; }
  bool RepeatTimerRunning() const { return FRepeatTimer != nullptr; }
  bool DefaultActive() const { return FDefaultActive; }

  // Clicks the button as a mouse click does.
  void Click();
  // The accelerator rule: the caption's "&" letter clicks the button when
  // Alt is held or a skinned button has the focus.
  bool DialogChar(QChar AChar, bool AAltHeld);

  TkivNotifyEvent OnClick;
  TkivNotifyEvent OnMouseEnter;
  TkivNotifyEvent OnMouseExit;
  TkivNotifyEvent OnMouseContinuouslyDown;

protected:
  virtual void AutoSizeChanged();
  virtual void CaptionChanged() {}
  virtual void FontChanged() { update(); }
  virtual void TransparentChanged();
  virtual void EnabledChanged() {}
  virtual void UIStyleChanged() {}
  virtual void PaintPic(QPainter& ACanvas, const TBitmap& APicture);
  virtual void PaintText(QPainter& ACanvas);
  virtual void PaintFocus(QPainter& ACanvas);
  virtual TBitmap GetNormalPic();
  virtual TBitmap GetMouseOnPic();
  virtual TBitmap GetMouseDownPic();
  virtual TBitmap GetDisabledPic();

  bool PictureTransparent() const { return FPictureTransparent; }
  // Colour of a picture's top-left pixel, which its transparent drawing leaves out.
  static TColor TopLeftColor(const TBitmap& APicture);
  // The enabled picture turned grey, as disabled images are drawn.
  static QImage Greyed(const QImage& AImage);

  void paintEvent(QPaintEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void enterEvent(QEnterEvent* AEvent) override;
  void leaveEvent(QEvent* AEvent) override;
  void keyPressEvent(QKeyEvent* AEvent) override;
  void keyReleaseEvent(QKeyEvent* AEvent) override;
  void focusInEvent(QFocusEvent* AEvent) override;
  void focusOutEvent(QFocusEvent* AEvent) override;
  void changeEvent(QEvent* AEvent) override;
  bool event(QEvent* AEvent) override;

private:
  TBitmap StripFrame(int AFrame);
  void CancelMode();
  void UpdateShortcuts();
  void DialogKey();

  bool FAutoSize = false;
  QString FCaption;
  bool FCancel = false;
  bool FDefault = false;
  bool FTransparent = false;
  int FModalResult = 0;
  TkivUIStyle FUIStyle = TkivUIStyle::DeepBlue;
  TkivThemeLink FThemeLink;
  bool FPictureTransparent = false;
  std::unique_ptr<QTimer> FRepeatTimer;
  int FRepeatInterval = 100;
  int FFocusedRectMargin = 2;
  bool FDefaultActive = false;
  bool FHover = false;
  bool FPressed = false;
  TColor FColor = static_cast<TColor>(0xFF00000F); // the button face
  std::unique_ptr<QShortcut> FEnterKey, FReturnKey, FEscapeKey, FAccelerator;
};
