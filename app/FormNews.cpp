// The news screen: the feed list ten rows to a page, drawn by the window
// itself, paging, adding a feed through the edit that opens on the row where
// it will appear, and deleting the selected rows.

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "platform/CodePage.h"

namespace quillbox::app {
namespace {

constexpr int kRows = 10;
// Language strings of this screen.
constexpr int kPrompt = 30;
constexpr int kAlreadyListed = 33;
constexpr int kAdded = 39;
constexpr int kNotUpdated = 44;
constexpr int kNoDocument = 45;
constexpr int kNotAFeed = 46;

QListWidget* listOf(const TForm1& window) {
    return qobject_cast<QListWidget*>(window.control("RSSListBox"));
}

QLineEdit* editOf(const TForm1& window) {
    return qobject_cast<QLineEdit*>(window.control("RSSEdit"));
}

// Runs a handler for every event a watched object receives, before it does;
// the handler's true keeps the event from it. Owned by the watched object.
class EventHook : public QObject {
  public:
    EventHook(QObject* watched, std::function<bool(QEvent*)> handler)
        : QObject(watched), m_handler(std::move(handler)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override { return m_handler(event); }

  private:
    std::function<bool(QEvent*)> m_handler;
};

// Draws the list's rows: the feed of the current page in two lines on a
// background that tells selected, odd and even rows apart; rows past the last
// feed stay white.
class FeedRowDelegate : public QStyledItemDelegate {
  public:
    FeedRowDelegate(TForm1& window, QListWidget* list)
        : QStyledItemDelegate(list), m_window(window), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(1, m_list->property("itemHeight").toInt());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        m_window.RSSInfoBar();
        const QRect row = option.rect;
        painter->save();
        painter->fillRect(row, Qt::white);
        const int n = kRows * m_window.RSSPage + index.row() + 1;
        if (n <= m_window.RSSList->Count) {
            const bool selected = (option.state & QStyle::State_Selected) != 0;
            QColor background = n % 2 == 1 ? QColor(Qt::white) : QColor(230, 230, 230);
            if (selected) {
                background = QColor(180, 180, 180);
            }
            painter->fillRect(row, background);
            const TRSSItem& feed = *m_window.RSSList->Items[n - 1];
            // Rectangles as left, top, right, bottom, right and bottom exclusive.
            const int left = row.x();
            const int top = row.y();
            const int right = row.x() + row.width();
            const int bottom = row.y() + row.height();
            drawLine(painter,
                     QRect(QPoint(left + s(5), top + s(1)),
                           QPoint(right - s(5) - 1, bottom - s(15) - 1)),
                     9, fromAnsi(std::string(fieldText(feed.Title)).c_str()));
            drawLine(painter,
                     QRect(QPoint(left + s(5), top + s(16)),
                           QPoint(right - s(5) - 1, bottom - s(2) - 1)),
                     7, fromAnsi(std::string(fieldText(feed.URL)).c_str()));
        }
        painter->restore();
    }

  private:
    int s(int x) const { return roundEven(x * m_window.Scale); }

    // One line of text from the rectangle's top left, clipped to it, in Arial
    // bold of the given size in points at the window's pixels per inch.
    void drawLine(QPainter* painter, const QRect& rect, int points, const QString& text) const {
        QFont font(QStringLiteral("Arial"));
        const int pixelsPerInch = roundEven(96 * m_window.Scale);
        font.setPixelSize(static_cast<int>(std::lround(points * pixelsPerInch / 72.0)));
        font.setBold(true);
        painter->setFont(font);
        painter->setPen(Qt::black);
        painter->setClipRect(rect);
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->setClipping(false);
    }

    TForm1& m_window;
    QListWidget* m_list;
};

// Whether the edit still shows the prompt rather than a typed address.
bool showsPrompt(const QString& text, const QString& prompt) {
    return !prompt.isEmpty() && text.contains(prompt);
}

}  // namespace

void TForm1::connectNewsScreen() {
    if (ImageControl* left = image("RSSLeftImg")) {
        left->onClick = [this] { RSSLeftImgClick(); };
    }
    if (ImageControl* right = image("RSSRightImg")) {
        right->onClick = [this] { RSSRightImgClick(); };
    }
    if (QListWidget* list = listOf(*this)) {
        list->setItemDelegate(new FeedRowDelegate(*this, list));
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QPalette palette = list->palette();
        palette.setColor(QPalette::Base, Qt::white);
        list->setPalette(palette);
        list->clear();
        for (int row = 0; row < kRows; ++row) {
            list->addItem(QString());
        }
        connect(list, &QListWidget::itemSelectionChanged, this, [this] { RSSListBoxClick(); });
        new EventHook(list, [this](QEvent* event) {
            if (event->type() == QEvent::KeyPress &&
                !static_cast<QKeyEvent*>(event)->text().isEmpty()) {
                RSSListBoxClick();
            }
            return false;
        });
    }
    if (QLineEdit* edit = editOf(*this)) {
        new EventHook(edit, [this](QEvent* event) {
            if (event->type() == QEvent::KeyPress) {
                const auto* key = static_cast<QKeyEvent*>(event);
                const bool typed = !key->text().isEmpty() && key->key() != Qt::Key_Tab &&
                                   key->key() != Qt::Key_Backtab;
                const bool taken = key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
                                   key->key() == Qt::Key_Enter;
                return (typed || taken) && RSSEditKeyPress(key->key());
            }
            if (event->type() == QEvent::FocusOut) {
                // Another window or a menu taking the keyboard is no exit.
                const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
                if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                    RSSEditExit();
                }
            }
            return false;
        });
    }
}

