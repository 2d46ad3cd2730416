#pragma once
// File and folder names made from store texts (book titles, shelf names). The
// characters / \ ? * : " < > | are dropped, in the same way everywhere, so that a
// name built when a book is downloaded is found again when the library loads.

#include <string>
#include <string_view>

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

}  // namespace quillbox
