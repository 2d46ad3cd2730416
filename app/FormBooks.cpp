// The book screen: the chosen shelf's books ten to a page, each row with a
// check box and up to three marks (in the account, on the computer, on the
// reader), paging, and the actions on the ticked books of the page: download
// to the computer and delete from it. Every action stores only its own
// outcome, and touches only ticked rows that hold a book of the shelf.

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/ListRows.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "platform/PathNormaliser.h"

namespace quillbox::app {
namespace {

constexpr int kRows = 10;
// Language strings of this screen.
constexpr int kDownloaded = 34;
constexpr int kNotDownloaded = 35;
constexpr int kNotDeleted = 36;

QListWidget* bookList(const TForm1& window) {
    return qobject_cast<QListWidget*>(window.control("BPListBox"));
}

constexpr std::uint16_t kMarkFlags[3] = {kFlagOnAccount, kFlagOnComputer, kFlagOnReader};

}  // namespace

void TForm1::connectBookScreen() {
    if (ImageControl* left = image("BPLeftImg")) {
        left->onClick = [this] { BPLeftImgClick(); };
    }
    if (ImageControl* right = image("BPRightImg")) {
        right->onClick = [this] { BPRightImgClick(); };
    }
    QListWidget* list = bookList(*this);
    if (list == nullptr) {
        return;
    }
    // A book in two lines, title with its type and the author, on a band;
    // rows past the shelf's last book stay white.
    prepareRowList(list, [this](QPainter& painter, const QStyleOptionViewItem& option, int index) {
        BookInfoBar();
        painter.fillRect(option.rect, Qt::white);
        const int n = kRows * BookPage + index + 1;
        if (n > CurrentShelf.BookCount) {
            return;
        }
        painter.fillRect(option.rect, bandColour(n));
        const TBook& book = *CurrentShelf.BookList[n - 1];
        std::string title(fieldText(book.Title));
        title += fieldText(book.BookType);
        drawRowLines(painter, option.rect, Scale, fromAnsi(title.c_str()),
                     fromAnsi(std::string(fieldText(book.Author)).c_str()));
    });
    list->setSelectionMode(QAbstractItemView::NoSelection);
}

void TForm1::BookInfoBar() {
    showPageLine(control("BPPagesL"), control("BPLeftImg"), control("BPRightImg"), BookPage,
                 CurrentShelf.BookCount, languageString(1));
}

int TForm1::BookLastPage() const {
    return CurrentShelf.BookCount > 0 ? (CurrentShelf.BookCount - 1) / kRows : 0;
}

void TForm1::redrawBookList() {
    BookInfoBar();
    // The marks come from the books' flags alone: no file-system call.
    for (int row = 1; row <= kRows; ++row) {
        const int n = kRows * BookPage + row;
        if (n > CurrentShelf.BookCount) {
            continue;
        }
        const std::uint16_t flags = CurrentShelf.BookList[n - 1]->Flags;
        for (int mark = 0; mark < 3; ++mark) {
            ImageControl* image = BookMarkImages[static_cast<std::size_t>(3 * (row - 1) + mark)];
            if (image != nullptr && (flags & kMarkFlags[mark]) != 0) {
                image->show();
            }
        }
        if (QCheckBox* box = BookCheckBoxes[static_cast<std::size_t>(row - 1)]) {
            box->show();
        }
    }
    if (QListWidget* list = bookList(*this)) {
        list->viewport()->update();
    }
}

void TForm1::clearBookRowControls() {
    for (ImageControl* image : BookMarkImages) {
        if (image != nullptr) {
            image->hide();
        }
    }
    for (QCheckBox* box : BookCheckBoxes) {
        if (box != nullptr) {
            box->hide();
            box->setChecked(false);
        }
    }
}

void TForm1::BPLeftImgClick() {
    clearBookRowControls();
    if (BookPage > 0) {
        --BookPage;
    }
    redrawBookList();
}

void TForm1::BPRightImgClick() {
    clearBookRowControls();
    if (BookPage < BookLastPage()) {
        ++BookPage;
    }
    redrawBookList();
}

TBook* TForm1::tickedBook(int row) {
    const QCheckBox* box = BookCheckBoxes[static_cast<std::size_t>(row - 1)];
    const int n = kRows * BookPage + row;
    if (box == nullptr || !box->isChecked() || n > CurrentShelf.BookCount) {
        return nullptr;
    }
    return CurrentShelf.BookList[n - 1];
}

void TForm1::Download(const std::string& folder, int mode) {
    // The computer's copies go to the data folder's Books/, the folder where
    // the library looks for them, as a full path of any length.
    const std::string target = mode == 1 ? m_dataFolder + "Books/" : folder;
    const std::uint16_t flag = mode == 1 ? kFlagOnComputer : kFlagOnReader;
    if (mode == 1) {
        std::memset(ErrorText, 0, sizeof ErrorText);
    }
    ShowHourglass();
    runOperation([&] {
        UpdateTimer.setEnabled(false);
        LoadUserData(&UserData);
        for (int row = 1; row <= kRows && !m_application->Cancelled(); ++row) {
            TBook* book = tickedBook(row);
            if (book == nullptr) {
                continue;
            }
            QCheckBox* box = BookCheckBoxes[static_cast<std::size_t>(row - 1)];
            if ((book->Flags & kFlagOnAccount) == 0) {
                box->setChecked(false);  // not in the account: nothing to download
                continue;
            }
            std::string name(fieldText(book->Title));
            name += fieldText(book->BookType);
            ShowCopyPanel(QStringLiteral("/Books/") + fromAnsi(name.c_str()));
            LibraryResult = 0;
            LibraryResult =
                DownloadFile(book, target.c_str(), &UserData, m_application.get(),
                             &m_application->browser(), progressBar(), percentLabel(), false);
            logInfo("download of " + name + (mode == 1 ? " to the computer" : " to the reader") +
                    ": result " + std::to_string(LibraryResult));
            if (LibraryResult == kBookDownloadDone) {
                box->setChecked(false);
                book->Flags |= flag;
                if (TBookShelf* shelf = chosenLibraryShelf()) {
                    shelf->Flags |= flag;
                }
                setFieldText(ErrorText, Languages.LanguageStrings[kDownloaded]);
            } else {
                // 4, or 0 when the folder could not be made: the box stays
                // ticked, so a second press retries only the failed books.
                setFieldText(ErrorText, Languages.LanguageStrings[kNotDownloaded]);
            }
            HideCopyPanel();
        }
        if (mode == 1) {
            UpdateTimer.setEnabled(true);
        }
    });
    HideHourglass();
    if (ErrorText[0] != 0) {
        ShowError();
    }
    redrawBookList();
}

bool TForm1::removeBookFile(const std::string& folder, const std::string& root, const TBook& book) {
    namespace fs = std::filesystem;
    const std::string relative = bookRelativePath(book);
    if (relative.empty()) {
        return true;  // a book without a file name never had a file
    }
    std::error_code error;
    // A folder that is gone (a reader pulled out) is a failure, not a
    // deletion: the mark stays.
    if (!fs::is_directory(platform::toNativePath(root), error)) {
        return false;
    }
    const std::string path = platform::toNativePath(folder + relative);
    fs::remove(path, error);
    std::error_code missing;
    const fs::file_status status = fs::symlink_status(path, missing);
    if (missing && missing != std::errc::no_such_file_or_directory) {
        return false;
    }
    return !fs::exists(status);
}

void TForm1::deleteTickedBooks(const std::string& folder, const std::string& root,
                               std::uint16_t flag) {
    std::memset(ErrorText, 0, sizeof ErrorText);
    ShowHourglass();
    runOperation([&] {
        CopyTimer.setEnabled(false);
        UpdateTimer.setEnabled(false);
        for (int row = 1; row <= kRows; ++row) {
            TBook* book = tickedBook(row);
            if (book == nullptr || (book->Flags & flag) == 0) {
                continue;
            }
            // The mark goes only with the file: a file removed by hand counts
            // as gone, one that stays (protected, drive pulled) keeps it.
            const bool gone = removeBookFile(folder, root, *book);
            logInfo("deleting " + bookFileName(*book) +
                    (flag == kFlagOnComputer ? " from the computer: " : " from the reader: ") +
                    (gone ? "done" : "failed"));
            if (gone) {
                book->Flags = static_cast<std::uint16_t>(book->Flags & ~flag);
            } else {
                setFieldText(ErrorText, Languages.LanguageStrings[kNotDeleted]);
                ShowError();
            }
        }
        clearBookRowControls();
        UpdateTimer.setEnabled(true);
        CopyTimer.setEnabled(true);
    });
    HideHourglass();
    redrawBookList();
}

void TForm1::DeleteFileFromComp() {
    deleteTickedBooks(m_dataFolder + "Books/", m_dataFolder, kFlagOnComputer);
}

}  // namespace quillbox::app
