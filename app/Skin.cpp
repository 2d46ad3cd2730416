#include "app/Skin.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

#include "app/Form.h"

// The skin's resources live in a static library; they are registered once,
// before the first picture is asked for.
static void registerSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace quillbox::app {
namespace {

void ensureSkinResources() {
    static const bool registered = (registerSkinResources(), true);
    (void)registered;
}

QString resourcePath(std::string_view name) {
    ensureSkinResources();
    return QStringLiteral(":/skin/") +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
           QStringLiteral(".svg");
}

}  // namespace

QSize skinPictureSize(std::string_view name) {
    const QString path = resourcePath(name);
    if (!QFile::exists(path)) {
        return QSize();
    }
    QSvgRenderer renderer(path);
    return renderer.isValid() ? renderer.defaultSize() : QSize();
}

QPixmap skinPicture(std::string_view name, double scale, QSize size) {
    const QString path = resourcePath(name);
    if (!QFile::exists(path)) {
        return QPixmap();
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return QPixmap();
    }
    if (size.isEmpty()) {
        const QSize design = renderer.defaultSize();
        size = QSize(roundEven(design.width() * scale), roundEven(design.height() * scale));
    }
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return picture;
}

}  // namespace quillbox::app
