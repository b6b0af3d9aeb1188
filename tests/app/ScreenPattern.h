// A known, moving picture on the screen for the recordings to take, and how
// a decoded picture of a recording compares with it. The region it marks
// holds two rows of four solid blocks over a black strip in which a white
// square moves to the right, a step each time the pattern ticks.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

#include <vector>

struct AVFrame;

class TScreenPattern : public QWidget {
public:
  static constexpr int kWidth = 320, kHeight = 240;
  // The pattern's region of the screen starts at ALeft, ATop; around it the
  // widget shows a grey margin, so that a recording of another place shows
  // something else.
  TScreenPattern(int ALeft, int ATop);

  // The block colours, row by row.
  static const std::vector<QColor>& Colours();
  // Block AIndex (row by row) in the region's coordinates.
  static QRect Block(int AIndex);
  static constexpr int kStripTop = 160, kSquareTop = 188, kSquare = 24;

  // Moves the square one step (from 8 to 296 and round again).
  void Tick();
  // The square positions shown so far.
  const std::vector<int>& Shown() const { return FShown; }

protected:
  void paintEvent(QPaintEvent* AEvent) override;

private:
  int FMargin;
  int FSquareLeft = 8;
  std::vector<int> FShown{8};
};

// How a decoded picture compares with the pattern: where its square stands,
// and the PSNR of the rest of the picture against the pattern with the
// square there (the corner of the "Rec" label and the rectangle AIgnored
// left out).
struct TPatternMatch {
  int SquareLeft = -1; // -1: no square found
  double Psnr = 0;     // dB
};
TPatternMatch MatchPattern(const AVFrame& AFrame, const QRect& AIgnored = {});
// The mean colour of AArea of a decoded picture.
QColor MeanColour(const AVFrame& AFrame, const QRect& AArea);
