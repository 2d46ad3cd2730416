#pragma once
// A sheet of all pictures of one language at their real size, each with its
// name under it, for reviewing the art.

#include <QImage>
#include <QList>
#include <QString>

namespace quillbox::render {

struct SheetEntry {
    QString name;
    QImage image;
};

// The sheet: the entries in rows, on the grey of the screen, at their own size.
QImage contactSheet(const QList<SheetEntry>& entries);

}  // namespace quillbox::render
