#pragma once
// The book library in memory: shelf and book blocks hang off the caller's
// TBookLibrary. This library allocates every block (AddShelf, AddBook) and frees
// them (FreeShelfBooks, FreeLastShelf, DeleteBookLibrary); the caller only reads
// the blocks and changes their Flags.

#include <cstddef>

#include "common/BookTypes.h"

namespace quillbox::book {

// What the caps (100 shelves, 1000 books a shelf) kept out of a library while
// it was filled: counted by whoever fills it, for the message to the user.
struct LeftOut {
    std::size_t shelves = 0;
    std::size_t books = 0;

    bool any() const { return shelves > 0 || books > 0; }
};

// Appends a shelf block holding the first 116 bytes of record (BookList empty).
// Returns false, changing nothing, when the library already holds 100 shelves
// or the block cannot be allocated.
bool AddShelf(TBookLibrary& library, const TBookShelf& record);

// Writes the shelf's Id and Name into record's ShelfId and ShelfName, then
// appends a copy of record to the shelf. Returns false, changing nothing, when
// the shelf already holds 1000 books or the block cannot be allocated.
bool AddBook(TBookShelf& shelf, TBook& record);

// Frees the shelf's books, last first, and sets BookCount to 0. Returns false
// when the shelf held none.
bool FreeShelfBooks(TBookShelf& shelf);

// Frees the last shelf with its books. Returns false when there is no shelf.
bool FreeLastShelf(TBookLibrary& library);

// Frees every shelf, last first; ShelfCount ends at 0. Returns false when the
// library was already empty.
bool DeleteBookLibrary(TBookLibrary& library);

}  // namespace quillbox::book
