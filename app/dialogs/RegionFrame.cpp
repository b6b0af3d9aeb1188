// The region frame (see RegionFrame.h).
#include "RegionFrame.h"

#include <QPalette>
#include <QRegion>

#include <algorithm>

TRegionFrame::TRegionFrame()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                           Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName("frmRegion");
  setAttribute(Qt::WA_ShowWithoutActivating);
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0x00, 0x80, 0x00)); // green
  setPalette(palette);
  setAutoFillBackground(true);
}

void TRegionFrame::ShowRegionFrame(int ALeft, int ATop, int AWidth, int AHeight, int ABorder) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  // The ring lies around the region, never on it, so it is not recorded.
  const QRect outer(0, 0, AWidth + 2 * ABorder, AHeight + 2 * ABorder);
  setGeometry(ALeft - ABorder, ATop - ABorder, outer.width(), outer.height());
  setMask(QRegion(outer).subtracted(QRegion(ABorder, ABorder, AWidth, AHeight)));
  show();
  raise();
}
