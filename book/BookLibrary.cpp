#include "book/BookLibrary.h"

#include <cstring>
#include <new>

namespace quillbox::book {

bool AddShelf(TBookLibrary& library, const TBookShelf& record) {
    if (library.ShelfCount + 1 > kMaxShelves) {
        return false;
    }
    auto* shelf = new (std::nothrow) TBookShelf{};
    if (shelf == nullptr) {
        return false;
    }
    std::memcpy(static_cast<void*>(shelf), &record, kBookShelfRecordSize);
    library.Shelves[library.ShelfCount] = shelf;
    ++library.ShelfCount;
    return true;
}

bool AddBook(TBookShelf& shelf, TBook& record) {
    if (shelf.BookCount + 1 > kMaxBooksPerShelf) {
        return false;
    }
    auto* book = new (std::nothrow) TBook{};
    if (book == nullptr) {
        return false;
    }
    static_assert(sizeof(record.ShelfId) == sizeof(shelf.Id));
    static_assert(sizeof(record.ShelfName) == sizeof(shelf.Name));
    std::memcpy(record.ShelfId, shelf.Id, sizeof record.ShelfId);
    std::memcpy(record.ShelfName, shelf.Name, sizeof record.ShelfName);
    *book = record;
    shelf.BookList[shelf.BookCount] = book;
    ++shelf.BookCount;
    return true;
}

bool FreeShelfBooks(TBookShelf& shelf) {
    if (shelf.BookCount == 0) {
        return false;
    }
    // A count past the list can only come from a damaged record; free what the
    // list can hold.
    if (shelf.BookCount > kMaxBooksPerShelf) {
        shelf.BookCount = kMaxBooksPerShelf;
    }
    while (shelf.BookCount > 0) {
        --shelf.BookCount;
        delete shelf.BookList[shelf.BookCount];
        shelf.BookList[shelf.BookCount] = nullptr;
    }
    return true;
}

bool FreeLastShelf(TBookLibrary& library) {
    if (library.ShelfCount == 0) {
        return false;
    }
    if (library.ShelfCount > kMaxShelves) {
        library.ShelfCount = kMaxShelves;
    }
    TBookShelf* shelf = library.Shelves[library.ShelfCount - 1];
    if (shelf != nullptr) {
        FreeShelfBooks(*shelf);
        delete shelf;
    }
    --library.ShelfCount;
    library.Shelves[library.ShelfCount] = nullptr;
    return true;
}

bool DeleteBookLibrary(TBookLibrary& library) {
    if (library.ShelfCount == 0) {
        return false;
    }
    while (FreeLastShelf(library)) {
    }
    return true;
}

}  // namespace quillbox::book
