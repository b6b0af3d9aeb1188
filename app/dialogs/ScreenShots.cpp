// The region picker (see ScreenShots.h).
#include "ScreenShots.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

const QColor kOrange(0xFF, 0x99, 0x00);
constexpr int kPanelWidth = 113, kPanelHeight = 28;
constexpr int kMagnifierSize = 130, kMagnifierZoomHeight = 100, kMagnifierSource = 20;
constexpr int kInfoWidth = 240, kInfoHeight = 58;
constexpr int kHandle = 6;

QRect Normalised(const QPoint& A, const QPoint& B) {
  return QRect(QPoint(std::min(A.x(), B.x()), std::min(A.y(), B.y())),
               QPoint(std::max(A.x(), B.x()), std::max(A.y(), B.y())));
}

} // namespace

TfrmScreenShots::TfrmScreenShots(const TRegionEdits& AEdits)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint),
      FEdits(AEdits) {
  setObjectName("frmScreenShots");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setCursor(Qt::CrossCursor); // the picker's own cursor
  QPalette palette;
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);

  FPanel = new QWidget(this);
  FPanel->setObjectName("ScreenDrawPanel");
  FPanel->setFixedSize(kPanelWidth, kPanelHeight);
  FPanel->setAutoFillBackground(true);
  FPanel->setStyleSheet(QStringLiteral("#ScreenDrawPanel { border: 1px solid #FF9900; }"));
  FPanel->setCursor(Qt::ArrowCursor);
  FOk = new QPushButton(QStringLiteral("Ok"), FPanel);
  FOk->setObjectName("SBPrint");
  FCancel = new QPushButton(QStringLiteral("Cancel"), FPanel);
  FCancel->setObjectName("SBExit");
  auto* layout = new QHBoxLayout(FPanel);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  layout->addWidget(FOk);
  layout->addWidget(FCancel);
  FPanel->hide();
  connect(FOk, &QPushButton::clicked, this, [this] { SBPrintClick(); });
  connect(FCancel, &QPushButton::clicked, this, [this] { SBExitClick(); });

  if (FX.Open() == 0) FWindowList = std::make_unique<TWindowList>(FX.Get());
  FTimer.setInterval(200);
  connect(&FTimer, &QTimer::timeout, this, [this] { Foreground(); });
  FTimer.start();
}

TfrmScreenShots::~TfrmScreenShots() {
  FTimer.stop();
}

void TfrmScreenShots::Open() {
  if (isVisible()) return;
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desktop = screen->geometry();
  FCapture = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  if (FWindowList) FWindowList->BuildWindowList();
  FState = stHover;
  FSelection = QRect();
  FHoverRect = QRect();
  setGeometry(desktop);
  show();
  raise();
  activateWindow();
  UpdateHover(QCursor::pos());
}

void TfrmScreenShots::Foreground() {
  if (isVisible() && !isActiveWindow()) {
    raise();
    activateWindow();
  }
}

QRgb TfrmScreenShots::CapturePixel(const QPoint& APoint) const {
  return FCapture.rect().contains(APoint) ? FCapture.pixel(APoint) : qRgb(0, 0, 0);
}

void TfrmScreenShots::UpdateHover(const QPoint& AGlobal) {
  FHoverRect = QRect();
  if (FState != stHover || !FSnap || !FWindowList) return;
  const TWindowItem* item = FWindowList->GetWindowAt(AGlobal.x(), AGlobal.y());
  if (!item) return;
  // Clipped to the desktop; the rectangle's corners are both inside it.
  const QRect window(QPoint(item->Rect.Left, item->Rect.Top),
                     QPoint(item->Rect.Right - 1, item->Rect.Bottom - 1));
  FHoverRect = window.intersected(rect());
}

void TfrmScreenShots::UpdateHandles() {
  const QRect& s = FSelection;
  const int midX = s.left() + (s.right() - s.left()) / 2;
  const int midY = s.top() + (s.bottom() - s.top()) / 2;
  const QPoint centres[8] = {{s.left(), s.top()}, {midX, s.top()},        {s.right(), s.top()},
                             {s.left(), midY},    {s.right(), midY},      {s.left(), s.bottom()},
                             {midX, s.bottom()},  {s.right(), s.bottom()}};
  for (int i = 0; i < 8; ++i)
    FHandleRects[static_cast<size_t>(i)] =
        QRect(centres[i] - QPoint(kHandle / 2, kHandle / 2), QSize(kHandle, kHandle));
}

int TfrmScreenShots::HitTest(const QPoint& APoint) const {
  for (int i = 0; i < 8; ++i)
    if (FHandleRects[static_cast<size_t>(i)].contains(APoint)) return i;
  return FSelection.contains(APoint) ? kInside : kOutside;
}

