// The link label (see URLLabel.h).
#include "URLLabel.h"

#include "SkinQt.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

TkivURLLabel::TkivURLLabel(QWidget* AParent) : QLabel(AParent) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  SetFontColor(FFontLinkColor);
}

void TkivURLLabel::SetURL(const QString& AValue) {
  if (AValue != FURL) FURL = AValue;
}

void TkivURLLabel::SetFontLinkColor(TColor AValue) {
  FFontLinkColor = AValue;
  SetFontColor(AValue);
}

void TkivURLLabel::SetFontColor(TColor AColor) {
  FFontColor = AColor;
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, ToQColor(AColor));
  setPalette(colours);
}

void TkivURLLabel::Click() {
  // The desktop's handler takes the address without the blanks around it,
  // as a shell does.
  const QString address = FURL.trimmed();
  if (!address.isEmpty()) QDesktopServices::openUrl(QUrl(address));
  if (OnClick) OnClick(this);
}

void TkivURLLabel::enterEvent(QEnterEvent* AEvent) {
  QLabel::enterEvent(AEvent);
  SetFontColor(FFontHoverColor);
}

void TkivURLLabel::leaveEvent(QEvent* AEvent) {
  QLabel::leaveEvent(AEvent);
  SetFontColor(FFontLinkColor);
}

void TkivURLLabel::mouseReleaseEvent(QMouseEvent* AEvent) {
  QLabel::mouseReleaseEvent(AEvent);
  if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint())) Click();
}
