// Any bytes as an account page: the reader must stay inside its window and the
// records' fields, and leave a library within its limits.

#include <stdio.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "book/AccountPageReader.h"
#include "book/BookLibrary.h"
#include "common/BookTypes.h"

namespace {

template <std::size_t N>
void requireTerminated(const char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr) {
        __builtin_trap();
    }
}

void checkLimits(const TBookLibrary& library, const TMoney& money) {
    if (library.ShelfCount > kMaxShelves || money.PaymentCount < 0 ||
        money.PaymentCount > kMaxPayments) {
        __builtin_trap();
    }
    requireTerminated(money.Balance);
    for (int n = 1; n <= money.PaymentCount; ++n) {
        requireTerminated(money.Payments[n].Date);
        requireTerminated(money.Payments[n].Type);
        requireTerminated(money.Payments[n].Summ);
    }
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        if (shelf.BookCount > kMaxBooksPerShelf || shelf.Flags != kFlagOnAccount) {
            __builtin_trap();
        }
        requireTerminated(shelf.Name);
        requireTerminated(shelf.Id);
        for (int b = 0; b < shelf.BookCount; ++b) {
            const TBook& book = *shelf.BookList[b];
            requireTerminated(book.Author);
            requireTerminated(book.Title);
            requireTerminated(book.Id);
            requireTerminated(book.BookType);
            if (std::memcmp(book.ShelfId, shelf.Id, sizeof(shelf.Id)) != 0) {
                __builtin_trap();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    FILE* page = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (page == nullptr) {
        return 0;
    }
    TBookLibrary library{};
    TMoney money{};
    quillbox::book::readAccountPage(page, library, money);
    fclose(page);
    checkLimits(library, money);
    quillbox::book::DeleteBookLibrary(library);
    return 0;
}
