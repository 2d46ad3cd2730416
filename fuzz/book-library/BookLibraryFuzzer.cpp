// Any bytes as the seven files of a library folder (see LibraryInput.h),
// loaded the way the program loads its library at start. The library that
// results must keep its limits, hold only terminated texts, give every book
// its shelf's Id and only the flags the files stand for, and free cleanly.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "book/BookLibrary.h"
#include "book/BookNames.h"
#include "book/LibraryFiles.h"
#include "common/BookTypes.h"
#include "common/FixedText.h"
#include "fuzz/book-library/LibraryInput.h"
#include "fuzz/support/FuzzChecks.h"
#include "fuzz/support/FuzzFolder.h"

namespace {

using namespace quillbox;
using fuzz::requireTerminated;

std::string libraryFolder() {
    return fuzz::scratchFolder() + "library/";
}

// The data folder (QUILLBOX_HOME) whose Books/ holds the computer copies.
std::string homeFolder() {
    return fuzz::scratchFolder() + "home/";
}

// Gives every whole book record of list 2 its file at the book's computer copy
// path, so that the loader finds them on the computer.
void placeComputerCopies(std::string_view books) {
    for (std::size_t at = 0; at + sizeof(TBook) <= books.size(); at += sizeof(TBook)) {
        TBook book;
        std::memcpy(static_cast<void*>(&book), books.data() + at, sizeof book);
        terminateField(book.Title);
        terminateField(book.BookType);
        terminateField(book.ShelfName);
        const std::string path = book::computerCopyPath(book);
        const std::size_t slash = path.rfind('/');
        if (path.empty() || slash == std::string::npos) {
            continue;
        }
        std::error_code error;
        std::filesystem::create_directories(path.substr(0, slash), error);
        (void)error;
        // A name the file system refuses just leaves that book without a copy.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void checkLibrary(const TBookLibrary& library, const TMoney& money) {
    if (library.ShelfCount > kMaxShelves || money.PaymentCount < 0 ||
        money.PaymentCount > kMaxPayments) {
        __builtin_trap();
    }
    requireTerminated(money.Balance);
    for (const TPayment& payment : money.Payments) {
        requireTerminated(payment.Date);
        requireTerminated(payment.Type);
        requireTerminated(payment.Summ);
    }
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf* shelf = library.Shelves[s];
        if (shelf == nullptr || shelf->BookCount > kMaxBooksPerShelf) {
            __builtin_trap();
        }
        requireTerminated(shelf->Name);
        requireTerminated(shelf->Id);
        for (int b = 0; b < shelf->BookCount; ++b) {
            const TBook* book = shelf->BookList[b];
            if (book == nullptr || book->Flags == 0 ||
                (book->Flags & ~(kFlagOnAccount | kFlagOnComputer | kFlagOnReader)) != 0 ||
                !sameFieldBytes(book->ShelfId, shelf->Id)) {
                __builtin_trap();
            }
            requireTerminated(book->Author);
            requireTerminated(book->Title);
            requireTerminated(book->Id);
            requireTerminated(book->BookType);
            requireTerminated(book->ShelfName);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::create_directories(homeFolder());
    std::filesystem::create_directories(libraryFolder());
    ::setenv("QUILLBOX_HOME", homeFolder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::LibraryInput input =
        fuzz::splitLibraryInput(std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::emptyFolder(libraryFolder());
    fuzz::emptyFolder(homeFolder());
    for (std::size_t i = 0; i < input.files.size(); ++i) {
        fuzz::writeWholeFile(libraryFolder() + std::string(fuzz::kLibraryFiles[i]), input.files[i]);
    }
    if ((input.options & fuzz::kComputerCopies) != 0 && input.files.size() > 4) {
        placeComputerCopies(input.files[4]);
    }

    TBookLibrary library{};
    TMoney money{};
    if ((input.options & fuzz::kLibraryNotEmpty) != 0) {
        TBookShelf shelf{};
        setFieldText(shelf.Name, "Kept");
        setFieldText(shelf.Id, "kept");
        shelf.Flags = kFlagOnAccount;
        TBook kept{};
        setFieldText(kept.Title, "Kept book");
        setFieldText(kept.Id, "kept/book");
        kept.Flags = kFlagOnAccount;
        if (!book::AddShelf(library, shelf) || !book::AddBook(*library.Shelves[0], kept)) {
            __builtin_trap();
        }
    }
    const bool loaded =
        book::LoadBookLibraryFromFile(library, money, libraryFolder(), fuzz::kShelfPrefix,
                                      fuzz::kBookPrefix, (input.options & fuzz::kLoadAccount) != 0);
    if (!loaded) {
        __builtin_trap();
    }
    checkLibrary(library, money);
    book::DeleteBookLibrary(library);
    if (library.ShelfCount != 0) {
        __builtin_trap();
    }
    return 0;
}
