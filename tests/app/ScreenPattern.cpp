// The screen pattern and its comparison (see ScreenPattern.h).
#include "ScreenPattern.h"

#include "MediaProbe.h"

#include <QPainter>

#include <cmath>
#include <cstdint>

namespace {

// The "Rec" label's letters stand in this corner of the region.
const QRect kLabelCorner(0, 0, 56, 28);
constexpr int kMargin = 40;
constexpr int kStep = 12;

} // namespace

TScreenPattern::TScreenPattern(int ALeft, int ATop)
    : QWidget(nullptr,
              Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint),
      FMargin(kMargin) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setGeometry(ALeft - FMargin, ATop - FMargin, kWidth + 2 * FMargin, kHeight + 2 * FMargin);
}

const std::vector<QColor>& TScreenPattern::Colours() {
  static const std::vector<QColor> colours = {
      QColor(220, 30, 30),  QColor(30, 200, 60),  QColor(40, 60, 220),  QColor(230, 230, 230),
      QColor(240, 200, 40), QColor(40, 200, 210), QColor(200, 50, 200), QColor(120, 120, 120)};
  return colours;
}

QRect TScreenPattern::Block(int AIndex) {
  return QRect((AIndex % 4) * 80, (AIndex / 4) * 80, 80, 80);
}

void TScreenPattern::Tick() {
  FSquareLeft += kStep;
  if (FSquareLeft > kWidth - kSquare - 8) FSquareLeft = 8;
  FShown.push_back(FSquareLeft);
  update();
}

void TScreenPattern::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(90, 70, 50));
  painter.translate(FMargin, FMargin);
  for (int i = 0; i < 8; ++i)
    painter.fillRect(Block(i), Colours()[static_cast<size_t>(i)]);
  painter.fillRect(QRect(0, kStripTop, kWidth, kHeight - kStripTop), Qt::black);
  painter.fillRect(QRect(FSquareLeft, kSquareTop, kSquare, kSquare), Qt::white);
}

QColor MeanColour(const AVFrame& AFrame, const QRect& AArea) {
  const std::vector<uint8_t> rgb = PackedPicture(AFrame, AV_PIX_FMT_RGB24);
  double sum[3] = {};
  int count = 0;
  for (int y = AArea.top(); y <= AArea.bottom(); ++y)
    for (int x = AArea.left(); x <= AArea.right(); ++x, ++count)
      for (int c = 0; c < 3; ++c)
        sum[c] += rgb[(static_cast<size_t>(y) * AFrame.width + x) * 3 + c];
  if (count == 0) return {};
  return QColor(static_cast<int>(std::lround(sum[0] / count)),
                static_cast<int>(std::lround(sum[1] / count)),
                static_cast<int>(std::lround(sum[2] / count)));
}

TPatternMatch MatchPattern(const AVFrame& AFrame, const QRect& AIgnored) {
  TPatternMatch match;
  if (AFrame.width != TScreenPattern::kWidth || AFrame.height != TScreenPattern::kHeight)
    return match;
  const std::vector<uint8_t> rgb = PackedPicture(AFrame, AV_PIX_FMT_RGB24);
  auto at = [&](int AX, int AY, int AChannel) {
    return rgb[(static_cast<size_t>(AY) * AFrame.width + AX) * 3 + AChannel];
  };
  // The square: the first bright column of its middle row.
  const int middle = TScreenPattern::kSquareTop + TScreenPattern::kSquare / 2;
  for (int x = 0; x < AFrame.width && match.SquareLeft < 0; ++x)
    if (at(x, middle, 0) + at(x, middle, 1) + at(x, middle, 2) > 3 * 128) match.SquareLeft = x;
  const QRect square(match.SquareLeft, TScreenPattern::kSquareTop, TScreenPattern::kSquare,
                     TScreenPattern::kSquare);
  double error = 0;
  long count = 0;
  for (int y = 0; y < AFrame.height; ++y)
    for (int x = 0; x < AFrame.width; ++x) {
      const QPoint point(x, y);
      if (kLabelCorner.contains(point) || AIgnored.contains(point)) continue;
      QColor want = Qt::black;
      if (y < TScreenPattern::kStripTop)
        want = TScreenPattern::Colours()[static_cast<size_t>((y / 80) * 4 + x / 80)];
      else if (match.SquareLeft >= 0 && square.contains(point))
        want = Qt::white;
      const int wanted[3] = {want.red(), want.green(), want.blue()};
      for (int c = 0; c < 3; ++c) {
        const double d = at(x, y, c) - wanted[c];
        error += d * d;
      }
      count += 3;
    }
  const double mse = count ? error / static_cast<double>(count) : 0;
  match.Psnr = mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99;
  return match;
}