void TfrmScreenShots::UpdateCursor(int AHit) {
  static constexpr Qt::CursorShape kShapes[8] = {
      Qt::SizeFDiagCursor, Qt::SizeVerCursor,   Qt::SizeBDiagCursor, Qt::SizeHorCursor,
      Qt::SizeHorCursor,   Qt::SizeBDiagCursor, Qt::SizeVerCursor,   Qt::SizeFDiagCursor};
  if (AHit >= 0 && AHit < 8)
    setCursor(kShapes[AHit]);
  else if (AHit == kInside)
    setCursor(Qt::SizeAllCursor);
  else
    setCursor(Qt::CrossCursor);
}

void TfrmScreenShots::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return;
  const QPoint point = AEvent->position().toPoint();
  FDragging = true;
  FAnchor = FSelection;
  FPressPoint = point;
  if (FState == stSelected) {
    UpdateHandles();
    FHit = HitTest(point);
    UpdateCursor(FHit);
    return;
  }
  if (FHoverRect.isEmpty()) FSelection = QRect(point, point);
  FState = stDrawing;
}

void TfrmScreenShots::mouseMoveEvent(QMouseEvent* AEvent) {
  const QPoint point = AEvent->position().toPoint();
  if (!FDragging) {
    if (FState == stSelected) UpdateCursor(HitTest(point));
    UpdateHover(AEvent->globalPosition().toPoint());
    update();
    return;
  }
  FHoverRect = QRect(); // a drag draws a free rectangle
  if (FState == stDrawing) {
    FSelection = Normalised(FPressPoint, point);
  } else if (FState == stSelected) {
    const QRect& a = FAnchor;
    switch (FHit) {
    case 0:
      FSelection = Normalised(point, a.bottomRight());
      break;
    case 2:
      FSelection = Normalised(QPoint(a.left(), point.y()), QPoint(point.x(), a.bottom()));
      break;
    case 5:
      FSelection = Normalised(QPoint(point.x(), a.top()), QPoint(a.right(), point.y()));
      break;
    case 7:
      FSelection = Normalised(a.topLeft(), point);
      break;
    case 1:
      FSelection = Normalised(QPoint(a.left(), point.y()), a.bottomRight());
      break;
    case 6:
      FSelection = Normalised(a.topLeft(), QPoint(a.right(), point.y()));
      break;
    case 3:
      FSelection = Normalised(QPoint(point.x(), a.top()), a.bottomRight());
      break;
    case 4:
      FSelection = Normalised(a.topLeft(), QPoint(point.x(), a.bottom()));
      break;
    case kInside: {
      // The selection follows the pointer but never leaves the screen; the
      // pointer itself is never held.
      const int dx = std::clamp(point.x() - FPressPoint.x(), -a.left(), width() - 1 - a.right());
      const int dy = std::clamp(point.y() - FPressPoint.y(), -a.top(), height() - 1 - a.bottom());
      FSelection = a.translated(dx, dy);
      break;
    }
    default:
      break;
    }
  }
  update();
}

void TfrmScreenShots::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) {
    if (!FDragging) return;
    if (!FHoverRect.isEmpty()) FSelection = FHoverRect; // a click takes the window
    FHoverRect = QRect();
    FDragging = false;
    FState = stSelected;
    FHit = kOutside;
    UpdateHandles();
    UpdateCursor(HitTest(AEvent->position().toPoint()));
    update();
  } else if (AEvent->button() == Qt::RightButton) {
    if (FState != stHover) {
      FDragging = false;
      FState = stHover;
      FSelection = QRect();
      FPanel->hide();
      setCursor(Qt::CrossCursor);
      UpdateHover(AEvent->globalPosition().toPoint());
      update();
    } else {
      SBExitClick(); // without a selection, a right click cancels
    }
  }
}

void TfrmScreenShots::PlaceToolPanel() {
  const int left = std::max(0, FSelection.right() - kPanelWidth - 6);
  int top;
  if (FSelection.bottom() + 6 + kPanelHeight <= height())
    top = FSelection.bottom() + 6;
  else if (FSelection.top() - kPanelHeight - 6 >= 0)
    top = FSelection.top() - kPanelHeight - 6;
  else
    top = FSelection.top() + 6;
  FPanel->move(left, top);
  FPanel->show();
}

