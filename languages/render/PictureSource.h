#pragma once
// The C++ source that carries a language's button pictures into its module.

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillbox::render {

struct EncodedPicture {
    QString name;    // the name the window asks for
    QByteArray png;  // the PNG file's bytes
};

// Writes (atomically) the C++ source at path that defines
// quillbox::languages::languagePictures() over pictures, in their order.
// captionsPath is named in the source's heading. Returns an error message, or
// an empty string on success.
QString writePictureSource(const QString& path, const QList<EncodedPicture>& pictures,
                           const QString& captionsPath);

}  // namespace quillbox::render
