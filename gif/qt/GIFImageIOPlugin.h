// The Qt image plugin that hands "gif" to the codec's reader and writer.
// It is built as its own shared object in imageformats/ beside the programs;
// RegisterGIFQt puts that folder first in Qt's plugin path, so that this
// plugin answers for "gif" rather than Qt's own.
#pragma once

#include <QImageIOPlugin>

class TGIFImageIOPlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "GIFImageIOPlugin.json")

public:
  Capabilities capabilities(QIODevice* ADevice, const QByteArray& AFormat) const override;
  QImageIOHandler* create(QIODevice* ADevice, const QByteArray& AFormat) const override;
};
