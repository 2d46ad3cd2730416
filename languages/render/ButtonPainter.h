#pragma once
// Draws one button picture in the style of the grey e-ink screen: a light grey
// rounded face with a graphite edge, the pictogram and the caption in graphite,
// anti-aliased, transparent outside the face.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "languages/render/PictureTable.h"

namespace quillbox::render {

struct PaintedButton {
    QImage image;   // entry.width x entry.height, ARGB; null on failure
    QString error;  // why nothing was drawn
};

// The picture of entry with caption and pictogramSvg (an SVG on a 24-unit grid
// drawn in #000000 with stroke-width="1.8" on its root, #ffffff where the face
// shows through; the painter sets both to its own ink and line width). Tall buttons put the caption
// under the pictogram, wide ones beside it; the caption shrinks, then wraps to two lines, to fit.
// Fails when the SVG is invalid or the caption cannot fit.
PaintedButton paintButton(const PictureEntry& entry, const QString& caption,
                          const QByteArray& pictogramSvg);

}  // namespace quillbox::render
