// Qt's reader of TVQ images: the whole picture, or straight at the size asked.
#pragma once

#include <QImageIOHandler>
#include <QSize>

class TvqHandler : public QImageIOHandler {
  public:
    bool canRead() const override;
    bool read(QImage* image) override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;
    bool supportsOption(ImageOption option) const override;

    // TVQ has no signature: a device is TVQ by its name or by the format it is read as.
    static bool NamedTvq(QIODevice* device, const QByteArray& format);

  private:
    QSize scaledSize_;
};
