// The bookshelf screen: the account's shelves ten to a page, the choice of a
// shelf for the book screen, and the update of the whole library from the
// store. The chosen shelf is taken afresh whenever the library is rebuilt, so
// the book screen never works on records the rebuild freed.

#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/ListRows.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"

namespace quillbox::app {
namespace {

constexpr int kRows = 10;
// Language strings of this screen.
constexpr int kBooksAfterCount = 38;
constexpr int kUpdated = 39;
constexpr int kNotConnected = 40;
constexpr int kLoginRefused = 41;
constexpr int kNotLoaded = 42;

QListWidget* shelfList(const TForm1& window) {
    return qobject_cast<QListWidget*>(window.control("BSPListBox"));
}

}  // namespace

void TForm1::connectShelfScreen() {
    if (ImageControl* left = image("BSPLeftImg")) {
        left->onClick = [this] { BSPLeftImgClick(); };
    }
    if (ImageControl* right = image("BSPRightImg")) {
        right->onClick = [this] { BSPRightImgClick(); };
    }
    QListWidget* list = shelfList(*this);
    if (list == nullptr) {
        return;
    }
    // A shelf in two lines, its name and its number of books, on a band inset
    // by one pixel; rows past the last shelf stay white.
    prepareRowList(list, [this](QPainter& painter, const QStyleOptionViewItem& option, int index) {
        BookShelfInfoBar();
        const QRect row = option.rect;
        painter.fillRect(row, Qt::white);
        const int n = kRows * BookShelfPage + index + 1;
        if (n > Library->ShelfCount) {
            return;
        }
        const int inset = roundEven(Scale);
        painter.fillRect(row.adjusted(inset, inset, -inset, -inset), bandColour(n));
        const TBookShelf& shelf = *Library->Shelves[n - 1];
        drawRowLines(painter, row, Scale, fromAnsi(std::string(fieldText(shelf.Name)).c_str()),
                     QString::number(shelf.BookCount) + languageString(kBooksAfterCount));
    });
    list->setSelectionMode(QAbstractItemView::NoSelection);
    new EventHook(list->viewport(), [this](QEvent* event) {
        if (event->type() == QEvent::MouseButtonPress) {
            BSPListBoxMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint().y());
            return true;
        }
        return false;
    });
}

void TForm1::BookShelfInfoBar() {
    showPageLine(control("BSPPagesL"), control("BSPLeftImg"), control("BSPRightImg"), BookShelfPage,
                 Library->ShelfCount, languageString(1));
}

void TForm1::redrawShelfList() {
    BookShelfInfoBar();
    if (QListWidget* list = shelfList(*this)) {
        list->viewport()->update();
    }
}

void TForm1::BSPLeftImgClick() {
    if (BookShelfPage > 0) {
        --BookShelfPage;
    }
    redrawShelfList();
}

void TForm1::BSPRightImgClick() {
    if (BookShelfPage < (Library->ShelfCount - 1) / kRows) {
        ++BookShelfPage;
    }
    redrawShelfList();
}

void TForm1::BSPListBoxMouseDown(int y) {
    const QListWidget* list = shelfList(*this);
    // The rows are as high as the list made them (33 at design, truncated
    // when scaled), so a click is taken by the row it lands on at any scale.
    const int rowHeight = list != nullptr ? list->property("itemHeight").toInt() : 0;
    if (rowHeight <= 0 || y < 0) {
        return;
    }
    const int row = y / rowHeight;
    const int n = kRows * BookShelfPage + row + 1;
    if (row >= kRows || n > Library->ShelfCount) {
        return;
    }
    std::memcpy(static_cast<void*>(&CurrentShelf), Library->Shelves[n - 1], sizeof CurrentShelf);
    CurrentShelfRow = row + 1;
    CurrentShelfIndex = n - 1;
    BookPage = 0;
    if (QLabel* header = label("BPHeaderL")) {
        header->setText(fromAnsi(std::string(fieldText(CurrentShelf.Name)).c_str()));
    }
    SetScreenPanel(control("BookPanel"));
}

void TForm1::updateBookShelves() {
    int message = kLoginRefused;  // no login stored: nothing to ask the store
    ShowHourglass();
    runOperation([this, &message] {
        LoadUserData(&UserData);
        if (UserData.Login.Length == 0) {
            return;
        }
        switch (updateLibraryFromStore()) {
            case kBookUpdateDone:
                SaveUpdateBookShelfDate();
                message = kUpdated;
                break;
            case kBookUpdateNotConnectedOrOverflow:
                message = kNotConnected;
                break;
            case kBookUpdateLoginRefused:
                message = kLoginRefused;
                break;
            default:
                message = kNotLoaded;
                break;
        }
    });
    HideHourglass();
    redrawShelfList();
    setFieldText(ErrorText, Languages.LanguageStrings[static_cast<std::size_t>(message)]);
    ShowError();
}

std::uint8_t TForm1::updateLibraryFromStore() {
    LibraryResult = LoadBookLibraryFromURL(Library.get(), Money.get(), UserData, false);
    logInfo("library update from the store: result " + std::to_string(LibraryResult) + ", " +
            std::to_string(Library->ShelfCount) + " shelves");
    takeShelfAfresh();
    return LibraryResult;
}

void TForm1::takeShelfAfresh() {
    if (CurrentShelfIndex < 0) {
        return;
    }
    int found = -1;
    for (int i = 0; i < Library->ShelfCount; ++i) {
        const TBookShelf& shelf = *Library->Shelves[i];
        if (sameFieldBytes(shelf.Id, CurrentShelf.Id) &&
            sameFieldBytes(shelf.Name, CurrentShelf.Name)) {
            found = i;
            break;
        }
    }
    CurrentShelfIndex = found;
    if (found >= 0) {
        std::memcpy(static_cast<void*>(&CurrentShelf), Library->Shelves[found],
                    sizeof CurrentShelf);
        BookPage = std::min(BookPage, BookLastPage());
    } else {
        std::memset(static_cast<void*>(&CurrentShelf), 0, sizeof CurrentShelf);
        BookPage = 0;
    }
    if (CurrentPanel != control("BookPanel")) {
        return;
    }
    clearBookRowControls();
    if (found >= 0) {
        redrawBookList();
    } else {
        SetScreenPanel(control("BookShelfPanel"));
    }
}

TBookShelf* TForm1::chosenLibraryShelf() {
    if (CurrentShelfIndex < 0 || CurrentShelfIndex >= Library->ShelfCount) {
        return nullptr;
    }
    return Library->Shelves[CurrentShelfIndex];
}

}  // namespace quillbox::app
