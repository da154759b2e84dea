// Reads an image the way a Qt program or thumbnailer does, for bench/thumbnails.sh:
//   qt_read FILE SIZE          QImageReader with setScaledSize, the size fitted in SIZE x SIZE
//   qt_read FILE SIZE after    the whole picture read, then shrunk by QImage, as Qt does for a
//                              plugin without ScaledSize
//   qt_read FILE 0             the whole picture
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qt_read FILE SIZE [after]\n");
        return 2;
    }
    const int size = std::atoi(argv[2]);
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const bool after = argc > 3 && std::strcmp(argv[3], "after") == 0;
    QImage image;
    if (size > 0 && !after) {
        reader.setScaledSize(reader.size().scaled(size, size, Qt::KeepAspectRatio));
        image = reader.read();
    } else {
        image = reader.read();
        if (size > 0 && !image.isNull())
            image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (image.isNull()) {
        std::fprintf(stderr, "qt_read: %s\n", qPrintable(reader.errorString()));
        return 1;
    }
    return 0;
}
