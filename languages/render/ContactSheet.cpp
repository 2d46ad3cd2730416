#include "languages/render/ContactSheet.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace quillbox::render {

QImage contactSheet(const QList<SheetEntry>& entries) {
    constexpr int kSheetWidth = 600;
    constexpr int kMargin = 12;
    QFont labelFont(QStringLiteral("DejaVu Sans"));
    labelFont.setPixelSize(9);
    const int labelHeight = QFontMetrics(labelFont).height() + 2;

    // Flow the entries into rows that fit the sheet's width.
    struct Placed {
        const SheetEntry* entry;
        QPoint at;
    };
    QList<Placed> placed;
    int x = kMargin;
    int y = kMargin;
    int rowHeight = 0;
    for (const SheetEntry& entry : entries) {
        const int cellWidth = std::max(entry.image.width(), 100) + kMargin;
        if (x + cellWidth > kSheetWidth && x > kMargin) {
            x = kMargin;
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
        placed.append({&entry, QPoint(x, y)});
        x += cellWidth;
        rowHeight = std::max(rowHeight, entry.image.height() + labelHeight);
    }

    QImage sheet(kSheetWidth, y + rowHeight + kMargin, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xd2, 0xd2, 0xcc));
    QPainter painter(&sheet);
    painter.setRenderHints(QPainter::TextAntialiasing);
    painter.setFont(labelFont);
    painter.setPen(QColor(0x44, 0x44, 0x44));
    for (const Placed& p : placed) {
        painter.drawImage(p.at, p.entry->image);
        painter.drawText(QPointF(p.at.x(), p.at.y() + p.entry->image.height() +
                                               QFontMetrics(labelFont).ascent() + 1),
                         p.entry->name);
    }
    painter.end();
    return sheet;
}

}  // namespace quillbox::render
