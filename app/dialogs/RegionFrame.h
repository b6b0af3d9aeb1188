// The green frame that marks the recording region on the screen: a
// borderless window above all others whose shape is only a 2-pixel ring
// around the region, so the region itself stays visible and uncovered.
#pragma once

#include <QWidget>

class TRegionFrame : public QWidget {
public:
  TRegionFrame();
  // Shapes the frame around the region (ALeft, ATop, AWidth x AHeight) with
  // a border of ABorder pixels and shows it.
  void ShowRegionFrame(int ALeft, int ATop, int AWidth, int AHeight, int ABorder = 2);
};
