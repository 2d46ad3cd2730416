#pragma once
// The owner-drawn lists of the news, bookshelf and book screens: ten empty
// items of a fixed height, each row drawn by the window in two lines (Arial
// bold, 9 and 7 points) on a band that alternates white and grey by the row's
// place in the whole list.

#include <QColor>
#include <QObject>
#include <QStyledItemDelegate>
#include <functional>

class QEvent;
class QListWidget;
class QPainter;

namespace quillbox::app {

// Draws a list's rows through a function of the painter, the item's rectangle
// and state, and the item's index (0..9); the painter is restored afterwards.
class ListRowDelegate : public QStyledItemDelegate {
  public:
    using Paint = std::function<void(QPainter&, const QStyleOptionViewItem&, int index)>;
    ListRowDelegate(QListWidget* list, Paint paint);

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    QListWidget* m_list;
    Paint m_paint;
};

// Makes the list one of the window's row lists: white, no scroll bars, ten
// empty items drawn by paint.
void prepareRowList(QListWidget* list, ListRowDelegate::Paint paint);

// The band of the n-th entry of the whole list (1-based): white when odd.
QColor bandColour(int n);

// The two lines of a row in the rectangle row, at the window's scale: first in
// 9 points from (left + 5, top + 1), second in 7 points from (left + 5,
// top + 16), each clipped to its rectangle.
void drawRowLines(QPainter& painter, const QRect& row, double scale, const QString& first,
                  const QString& second);

// The page line of a list of count entries shown from page (0-based): "first-last
// of count", where last is the page's tenth entry unless the page is the last
// or lies beyond it, then count; the arrows show when there is a page before
// or after. A page past the end (the list shrank) reads e.g. "21-15 of 15".
void showPageLine(QWidget* label, QWidget* left, QWidget* right, int page, int count,
                  const QString& of);

// Runs a handler for every event a watched object receives, before it does;
// the handler's true keeps the event from it. Owned by the watched object.
class EventHook : public QObject {
  public:
    EventHook(QObject* watched, std::function<bool(QEvent*)> handler);
    bool eventFilter(QObject*, QEvent* event) override { return m_handler(event); }

  private:
    std::function<bool(QEvent*)> m_handler;
};

}  // namespace quillbox::app
