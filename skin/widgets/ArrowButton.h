// A skinned button that draws a small black up or down triangle over the
// skin's button picture and never shows its caption.
#pragma once

#include "CustomButton.h"

enum class TkivArrowButtonType { kivUp = 0, kivDown = 1 };

class TkivArrowButton : public TkivCustomButton, public TkivSkinnable {
  Q_OBJECT
public:
  explicit TkivArrowButton(QWidget* AParent = nullptr);

  TkivArrowButtonType Arrow() const { return FArrow; }
  void SetArrow(TkivArrowButtonType AValue);

  TkivUIStyle UIStyle() const override { return BaseUIStyle(); }
  void SetUIStyle(TkivUIStyle AStyle) override { SetBaseUIStyle(AStyle); }
  TkivThemeComponent* FileTheme() const override { return BaseFileTheme(); }
  void SetFileTheme(TkivThemeComponent* ATheme) override;

protected:
  void UIStyleChanged() override;
  void PaintPic(QPainter& ACanvas, const TBitmap& APicture) override;
  void PaintText(QPainter&) override {}

private:
  TkivArrowButtonType FArrow = TkivArrowButtonType::kivUp;
};
