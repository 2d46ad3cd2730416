#include "book/LibraryIndex.h"

#include "book/BookLibrary.h"

namespace quillbox::book {
namespace {

template <std::size_t N>
std::string_view idKey(const char (&id)[N]) {
    return std::string_view(id, N);
}

std::size_t shelvesHeld(const TBookLibrary& library) {
    return library.ShelfCount < kMaxShelves ? library.ShelfCount : kMaxShelves;
}

std::size_t booksHeld(const TBookShelf& shelf) {
    return shelf.BookCount < kMaxBooksPerShelf ? shelf.BookCount : kMaxBooksPerShelf;
}

std::string bookKey(const char (&shelfId)[11], const char (&bookId)[51]) {
    std::string key(idKey(shelfId));
    key += idKey(bookId);
    return key;
}

}  // namespace

LibraryIndex::LibraryIndex(TBookLibrary& library) : m_library(library) {
    for (std::size_t i = 0; i < shelvesHeld(library); ++i) {
        if (library.Shelves[i] != nullptr) {
            // emplace keeps the first shelf of an Id.
            m_shelves.emplace(idKey(library.Shelves[i]->Id), i);
        }
    }
}

TBookShelf* LibraryIndex::findShelf(const char (&id)[11]) {
    const auto found = m_shelves.find(idKey(id));
    return found == m_shelves.end() ? nullptr : m_library.Shelves[found->second];
}

TBookShelf* LibraryIndex::shelfForBook(const TBook& record) {
    if (TBookShelf* shelf = findShelf(record.ShelfId)) {
        return shelf;
    }
    if (m_shelvesLeftOut.count(std::string(idKey(record.ShelfId))) > 0) {
        m_booksLeftOut.insert(bookKey(record.ShelfId, record.Id));
        return nullptr;
    }
    const std::size_t count = shelvesHeld(m_library);
    return count == 0 ? nullptr : m_library.Shelves[count - 1];
}

LibraryIndex::IdMap& LibraryIndex::booksOf(TBookShelf& shelf) {
    const auto [entry, added] = m_books.try_emplace(&shelf);
    if (added) {
        for (std::size_t i = 0; i < booksHeld(shelf); ++i) {
            if (shelf.BookList[i] != nullptr) {
                entry->second.emplace(idKey(shelf.BookList[i]->Id), i);
            }
        }
    }
    return entry->second;
}

TBook* LibraryIndex::findBook(TBookShelf& shelf, const char (&id)[51]) {
    IdMap& books = booksOf(shelf);
    const auto found = books.find(idKey(id));
    return found == books.end() ? nullptr : shelf.BookList[found->second];
}

bool LibraryIndex::addShelf(const TBookShelf& record) {
    if (!AddShelf(m_library, record)) {
        if (m_library.ShelfCount >= kMaxShelves && findShelf(record.Id) == nullptr) {
            m_shelvesLeftOut.emplace(idKey(record.Id));
        }
        return false;
    }
    const std::size_t position = m_library.ShelfCount - 1u;
    // The key points into the new block, which stays put until it is freed.
    m_shelves.emplace(idKey(m_library.Shelves[position]->Id), position);
    return true;
}

bool LibraryIndex::addBook(TBookShelf& shelf, TBook& record) {
    IdMap& books = booksOf(shelf);
    if (!AddBook(shelf, record)) {
        if (shelf.BookCount >= kMaxBooksPerShelf) {
            m_booksLeftOut.insert(bookKey(shelf.Id, record.Id));
        }
        return false;
    }
    const std::size_t position = shelf.BookCount - 1u;
    books.emplace(idKey(shelf.BookList[position]->Id), position);
    return true;
}

}  // namespace quillbox::book
