#pragma once
// The captions of one language's button pictures.
//
// File format (UTF-8, one picture a line): the picture name, a tab, the
// caption. Blank lines and lines starting with '#' are ignored. Every name of
// kPictureTable appears exactly once; a caption is not empty.

#include <QHash>
#include <QString>

namespace quillbox::render {

struct Captions {
    QHash<QString, QString> byName;  // picture name -> caption
    QString error;                   // empty when the file was read whole
};

// Reads the captions file at path. On any fault (unreadable file, malformed
// UTF-8, a line without a tab, an unknown, repeated or missing name, an empty
// caption) error names the file, the line and the fault, and byName is empty.
Captions readCaptions(const QString& path);

}  // namespace quillbox::render
