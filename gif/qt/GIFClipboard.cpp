// The picture on the system clipboard (see GIFClipboard.h).
#include "GIFClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "GIFError.h"
#include "GIFImage.h"
#include "GIFMessages.h"
#include "GIFQtImage.h"
#include "PictureFormats.h"

namespace {

QString MimeTypeOf(int AFormat) {
  std::optional<TClipboardFormat> format = TPictureFormats::ClipboardFormat(AFormat);
  return format ? QString::fromStdString(format->MimeType) : QString();
}

} // namespace

void CopyGIFToClipboard(TGIFImage& APicture) {
  TClipboardData data;
  APicture.SaveToClipboardFormat(data);
  if (data.Formats.empty()) return;
  auto mime = std::make_unique<QMimeData>();
  for (const auto& [format, bytes] : data.Formats) {
    const QString type = MimeTypeOf(format);
    if (type.isEmpty()) GIFError(kMsgClipboardStoreFailed);
    mime->setData(type, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())));
  }
  if (data.Bitmap) mime->setImageData(ImageFromBitmap(*data.Bitmap, false));
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) GIFError(kMsgClipboardStoreFailed);
  clipboard->setMimeData(mime.release());
  const QMimeData* stored = clipboard->mimeData();
  if (!stored || !stored->hasFormat(MimeTypeOf(GIFClipboardFormat)))
    GIFError(kMsgClipboardStoreFailed);
}

void PasteGIFFromClipboard(TGIFImage& APicture) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
  const QString gifType = MimeTypeOf(GIFClipboardFormat);
  TClipboardData data;
  if (mime && !gifType.isEmpty() && mime->hasFormat(gifType)) {
    const QByteArray bytes = mime->data(gifType);
    data.Formats[GIFClipboardFormat].assign(bytes.begin(), bytes.end());
    APicture.LoadFromClipboardFormat(GIFClipboardFormat, data);
    return;
  }
  if (mime && mime->hasImage()) {
    TBitmap bitmap;
    BitmapFromImage(qvariant_cast<QImage>(mime->imageData()), bitmap);
    data.Bitmap = bitmap;
    APicture.LoadFromClipboardFormat(CF_BITMAP, data);
    return;
  }
  GIFError(kMsgUnsupportedClipboardFormat);
}

bool ClipboardHasPicture() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QMimeData* mime = clipboard ? clipboard->mimeData() : nullptr;
  if (!mime) return false;
  const QString gifType = MimeTypeOf(GIFClipboardFormat);
  return (!gifType.isEmpty() && mime->hasFormat(gifType)) || mime->hasImage();
}
