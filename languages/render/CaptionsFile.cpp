#include "languages/render/CaptionsFile.h"

#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>

#include "languages/render/PictureTable.h"

namespace quillbox::render {
namespace {

bool isPictureName(const QString& name) {
    for (const PictureEntry& entry : kPictureTable) {
        if (name == QLatin1String(entry.name.data(), static_cast<qsizetype>(entry.name.size()))) {
            return true;
        }
    }
    return false;
}

Captions failure(const QString& message) {
    return Captions{{}, message};
}

}  // namespace

Captions readCaptions(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(path + ": " + file.errorString());
    }
    QStringDecoder decode(QStringConverter::Utf8);
    const QString text = decode(file.readAll());
    if (decode.hasError()) {
        return failure(path + ": not UTF-8");
    }
    Captions captions;
    const QStringList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        const QString where = QStringLiteral("%1:%2: ").arg(path).arg(i + 1);
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0) {
            return failure(where + "no tab between name and caption");
        }
        const QString name = line.left(tab);
        const QString caption = line.mid(tab + 1).trimmed();
        if (!isPictureName(name)) {
            return failure(where + "unknown picture name \"" + name + "\"");
        }
        if (captions.byName.contains(name)) {
            return failure(where + "\"" + name + "\" given twice");
        }
        if (caption.isEmpty()) {
            return failure(where + "empty caption");
        }
        captions.byName.insert(name, caption);
    }
    for (const PictureEntry& entry : kPictureTable) {
        const QString name =
            QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        if (!captions.byName.contains(name)) {
            return failure(path + ": no caption for \"" + name + "\"");
        }
    }
    return captions;
}

}  // namespace quillbox::render
