// A label that opens its address with the desktop's URL handler when
// clicked.
#pragma once

#include "SkinTypes.h"

#include <QLabel>

#include <functional>

class TkivURLLabel : public QLabel {
  Q_OBJECT
public:
  explicit TkivURLLabel(QWidget* AParent = nullptr);

  const QString& URL() const { return FURL; }
  void SetURL(const QString& AValue);
  TColor FontHoverColor() const { return FFontHoverColor; }
  void SetFontHoverColor(TColor AValue) { FFontHoverColor = AValue; }
  TColor FontLinkColor() const { return FFontLinkColor; }
  void SetFontLinkColor(TColor AValue);
  // The colour the caption is drawn in now.
  TColor FontColor() const { return FFontColor; }

  // Opens the address (unless it is all blanks), then OnClick.
  void Click();

  std::function<void(QObject* ASender)> OnClick;

protected:
  void enterEvent(QEnterEvent* AEvent) override;
  void leaveEvent(QEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

private:
  void SetFontColor(TColor AColor);

  QString FURL;
  TColor FFontHoverColor = 0x0000FF;
  TColor FFontLinkColor = 0xFF0000;
  TColor FFontColor = 0xFF0000;
};
