// Any bytes as an account page: the reader must stay inside its window and the
// records' fields, and leave a library within its limits; reading the page in
// small blocks (their size taken from the first byte) must give the same
// records as reading it in the usual ones.

#include <stdio.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "book/AccountPageReader.h"
#include "book/BookLibrary.h"
#include "common/BookTypes.h"
#include "fuzz/support/FuzzChecks.h"

namespace {

using quillbox::fuzz::requireTerminated;

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

// The bytes of money and of every shelf and book record.
std::string recordBytes(const TBookLibrary& library, const TMoney& money) {
    std::string bytes(reinterpret_cast<const char*>(&money), sizeof money);
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        bytes.append(reinterpret_cast<const char*>(&shelf), kBookShelfRecordSize);
        for (int b = 0; b < shelf.BookCount; ++b) {
            bytes.append(reinterpret_cast<const char*>(shelf.BookList[b]), sizeof(TBook));
        }
    }
    return bytes;
}

// Reads the page in blocks of blockBytes; the records' bytes and the result,
// nothing when the page could not be opened.
std::optional<std::string> readInBlocks(const std::uint8_t* data, std::size_t size,
                                        std::size_t blockBytes) {
    FILE* page = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (page == nullptr) {
        return std::nullopt;
    }
    TBookLibrary library{};
    TMoney money{};
    const auto result = quillbox::book::readAccountPage(page, library, money, blockBytes);
    fclose(page);
    checkLimits(library, money);
    std::string bytes = recordBytes(library, money);
    bytes.push_back(static_cast<char>(result));
    quillbox::book::DeleteBookLibrary(library);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::optional<std::string> usual =
        readInBlocks(data, size, quillbox::book::kPageBlockBytes);
    const std::optional<std::string> small = readInBlocks(data, size, 1 + data[0] % 32);
    if (usual && small && *usual != *small) {
        __builtin_trap();
    }
    return 0;
}
