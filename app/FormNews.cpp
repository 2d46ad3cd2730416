// The news screen: the feed list ten rows to a page, drawn by the window
// itself, paging, adding a feed through the edit that opens on the row where
// it will appear, and deleting the selected rows.

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/ListRows.h"
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
        // The feed of each row in two lines on a background that tells
        // selected, odd and even rows apart; rows past the last feed stay white.
        prepareRowList(
            list, [this](QPainter& painter, const QStyleOptionViewItem& option, int index) {
                RSSInfoBar();
                painter.fillRect(option.rect, Qt::white);
                const int n = kRows * RSSPage + index + 1;
                if (n > RSSList->Count) {
                    return;
                }
                const bool selected = (option.state & QStyle::State_Selected) != 0;
                painter.fillRect(option.rect, selected ? QColor(180, 180, 180) : bandColour(n));
                const TRSSItem& feed = *RSSList->Items[n - 1];
                drawRowLines(painter, option.rect, Scale,
                             fromAnsi(std::string(fieldText(feed.Title)).c_str()),
                             fromAnsi(std::string(fieldText(feed.URL)).c_str()));
            });
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
