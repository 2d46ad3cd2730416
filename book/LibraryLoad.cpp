#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "book/BookErrorText.h"
#include "book/ComputerCopies.h"
#include "book/ForceFolder.h"
#include "book/LibraryCommit.h"
#include "book/LibraryFiles.h"
#include "book/LibraryIndex.h"
#include "book/NetworkTexts.h"
#include "book/RecordFile.h"
#include "common/FixedText.h"

namespace quillbox::book {
namespace {

// Records come from files that may be damaged: every text gets a terminating
// zero within its field before it is used as a text.
void terminateTexts(TBookShelf& shelf) {
    terminateField(shelf.Name);
    terminateField(shelf.Id);
}

void terminateTexts(TBook& book) {
    terminateField(book.Author);
    terminateField(book.Title);
    terminateField(book.Id);
    terminateField(book.BookType);
    terminateField(book.ShelfId);
    terminateField(book.ShelfName);
}

void terminateTexts(TMoney& money) {
    terminateField(money.Balance);
    for (TPayment& payment : money.Payments) {
        terminateField(payment.Date);
        terminateField(payment.Type);
        terminateField(payment.Summ);
    }
    if (money.PaymentCount < 0) {
        money.PaymentCount = 0;
    } else if (money.PaymentCount > kMaxPayments) {
        money.PaymentCount = kMaxPayments;
    }
}

TBookShelf shelfRecord(const char* bytes) {
    TBookShelf shelf{};
    std::memcpy(static_cast<void*>(&shelf), bytes, kBookShelfRecordSize);
    terminateTexts(shelf);
    return shelf;
}

TBook bookRecord(const char* bytes) {
    TBook book;
    std::memcpy(static_cast<void*>(&book), bytes, sizeof book);
    terminateTexts(book);
    return book;
}

// Reads a list file; when it cannot be opened it is created empty and false
// is returned, so that the caller skips the rest of its step.
bool readList(const std::string& path, std::size_t recordSize,
              const std::function<void(const char*)>& onRecord) {
    if (readRecords(path, recordSize, onRecord)) {
        return true;
    }
    createEmptyIfMissing(path);
    return false;
}

class Loader {
  public:
    Loader(TBookLibrary& library, const LibraryFileSet& files) : m_index(library), m_files(files) {}

    // The account's shelves and books. Stored shelves keep their Flags and
    // start without books; every book read gets flag 2.
    void loadAccount() {
        const bool shelvesRead =
            readList(shelfList(1), kBookShelfRecordSize, [this](const char* bytes) {
                TBookShelf record = shelfRecord(bytes);
                record.BookCount = 0;
                m_index.addShelf(record);
            });
        if (!shelvesRead) {
            return;
        }
        readList(bookList(1), sizeof(TBook), [this](const char* bytes) {
            TBook record = bookRecord(bytes);
            TBookShelf* shelf = m_index.shelfForBook(record);
            if (shelf != nullptr) {
                record.Flags = kFlagOnAccount;
                m_index.addBook(*shelf, record);
            }
        });
    }

    // The marks of list 2 (computer) or 3 (reader): known shelves and books get
    // the flag, unknown ones are added with only that flag. A shelf that is not
    // known and had no books is left out.
    void mergeMarks(int list, std::uint16_t flag, bool needComputerCopy) {
        const bool shelvesRead =
            readList(shelfList(list), kBookShelfRecordSize, [this, flag](const char* bytes) {
                TBookShelf record = shelfRecord(bytes);
                if (TBookShelf* shelf = m_index.findShelf(record.Id)) {
                    shelf->Flags |= flag;
                } else if (record.BookCount > 0) {
                    record.BookCount = 0;
                    record.Flags = flag;
                    m_index.addShelf(record);
                }
            });
        if (!shelvesRead) {
            return;
        }
        readList(bookList(list), sizeof(TBook), [this, flag, needComputerCopy](const char* bytes) {
            TBook record = bookRecord(bytes);
            if (needComputerCopy && !m_computerCopies.has(record)) {
                return;
            }
            TBookShelf* shelf = m_index.shelfForBook(record);
            if (shelf == nullptr) {
                return;
            }
            if (TBook* book = m_index.findBook(*shelf, record.Id)) {
                book->Flags |= flag;
            } else {
                record.Flags = flag;
                m_index.addBook(*shelf, record);
            }
        });
    }

    LeftOut leftOut() const { return m_index.leftOut(); }

  private:
    std::string shelfList(int list) const { return m_files.target(list - 1); }
    std::string bookList(int list) const { return m_files.target(2 + list); }

    LibraryIndex m_index;
    ComputerCopies m_computerCopies;
    const LibraryFileSet& m_files;
};

void loadMoney(TMoney& money, const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        createEmptyIfMissing(path);
        return;
    }
    TMoney record;
    std::size_t done = 0;
    while (done < sizeof record) {
        const ssize_t got =
            ::read(descriptor, reinterpret_cast<char*>(&record) + done, sizeof record - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(descriptor);
    // A file without a whole record leaves the money record as it was.
    if (done == sizeof record) {
        terminateTexts(record);
        money = record;
    }
}

}  // namespace

bool LoadBookLibraryFromFile(TBookLibrary& library, TMoney& money, std::string_view folder,
                             std::string_view shelfPrefix, std::string_view bookPrefix,
                             bool loadAccount, LeftOut* leftOut) {
    if (!ForceFolder(folder)) {
        return false;
    }
    const LibraryFileSet files(folder, shelfPrefix, bookPrefix);
    // A save stopped after its commit point is finished before anything is
    // read, so the files read are all old or all new. When that fails the
    // files are read as they are.
    settleLibraryFolder(files);
    Loader loader(library, files);
    if (loadAccount) {
        loader.loadAccount();
    }
    loader.mergeMarks(2, kFlagOnComputer, true);
    loader.mergeMarks(3, kFlagOnReader, false);
    loadMoney(money, files.target(6));
    const LeftOut dropped = loader.leftOut();
    if (dropped.any()) {
        setBookErrorText(texts::libraryOverflow(dropped.shelves, dropped.books));
    }
    if (leftOut != nullptr) {
        *leftOut = dropped;
    }
    return true;
}

}  // namespace quillbox::book
