// libqtvq.so: Qt's image plugin for TVQ, so every Qt and KDE program opens TVQ images.
#include "qt/tvq_handler.h"

#include <QImageIOPlugin>

class TvqPlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "tvq.json")

  public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
        // Read only, and only what is TVQ by its name: never another format's files.
        return TvqHandler::NamedTvq(device, format) ? CanRead : Capabilities();
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new TvqHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArray("tvq") : format);
        return handler;
    }
};

#include "tvq_plugin.moc"
