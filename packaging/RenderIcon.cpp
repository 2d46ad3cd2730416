// quillbox-render-icon: draws the program's SVG icon as square PNG pictures for
// the desktop's icon theme. Runs at build time only, never installed.
//
// Usage: quillbox-render-icon SVG FOLDER SIZE...
// writes FOLDER/<SIZE>x<SIZE>.png for each SIZE (1..1024 pixels); exit status 0
// when every picture was written, 1 when the SVG or a picture failed, 2 on bad
// arguments.

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLargestSize = 1024;

void printUsage() {
    std::fprintf(stderr, "usage: quillbox-render-icon SVG FOLDER SIZE...\n");
}

// The picture of the SVG drawn into a transparent size x size square, keeping
// its proportions.
QImage renderSquare(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        printUsage();
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QByteArray(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > kLargestSize) {
            std::fprintf(stderr, "quillbox-render-icon: bad size '%s' (1..%d)\n", argv[i],
                         kLargestSize);
            return 2;
        }
        sizes.push_back(size);
    }
    // A build machine has no display; the pictures need none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);

    const QString svgPath = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "quillbox-render-icon: cannot read the SVG %s\n", argv[1]);
        return 1;
    }
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "quillbox-render-icon: cannot create the folder %s\n", argv[2]);
        return 1;
    }
    for (const int size : sizes) {
        const QString path = folder.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!renderSquare(renderer, size).save(path, "PNG")) {
            std::fprintf(stderr, "quillbox-render-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
