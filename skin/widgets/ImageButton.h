// A skinned button with four pictures of its own: normal, mouse over,
// pressed and disabled; a missing one shows the normal picture.
#pragma once

#include "CustomButton.h"

class TkivImageButton : public TkivCustomButton {
  Q_OBJECT
public:
  explicit TkivImageButton(QWidget* AParent = nullptr);

  // The style plays no part in an image button's drawing.
  TkivUIStyle UIStyle() const { return TkivUIStyle::FromThemeFile; }

  const TBitmap& PicNormal() const { return FPicNormal; }
  const TBitmap& PicMouseOn() const { return FPicMouseOn; }
  const TBitmap& PicMouseDown() const { return FPicMouseDown; }
  const TBitmap& PicDisabled() const { return FPicDisabled; }
  void SetPicNormal(const TBitmap& APicture) { SetPicture(FPicNormal, APicture); }
  void SetPicMouseOn(const TBitmap& APicture) { SetPicture(FPicMouseOn, APicture); }
  void SetPicMouseDown(const TBitmap& APicture) { SetPicture(FPicMouseDown, APicture); }
  void SetPicDisabled(const TBitmap& APicture) { SetPicture(FPicDisabled, APicture); }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool AValue);
  bool DrawFocused() const { return FDrawFocused; }
  void SetDrawFocused(bool AValue);

protected:
  void AutoSizeChanged() override;
  void PaintPic(QPainter& ACanvas, const TBitmap& APicture) override;
  void PaintFocus(QPainter& ACanvas) override;
  TBitmap GetNormalPic() override { return FPicNormal; }
  TBitmap GetMouseOnPic() override { return OrNormal(FPicMouseOn); }
  TBitmap GetMouseDownPic() override { return OrNormal(FPicMouseDown); }
  TBitmap GetDisabledPic() override { return OrNormal(FPicDisabled); }

private:
  void SetPicture(TBitmap& AField, const TBitmap& APicture);
  const TBitmap& OrNormal(const TBitmap& APicture) const {
    return APicture.Empty() ? FPicNormal : APicture;
  }

  TBitmap FPicNormal, FPicMouseOn, FPicMouseDown, FPicDisabled;
  bool FStretch = false;
  bool FDrawFocused = false;
};
