// The smallest real Qt image viewer: a QLabel showing the picture QImageReader reads from
// the file named on the command line, in a frameless window at the screen's top-left.
#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: label_viewer IMAGE\n");
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const QImage image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "label_viewer: %s\n", qPrintable(reader.errorString()));
        return 1;
    }
    QLabel label;
    label.setWindowTitle(QStringLiteral("TVQ label viewer"));
    label.setWindowFlags(Qt::FramelessWindowHint);
    label.setPixmap(QPixmap::fromImage(image));
    label.setFixedSize(image.size());
    label.move(0, 0);
    label.show();
    return app.exec();
}