void TfrmScreenShots::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setOpacity(150.0 / 255);
  painter.drawImage(0, 0, FCapture);
  painter.setOpacity(1);
  const QPoint cursor = mapFromGlobal(QCursor::pos());

  if (FState == stHover && !FHoverRect.isEmpty()) {
    painter.drawImage(FHoverRect.topLeft(), FCapture, FHoverRect);
    painter.setPen(QPen(kOrange, 4));
    painter.drawRect(FHoverRect);
  }
  if (FState == stSelected)
    PlaceToolPanel();
  else
    FPanel->hide();
  if (FState != stHover && !FSelection.isNull()) {
    painter.drawImage(FSelection.topLeft(), FCapture, FSelection);
    // The frame stays visible at the screen's edges.
    const QRect frame(QPoint(std::max(FSelection.left(), 1), std::max(FSelection.top(), 1)),
                      QPoint(std::min(FSelection.right(), width() - 2),
                             std::min(FSelection.bottom(), height() - 2)));
    painter.setPen(QPen(kOrange, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    UpdateHandles();
    for (const QRect& handle : FHandleRects)
      painter.fillRect(handle, kOrange);
    DrawInfoBox(painter, cursor);
  }
  DrawMagnifier(painter, cursor);
}

void TfrmScreenShots::DrawInfoBox(QPainter& APainter, const QPoint& ACursor) {
  int left = FSelection.left() + 6;
  if (FSelection.left() + kInfoWidth + 6 > width()) left = FSelection.left() - kInfoWidth - 6;
  int top = FSelection.top() - 64;
  if (FPanel->isVisible() && FPanel->y() < FSelection.top()) top -= kPanelHeight + 6;
  if (top < 0) top = FSelection.top() + 6;
  FInfo = QRect(left, top, kInfoWidth, kInfoHeight);
  APainter.setOpacity(80.0 / 255);
  APainter.fillRect(FInfo, kOrange);
  APainter.setOpacity(1);
  const QPoint global = mapToGlobal(ACursor);
  const QRgb pixel = CapturePixel(ACursor);
  FInfoLines = {
      QStringLiteral("Selected Region: %1\u00D7%2")
          .arg(FSelection.right() - FSelection.left() + 1)
          .arg(FSelection.bottom() - FSelection.top() + 1),
      QStringLiteral("Cursor Position: (X: %1, Y: %2)").arg(global.x()).arg(global.y()),
      QStringLiteral("RGB: (%1, %2, %3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel))};
  QFont bold = font();
  bold.setBold(true);
  APainter.setFont(bold);
  APainter.setPen(Qt::white);
  const int ascent = QFontMetrics(bold).ascent();
  for (int i = 0; i < 3; ++i)
    APainter.drawText(left + 3, top + 3 + 17 * i + ascent, FInfoLines[i]);
}

void TfrmScreenShots::DrawMagnifier(QPainter& APainter, const QPoint& ACursor) {
  QPoint at = ACursor + QPoint(15, 25);
  if (at.y() + kMagnifierSize > height()) at.ry() -= kMagnifierSize + 20;
  if (at.x() + kMagnifierSize > width()) at.rx() -= kMagnifierSize + 20;
  FMagnifier = QRect(at, QSize(kMagnifierSize, kMagnifierSize));
  const QRect zoom(at, QSize(kMagnifierSize, kMagnifierZoomHeight));
  const QRect source(ACursor - QPoint(kMagnifierSource / 2, kMagnifierSource / 2),
                     QSize(kMagnifierSource, kMagnifierSource));
  APainter.fillRect(zoom, Qt::black);
  APainter.drawImage(zoom, FCapture, source);
  APainter.setPen(QPen(kOrange, 4));
  APainter.drawLine(at.x() + 4, at.y() + 52, at.x() + kMagnifierSize - 4, at.y() + 52);
  APainter.drawLine(at.x() + 67, at.y() + 4, at.x() + 67, at.y() + kMagnifierZoomHeight - 4);
  APainter.setPen(QPen(palette().color(QPalette::Dark), 1));
  APainter.setBrush(Qt::NoBrush);
  APainter.drawRect(zoom.adjusted(0, 0, -1, -1));

  const QRect label(at.x(), at.y() + kMagnifierZoomHeight, kMagnifierSize,
                    kMagnifierSize - kMagnifierZoomHeight);
  APainter.drawImage(label, FCapture, label);
  APainter.setOpacity(80.0 / 255);
  APainter.fillRect(label, Qt::black);
  APainter.setOpacity(1);
  const QRgb pixel = CapturePixel(ACursor);
  APainter.setPen(Qt::white);
  APainter.setFont(font());
  const int ascent = QFontMetrics(font()).ascent();
  const int hoverWidth = FHoverRect.isEmpty() ? 0 : FHoverRect.right() - FHoverRect.left();
  const int hoverHeight = FHoverRect.isEmpty() ? 0 : FHoverRect.bottom() - FHoverRect.top();
  APainter.drawText(label.x() + 3, label.y() + 1 + ascent,
                    QStringLiteral("%1: %2\u00D7%3")
                        .arg(QStringLiteral("Region"))
                        .arg(hoverWidth)
                        .arg(hoverHeight));
  APainter.drawText(
      label.x() + 3, label.y() + 15 + ascent,
      QStringLiteral("RGB: (%1, %2, %3)").arg(qRed(pixel)).arg(qGreen(pixel)).arg(qBlue(pixel)));
}

void TfrmScreenShots::SBPrintClick() {
  const int width = FSelection.right() - FSelection.left();
  const int height = FSelection.bottom() - FSelection.top();
  if (FEdits.Left) FEdits.Left->setText(QString::number(FSelection.left()));
  if (FEdits.Top) FEdits.Top->setText(QString::number(FSelection.top()));
  if (FEdits.Width) FEdits.Width->setText(QString::number(width));
  if (FEdits.Height) FEdits.Height->setText(QString::number(height));
  if (FEdits.ShowStatus)
    FEdits.ShowStatus(
        QStringLiteral("Recorder Status: select region %1 x %2").arg(width).arg(height));
  hide();
}
