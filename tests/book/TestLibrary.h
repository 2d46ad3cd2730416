#pragma once
// Building blocks for the book library tests: records with given texts, a
// library that frees itself, and raw reading and writing of record files.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "book/BookLibrary.h"
#include "common/BookTypes.h"
#include "common/FixedText.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

// prefix followed by the number (built step by step: GCC 12 misreports
// "literal" + std::string at -O3).
inline std::string numbered(const char* prefix, int number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
}

inline TBookShelf makeShelf(std::string_view name, std::string_view id, std::uint16_t flags,
                            std::uint16_t bookCount = 0) {
    TBookShelf shelf{};
    setFieldText(shelf.Name, name);
    setFieldText(shelf.Id, id);
    shelf.Flags = flags;
    shelf.BookCount = bookCount;
    return shelf;
}

inline TBook makeBook(std::string_view title, std::string_view id, std::uint16_t flags,
                      std::string_view shelfId = "", std::string_view shelfName = "") {
    TBook book{};
    setFieldText(book.Author, "Author of " + std::string(title));
    setFieldText(book.Title, title);
    setFieldText(book.Id, id);
    setFieldText(book.BookType, ".fb2");
    setFieldText(book.ShelfId, shelfId);
    setFieldText(book.ShelfName, shelfName);
    book.Size = 1234;
    book.Flags = flags;
    return book;
}

// A library that frees its blocks when it goes away.
struct OwnedLibrary {
    TBookLibrary library{};
    OwnedLibrary() = default;
    OwnedLibrary(const OwnedLibrary&) = delete;
    OwnedLibrary& operator=(const OwnedLibrary&) = delete;
    ~OwnedLibrary() { book::DeleteBookLibrary(library); }

    TBookShelf& shelf(int index) { return *library.Shelves[index]; }
    TBook& book(int shelfIndex, int bookIndex) {
        return *library.Shelves[shelfIndex]->BookList[bookIndex];
    }
    TBookShelf& addShelf(const TBookShelf& record) {
        EXPECT_TRUE(book::AddShelf(library, record));
        return *library.Shelves[library.ShelfCount - 1];
    }
    TBook& addBook(TBookShelf& shelf, TBook record) {
        EXPECT_TRUE(book::AddBook(shelf, record));
        return *shelf.BookList[shelf.BookCount - 1];
    }
    int bookCount() const {
        int count = 0;
        for (int i = 0; i < library.ShelfCount; ++i) {
            count += library.Shelves[i]->BookCount;
        }
        return count;
    }
};

// The bytes a record takes in a file (a shelf: its first 116 bytes).
inline std::string shelfBytes(const TBookShelf& shelf) {
    return std::string(reinterpret_cast<const char*>(&shelf), kBookShelfRecordSize);
}
template <typename Record>
std::string recordBytes(const Record& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

inline std::string shelfFileBytes(const std::vector<TBookShelf>& shelves) {
    std::string bytes;
    for (const TBookShelf& shelf : shelves) {
        bytes += shelfBytes(shelf);
    }
    return bytes;
}
inline std::string bookFileBytes(const std::vector<TBook>& books) {
    std::string bytes;
    for (const TBook& book : books) {
        bytes += recordBytes(book);
    }
    return bytes;
}

inline std::vector<TBook> readBookFile(const std::string& path) {
    const std::string bytes = readFile(path);
    std::vector<TBook> books(bytes.size() / sizeof(TBook));
    std::memcpy(static_cast<void*>(books.data()), bytes.data(), books.size() * sizeof(TBook));
    return books;
}

// The seven library files of a folder, by name.
inline const std::vector<std::string>& libraryFileNames() {
    static const std::vector<std::string> names = {
        "BookShelfs1.dat", "BookShelfs2.dat", "BookShelfs3.dat", "Books1.dat",
        "Books2.dat",      "Books3.dat",      "Money.dat"};
    return names;
}

inline std::vector<std::string> readLibraryFiles(const std::string& folder) {
    std::vector<std::string> contents;
    for (const std::string& name : libraryFileNames()) {
        contents.push_back(readFile(folder + name));
    }
    return contents;
}

}  // namespace quillbox::test
