#include "controls/CoolText.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include "controls/JustifiedLayout.h"

namespace quillbox::controls {

TCoolText::TCoolText(QWidget* parent) : QLabel(parent) {}

void TCoolText::setCoolAlignment(TCoolAlignment alignment) {
    if (alignment == m_coolAlignment) {
        return;
    }
    m_coolAlignment = alignment;
    update();
}

void TCoolText::setParagraphWidth(int width) {
    if (width == m_paragraphWidth) {
        return;
    }
    m_paragraphWidth = width;
    update();
}

void TCoolText::paintEvent(QPaintEvent* event) {
    if (m_coolAlignment != taCool) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const int inset = margin();
    DrawCaption(painter, contentsRect().adjusted(inset, inset, -inset, -inset), Qt::TextExpandTabs);
}

void TCoolText::DrawCaption(QPainter& painter, const QRect& rect, int flags) const {
    painter.setFont(font());
    painter.setPen(isEnabled() ? palette().color(foregroundRole())
                               : palette().color(QPalette::Disabled, QPalette::Dark));

    const QString caption = text();
    const QFontMetrics metrics = painter.fontMetrics();
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    const int lineHeight = metrics.height();
    flags |= Qt::AlignLeft | Qt::AlignTop;
    for (const JustifiedPiece& piece :
         layoutJustified(caption, widthIn(metrics), rect.x(), rect.width(), m_paragraphWidth)) {
        const int top = rect.y() + piece.line * lineHeight;
        if (top >= bottom) {
            break;
        }
        // The piece's box ends at the label's right and bottom edges, which clip it.
        painter.drawText(QRect(piece.x, top, right - piece.x, bottom - top), flags,
                         caption.sliced(piece.start, piece.length));
    }
}

}  // namespace quillbox::controls
