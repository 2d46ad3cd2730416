// The book screen's reader actions: saving the ticked books to the reader
// (copied from the computer when a copy is there, otherwise downloaded
// straight to it) and deleting them from the reader. The reader keeps one
// folder per shelf in its root, named as on the computer.

#include <QCheckBox>
#include <cstring>
#include <fstream>
#include <string>

#include "app/Form.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "contracts/Hostkit.h"
#include "platform/PathNormaliser.h"

namespace quillbox::app {
namespace {

constexpr int kRows = 10;
// Language strings of these actions.
constexpr int kCopyFailed = 32;
constexpr int kNoReader = 37;
constexpr int kCopied = 43;

bool opensForReading(const std::string& path) {
    const std::ifstream in(platform::toNativePath(path), std::ios::binary);
    return in.is_open();
}

}  // namespace

void TForm1::saveBooksToReader() {
    std::memset(ErrorText, 0, sizeof ErrorText);
    if (ReaderDrive < 1) {
        setFieldText(ErrorText, Languages.LanguageStrings[kNoReader]);
    } else {
        const std::string drive(1, static_cast<char>('A' + ReaderDrive));
        ShowHourglass();
        runOperation([&] {
            CopyTimer.setEnabled(false);
            UpdateTimer.setEnabled(false);
            for (int row = 1; row <= kRows && !m_application->Cancelled(); ++row) {
                TBook* book = tickedBook(row);
                if (book == nullptr) {
                    continue;
                }
                QCheckBox* box = BookCheckBoxes[static_cast<std::size_t>(row - 1)];
                if ((book->Flags & kFlagOnComputer) == 0) {
                    // Every ticked book of the page in the account goes
                    // straight from the store to the reader.
                    Download(drive + ":/", 0);
                    box->setChecked(false);
                    continue;
                }
                const std::string relative = bookRelativePath(*book);
                const std::string source = m_dataFolder + "Books/" + relative;
                if (relative.empty() || !opensForReading(source)) {
                    // The copy on the computer is gone: the box stays ticked.
                    setFieldText(ErrorText, Languages.LanguageStrings[kCopyFailed]);
                    continue;
                }
                const std::string folder =
                    drive + ":\\" + safeFolderName(fieldText(book->ShelfName)) + "\\";
                if (!CreateDirEx(folder.c_str())) {
                    setFieldText(ErrorText, Languages.LanguageStrings[kCopyFailed]);
                    continue;
                }
                ShowHourglass();
                ShowCopyPanel(fromAnsi(bookFileName(*book).c_str()));
                const bool copied =
                    CopyFileToDevice(source.c_str(), (drive + ":\\" + relative).c_str(),
                                     m_application.get(), progressBar(), percentLabel());
                HideCopyPanel();
                logInfo("copy of " + relative + " to the reader: " + (copied ? "done" : "failed"));
                if (copied) {
                    book->Flags |= kFlagOnReader;
                    if (TBookShelf* shelf = chosenLibraryShelf()) {
                        shelf->Flags |= kFlagOnReader;
                    }
                    box->setChecked(false);
                    setFieldText(ErrorText, Languages.LanguageStrings[kCopied]);
                } else {
                    setFieldText(ErrorText, Languages.LanguageStrings[kCopyFailed]);
                }
            }
            CopyTimer.setEnabled(true);
            UpdateTimer.setEnabled(true);
        });
        HideHourglass();
    }
    if (ErrorText[0] != 0) {
        ShowError();
    }
    redrawBookList();
}

void TForm1::DeleteFileFromDevice() {
    if (ReaderDrive < 1) {
        setFieldText(ErrorText, Languages.LanguageStrings[kNoReader]);
        ShowError();
        redrawBookList();
        return;
    }
    const std::string root = std::string(1, static_cast<char>('A' + ReaderDrive)) + ":\\";
    deleteTickedBooks(root, root, kFlagOnReader);
}

}  // namespace quillbox::app