int TForm1::RSSLastPage() const {
    return (RSSList->Count - 1) / kRows;  // truncates toward zero: 0 for an empty list
}

void TForm1::clampRSSPage() {
    RSSPage = std::min(RSSPage, RSSLastPage());
}

void TForm1::redrawRSSList() {
    RSSInfoBar();
    if (QListWidget* list = listOf(*this)) {
        list->viewport()->update();
    }
}

void TForm1::RSSLeftImgClick() {
    if (RSSPage > 0) {
        --RSSPage;
    }
    redrawRSSList();
}

void TForm1::RSSRightImgClick() {
    if (RSSPage < RSSLastPage()) {
        ++RSSPage;
    }
    redrawRSSList();
}

void TForm1::RSSListBoxClick() {
    const QListWidget* list = listOf(*this);
    QWidget* remove = control("RSSDeleteImg");
    if (list == nullptr || remove == nullptr) {
        return;
    }
    int first = -1;
    for (int row = 0; row < kRows && row < list->count(); ++row) {
        if (list->item(row)->isSelected()) {
            first = row;
            break;
        }
    }
    remove->setEnabled(first >= 0 && kRows * RSSPage + first + 1 <= RSSList->Count);
}

void TForm1::RSSAddClick() {
    QLineEdit* edit = editOf(*this);
    if (edit == nullptr) {
        return;
    }
    if (edit->hasFocus() && !edit->text().isEmpty()) {
        AddRSS();
        return;
    }
    edit->hide();
    const int count = RSSList->Count;
    RSSPage = count / kRows;
    edit->move(edit->x(), roundEven((45 + 33 * (count % kRows)) * Scale));
    QFont font = edit->font();
    font.setItalic(true);
    edit->setFont(font);
    edit->setText(languageString(kPrompt));
    redrawRSSList();
    edit->show();
    if (!edit->hasFocus()) {
        edit->setFocus(Qt::OtherFocusReason);
    }
}

bool TForm1::RSSEditKeyPress(int key) {
    QLineEdit* edit = editOf(*this);
    if (edit == nullptr) {
        return false;
    }
    if (showsPrompt(edit->text(), languageString(kPrompt))) {
        QFont font = edit->font();
        font.setItalic(false);
        edit->setFont(font);
        edit->clear();
    }
    if (key == Qt::Key_Escape) {
        edit->clear();
        edit->hide();
        clampRSSPage();
        redrawRSSList();
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        AddRSS();
        return true;
    }
    return false;
}

void TForm1::RSSEditExit() {
    AddRSS();
    if (QLineEdit* edit = editOf(*this); edit != nullptr && edit->isVisible()) {
        edit->hide();
    }
}

void TForm1::AddRSS() {
    QLineEdit* edit = editOf(*this);
    if (edit == nullptr) {
        return;
    }
    const QString typed = edit->text();
    if (typed.isEmpty() || showsPrompt(typed, languageString(kPrompt))) {
        return;
    }
    // The address is kept in the system code page, exactly as typed; one that
    // code page cannot hold, or that does not fit the field, is refused rather
    // than stored altered.
    const Result<std::string> address =
        platform::fromUtf8(typed.toStdString(), platform::systemAnsiCodePage());
    TRSSItem entry{};
    edit->clear();
    edit->hide();
    const auto finish = [this] {
        clampRSSPage();
        redrawRSSList();
    };
    if (!address.ok()) {
        showMessage(
            QStringLiteral("This address has characters that cannot be stored. "
                           "The feed was not added."));
        finish();
        return;
    }
    if (!setFieldText(entry.URL, address.value())) {
        showMessage(QStringLiteral("This address is longer than %1 characters. "
                                   "The feed was not added.")
                        .arg(sizeof entry.URL - 1));
        finish();
        return;
    }
    for (int i = 0; i < RSSList->Count; ++i) {
        if (sameFieldBytes(RSSList->Items[i]->URL, entry.URL)) {
            setFieldText(ErrorText, Languages.LanguageStrings[kAlreadyListed]);
            ShowError();
            finish();
            return;
        }
    }

    int message = kNotUpdated;
    ShowHourglass();
    runOperation([this, &entry, &message] {
        LoadUserData(&UserData);
        UserData.Pictures = SystemInfo.Pictures;
        const std::string folder = m_dataFolder + "RSS/";
        switch (LoadRSSNewsFromURL(&entry, folder.c_str(), &UserData, m_application.get(),
                                   &m_application->browser(), 0)) {
            case kRssOk:
                // A full list refuses the feed: that is no success.
                if (AddToRSSList(static_cast<std::uint16_t>(RSSList->Count + 1), &entry,
                                 RSSList.get()) == kRssOk) {
                    message = kAdded;
                }
                break;
            case kRssNoDocument:
                message = kNoDocument;
                break;
            case kRssNotAFeed:
                message = kNotAFeed;
                break;
            default:
                break;
        }
    });
    HideHourglass();
    setFieldText(ErrorText, Languages.LanguageStrings[message]);
    ShowError();
    finish();
}

void TForm1::RSSDeleteClick() {
    const QListWidget* list = listOf(*this);
    if (list == nullptr) {
        return;
    }
    // Positions move up by one for every feed removed before them.
    const int count = RSSList->Count;
    int removed = 0;
    for (int row = 0; row < kRows && row < list->count(); ++row) {
        const int feed = kRows * RSSPage + row + 1;
        if (list->item(row)->isSelected() && feed <= count) {
            DeleteFromRSSList(static_cast<std::uint16_t>(feed - removed), RSSList.get());
            ++removed;
        }
    }
    clampRSSPage();
    redrawRSSList();
}

}  // namespace quillbox::app
