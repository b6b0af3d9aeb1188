// The Qt image plugin for "gif".
#include "GIFImageIOPlugin.h"

#include "GIFImageIOHandler.h"

QImageIOPlugin::Capabilities TGIFImageIOPlugin::capabilities(QIODevice* ADevice,
                                                             const QByteArray& AFormat) const {
  if (AFormat.toLower() == "gif") return CanRead | CanWrite;
  if (!AFormat.isEmpty() || !ADevice || !ADevice->isOpen()) return {};
  Capabilities capabilities;
  if (ADevice->isReadable() && TGIFImageIOHandler::CanRead(ADevice)) capabilities |= CanRead;
  if (ADevice->isWritable()) capabilities |= CanWrite;
  return capabilities;
}

QImageIOHandler* TGIFImageIOPlugin::create(QIODevice* ADevice, const QByteArray& AFormat) const {
  auto* handler = new TGIFImageIOHandler;
  handler->setDevice(ADevice);
  handler->setFormat(AFormat.isEmpty() ? QByteArray("gif") : AFormat);
  return handler;
}
