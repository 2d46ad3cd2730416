#include "app/ListRows.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <cmath>
#include <utility>

#include "app/Form.h"

namespace quillbox::app {
namespace {

constexpr int kRows = 10;

// One line of text from the rectangle's top left, clipped to it, in Arial bold
// of the given size in points at the window's pixels per inch.
void drawLine(QPainter& painter, const QRect& rect, double scale, int points, const QString& text) {
    QFont font(QStringLiteral("Arial"));
    const int pixelsPerInch = roundEven(96 * scale);
    font.setPixelSize(static_cast<int>(std::lround(points * pixelsPerInch / 72.0)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setClipRect(rect);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.setClipping(false);
}

}  // namespace

ListRowDelegate::ListRowDelegate(QListWidget* list, Paint paint)
    : QStyledItemDelegate(list), m_list(list), m_paint(std::move(paint)) {}

QSize ListRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return QSize(1, m_list->property("itemHeight").toInt());
}

void ListRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    painter->save();
    m_paint(*painter, option, index.row());
    painter->restore();
}

void prepareRowList(QListWidget* list, ListRowDelegate::Paint paint) {
    list->setItemDelegate(new ListRowDelegate(list, std::move(paint)));
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, Qt::white);
    list->setPalette(palette);
    list->clear();
    for (int row = 0; row < kRows; ++row) {
        list->addItem(QString());
    }
}

QColor bandColour(int n) {
    return n % 2 == 1 ? QColor(Qt::white) : QColor(230, 230, 230);
}

void drawRowLines(QPainter& painter, const QRect& row, double scale, const QString& first,
                  const QString& second) {
    const auto s = [scale](int x) { return roundEven(x * scale); };
    // Rectangles as left, top, right, bottom, right and bottom exclusive.
    const int left = row.x();
    const int top = row.y();
    const int right = row.x() + row.width();
    const int bottom = row.y() + row.height();
    drawLine(painter,
             QRect(QPoint(left + s(5), top + s(1)), QPoint(right - s(5) - 1, bottom - s(15) - 1)),
             scale, 9, first);
    drawLine(painter,
             QRect(QPoint(left + s(5), top + s(16)), QPoint(right - s(5) - 1, bottom - s(2) - 1)),
             scale, 7, second);
}

void showPageLine(QWidget* label, QWidget* left, QWidget* right, int page, int count,
                  const QString& of) {
    const int lastPage = count > 0 ? (count - 1) / kRows : 0;
    const int first = kRows * page + 1;
    const int last = page < lastPage ? first + kRows - 1 : count;
    if (auto* line = qobject_cast<QLabel*>(label)) {
        line->setText(QString::number(first) + QLatin1Char('-') + QString::number(last) +
                      QLatin1Char(' ') + of + QLatin1Char(' ') + QString::number(count));
    }
    if (left != nullptr) {
        left->setVisible(page > 0);
    }
    if (right != nullptr) {
        right->setVisible(page < lastPage);
    }
}

EventHook::EventHook(QObject* watched, std::function<bool(QEvent*)> handler)
    : QObject(watched), m_handler(std::move(handler)) {
    watched->installEventFilter(this);
}

}  // namespace quillbox::app
