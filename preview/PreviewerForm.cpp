// The preview window as a Qt widget (see PreviewerForm.h).
#include "PreviewerForm.h"

#include "Bitmap.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cstring>

QImage BitmapToImage(const TBitmap& ABitmap) {
  QImage::Format format;
  switch (ABitmap.BitsPerPixel()) {
  case 8:
    format = QImage::Format_Indexed8;
    break;
  case 15:
    format = QImage::Format_RGB555;
    break;
  case 16:
    format = QImage::Format_RGB16;
    break;
  case 24:
    format = QImage::Format_BGR888;
    break;
  case 32:
    format = QImage::Format_RGB32;
    break;
  default:
    return {};
  }
  if (ABitmap.Empty()) return {};
  // The rows are DIB rows (32-bit aligned), which is what QImage takes too;
  // copy() detaches the picture from the bitmap's memory.
  QImage view(ABitmap.Bits().data(), ABitmap.Width(), ABitmap.Height(), ABitmap.Stride(), format);
  QImage image = view.copy();
  if (format == QImage::Format_Indexed8) {
    QList<QRgb> colours;
    for (uint32_t entry : ABitmap.Palette())
      colours.push_back(0xFF000000u | entry);
    while (colours.size() < 256)
      colours.push_back(0xFF000000u);
    image.setColorTable(colours);
  }
  return image;
}

TPreviewerForm::TPreviewerForm(std::function<void()> AOnClosed)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FOnClosed(std::move(AOnClosed)) {
  setObjectName("PreviewerForm");
  // Every pixel is drawn from the picture: no background fill first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Closing a preview never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
}

void TPreviewerForm::ShowAt(int AWidth, int AHeight) {
  resize(AWidth, AHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - AWidth) / 2, area.y() + (area.height() - AHeight) / 2);
  }
  show();
}

void TPreviewerForm::SetCaption(const std::string& ACaption) {
  setWindowTitle(QString::fromStdString(ACaption));
}

void TPreviewerForm::Draw(const TBitmap& ABitmap) {
  FPicture = BitmapToImage(ABitmap);
  // Drawn now, not when the event loop comes round: the task waits for it.
  repaint();
}

void TPreviewerForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!FPicture.isNull()) painter.drawImage(0, 0, FPicture);
}

void TPreviewerForm::mousePressEvent(QMouseEvent* AEvent) {
  if (AEvent->button() != Qt::LeftButton) return QWidget::mousePressEvent(AEvent);
  // A window manager moves the window as if its caption were dragged;
  // without one the window follows the pointer itself.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  FDragging = true;
  FDragOffset = AEvent->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TPreviewerForm::mouseMoveEvent(QMouseEvent* AEvent) {
  if (FDragging) move(AEvent->globalPosition().toPoint() - FDragOffset);
}

void TPreviewerForm::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (AEvent->button() == Qt::LeftButton) FDragging = false;
}

void TPreviewerForm::closeEvent(QCloseEvent* AEvent) {
  // The user closed it for good: no frame is drawn again.
  if (FOnClosed) FOnClosed();
  AEvent->accept();
}

void RegisterPreviewWindow() {
  SetPreviewWindowFactory([](std::function<void()> AOnClosed) -> std::unique_ptr<TPreviewWindow> {
    return std::make_unique<TPreviewerForm>(std::move(AOnClosed));
  });
}

void UnregisterPreviewWindow() {
  SetPreviewWindowFactory(nullptr);
}
