#pragma once
// File and folder names made from store texts (book titles, shelf names). The
// characters / \ ? * : " < > | are dropped, in the same way everywhere, so that a
// name built when a book is downloaded is found again when the library loads.

#include <string>
#include <string_view>

#include "common/BookTypes.h"
#include "common/FixedText.h"

namespace quillbox {

// True for the nine characters that never appear in a file or folder name.
constexpr bool isRemovedFromFileNames(char c) {
    switch (c) {
        case '/':
        case '\\':
        case '?':
        case '*':
        case ':':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return false;
    }
}

// The text without the removed characters, everything else kept in order.
inline std::string withoutFileNameCharacters(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (!isRemovedFromFileNames(c)) {
            result.push_back(c);
        }
    }
    return result;
}

// The folder name for a shelf: the removed characters dropped, and a name that
// would be empty or point at the folder itself or its parent ("." or "..")
// replaced by "_", so that a shelf never lands outside the books folder.
inline std::string safeFolderName(std::string_view shelfName) {
    std::string name = withoutFileNameCharacters(shelfName);
    if (name.empty() || name == "." || name == "..") {
        return "_";
    }
    return name;
}

// A book's file name: Title followed by BookType, the removed characters
// dropped.
inline std::string bookFileName(const TBook& book) {
    std::string name(fieldText(book.Title));
    name += fieldText(book.BookType);
    return withoutFileNameCharacters(name);
}

// Where a book's file lives below a books folder (the computer's "Books/" or a
// reader's root): its shelf's safe folder, a backslash, its file name, as ANSI
// text for the path normaliser. Empty when the book has no usable file name
// (empty, "." or ".."), so that nothing is ever built from it.
inline std::string bookRelativePath(const TBook& book) {
    const std::string name = bookFileName(book);
    if (name.empty() || name == "." || name == "..") {
        return {};
    }
    return safeFolderName(fieldText(book.ShelfName)) + '\\' + name;
}

}  // namespace quillbox
