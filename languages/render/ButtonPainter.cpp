#include "languages/render/ButtonPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QSvgRenderer>
#include <algorithm>
#include <optional>

namespace quillbox::render {
namespace {

// E-ink tones: the ink is never pure black and the face never white, as on
// the device's grey screen.
const QColor kInk(0x2b, 0x2b, 0x2b);
const QColor kEdge(0x55, 0x55, 0x55);
const QColor kFace(0xe4, 0xe4, 0xdf);

// A button of this height or more is a menu tile: pictogram above caption.
constexpr int kTileHeight = 80;

struct Layout {
    bool tile;           // pictogram above the caption, else beside it
    double inset;        // transparent margin around the face
    double radius;       // corner radius of the face
    double edge;         // width of the face's edge line
    int pictogram;       // side of the pictogram square
    int gap;             // between pictogram and caption
    int padding;         // free space inside the face's edge
    const char* stroke;  // line width of the pictogram, in its 24-unit grid
    QFont::Stretch stretch;
    int largestPixels;
    int comfortablePixels;  // one line is tried down to this size before two lines
    int smallestPixels;
};

Layout layoutFor(const PictureEntry& entry) {
    // Small pictograms get thicker lines so they stay solid; narrow buttons
    // take the condensed face so their captions stay large.
    if (entry.height >= kTileHeight) {
        return Layout{true, 2.5, 12, 1.6, entry.height * 46 / 100, 6, 8, "1.6", QFont::Unstretched,
                      15,   13,  10};
    }
    return Layout{false, 2.5, 7, 1.3, entry.height - 12, 5, 5, "2.1", QFont::SemiCondensed,
                  14,    12,  9};
}

QFont captionFont(const Layout& layout, int pixels) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setStretch(layout.stretch);
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

struct FittedCaption {
    QFont font;
    QStringList lines;
    int lineHeight = 0;
    int width = 0;
    int height() const { return lineHeight * static_cast<int>(lines.size()); }
};

// The caption as one line, or as the two-line split with the narrowest wider
// line; nullopt when it does not fit maxWidth x maxHeight at pixels.
std::optional<FittedCaption> tryFit(const QString& caption, const Layout& layout, int pixels,
                                    bool twoLines, int maxWidth, int maxHeight) {
    const QFont font = captionFont(layout, pixels);
    const QFontMetrics metrics(font);
    FittedCaption fit{font, {}, metrics.height(), 0};
    if (!twoLines) {
        fit.lines = QStringList{caption};
        fit.width = metrics.horizontalAdvance(caption);
    } else {
        for (qsizetype at = caption.indexOf(' '); at >= 0; at = caption.indexOf(' ', at + 1)) {
            const QString first = caption.left(at).trimmed();
            const QString second = caption.mid(at + 1).trimmed();
            const int width =
                std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
            if (fit.lines.isEmpty() || width < fit.width) {
                fit.lines = QStringList{first, second};
                fit.width = width;
            }
        }
        if (fit.lines.isEmpty()) {
            return std::nullopt;
        }
    }
    if (fit.width > maxWidth || fit.height() > maxHeight) {
        return std::nullopt;
    }
    return fit;
}

// One line down to the comfortable size, then two lines down to the smallest,
// then one line down to the smallest.
std::optional<FittedCaption> fitCaption(const QString& caption, const Layout& layout, int maxWidth,
                                        int maxHeight) {
    for (int px = layout.largestPixels; px >= layout.comfortablePixels; --px) {
        if (auto fit = tryFit(caption, layout, px, false, maxWidth, maxHeight)) {
            return fit;
        }
    }
    for (int px = layout.largestPixels; px >= layout.smallestPixels; --px) {
        if (auto fit = tryFit(caption, layout, px, true, maxWidth, maxHeight)) {
            return fit;
        }
    }
    for (int px = layout.comfortablePixels - 1; px >= layout.smallestPixels; --px) {
        if (auto fit = tryFit(caption, layout, px, false, maxWidth, maxHeight)) {
            return fit;
        }
    }
    return std::nullopt;
}

struct Placement {
    int side;  // of the pictogram
    FittedCaption caption;
};

// Whether a reads better than b: a one-line caption at a comfortable size,
// then the larger font, then the larger pictogram.
bool readsBetter(const Placement& a, const Placement& b, const Layout& layout) {
    const auto easy = [&](const Placement& p) {
        return p.caption.lines.size() == 1 &&
               p.caption.font.pixelSize() >= layout.comfortablePixels;
    };
    if (easy(a) != easy(b)) {
        return easy(a);
    }
    if (a.caption.font.pixelSize() != b.caption.font.pixelSize()) {
        return a.caption.font.pixelSize() > b.caption.font.pixelSize();
    }
    return a.side > b.side;
}

// The pictogram size and caption for entry. Tiles keep one pictogram size so
// the menu looks even; a wide button gives up to a quarter of its pictogram
// when that lets the caption read better. nullopt when the caption never fits.
std::optional<Placement> place(const PictureEntry& entry, const Layout& layout,
                               const QString& caption) {
    const int innerWidth = entry.width - 2 * static_cast<int>(layout.inset) - 2 * layout.padding;
    const int innerHeight =
        entry.height - 2 * static_cast<int>(layout.inset) - (layout.tile ? layout.padding : 4);
    const int smallestSide = layout.tile ? layout.pictogram : layout.pictogram * 3 / 4;
    std::optional<Placement> best;
    for (int side = layout.pictogram; side >= smallestSide; side -= 2) {
        const int width = layout.tile ? innerWidth : innerWidth - side - layout.gap;
        const int height = layout.tile ? innerHeight - side - layout.gap : innerHeight;
        if (auto fit = fitCaption(caption, layout, width, height)) {
            Placement candidate{side, *fit};
            if (!best || readsBetter(candidate, *best, layout)) {
                best = candidate;
            }
        }
    }
    return best;
}

void drawCaption(QPainter& painter, const FittedCaption& fit, double left, double top) {
    painter.setFont(fit.font);
    painter.setPen(kInk);
    const QFontMetrics metrics(fit.font);
    for (qsizetype i = 0; i < fit.lines.size(); ++i) {
        const int width = metrics.horizontalAdvance(fit.lines[i]);
        const double x = left + (fit.width - width) / 2.0;
        const double baseline = top + fit.lineHeight * static_cast<double>(i) + metrics.ascent();
        painter.drawText(QPointF(x, baseline), fit.lines[i]);
    }
}

}  // namespace

PaintedButton paintButton(const PictureEntry& entry, const QString& caption,
                          const QByteArray& pictogramSvg) {
    const QString name =
        QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
    const Layout layout = layoutFor(entry);
    const bool tile = layout.tile;
    QByteArray svg = pictogramSvg;
    svg.replace("#000000", kInk.name().toLatin1());
    svg.replace("#ffffff", kFace.name().toLatin1());
    svg.replace("stroke-width=\"1.8\"", QByteArray("stroke-width=\"") + layout.stroke + '"');
    QSvgRenderer pictogram(svg);
    if (!pictogram.isValid()) {
        return {{}, name + ": the pictogram is not a valid SVG"};
    }

    const auto placed = place(entry, layout, caption);
    if (!placed) {
        return {{}, name + ": the caption \"" + caption + "\" does not fit"};
    }
    const FittedCaption* fit = &placed->caption;

    QImage image(entry.width, entry.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    const double half = layout.edge / 2;
    const QRectF face(layout.inset + half, layout.inset + half,
                      entry.width - 2 * (layout.inset + half),
                      entry.height - 2 * (layout.inset + half));
    painter.setPen(QPen(kEdge, layout.edge));
    painter.setBrush(kFace);
    painter.drawRoundedRect(face, layout.radius, layout.radius);

    const double side = placed->side;
    if (tile) {
        const double group = side + layout.gap + fit->height();
        const double top = (entry.height - group) / 2;
        pictogram.render(&painter, QRectF((entry.width - side) / 2, top, side, side));
        drawCaption(painter, *fit, (entry.width - fit->width) / 2.0, top + side + layout.gap);
    } else {
        const double group = side + layout.gap + fit->width;
        const double left = (entry.width - group) / 2;
        pictogram.render(&painter, QRectF(left, (entry.height - side) / 2, side, side));
        drawCaption(painter, *fit, left + side + layout.gap, (entry.height - fit->height()) / 2.0);
    }
    painter.end();
    return {image, {}};
}

}  // namespace quillbox::render
