#pragma once
// Which books have their file on the computer: a regular file at the book's
// path (bookFilePath) below the data folder's "Books/". Each shelf folder is
// listed once, so checking many books costs one pass over each folder instead
// of one file-system call per book.

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "common/BookTypes.h"

namespace quillbox::book {

class ComputerCopies {
  public:
    // Takes the data folder as it is now; folders are listed when first needed.
    ComputerCopies();

    // True when the book's file is in its shelf's folder as a regular file
    // (or a link to one).
    bool has(const TBook& book);

  private:
    // The names of the regular files in a native folder path (ending with '/').
    const std::unordered_set<std::string>& filesIn(const std::string& nativeFolder);

    std::string m_booksFolder;
    std::unordered_map<std::string, std::unordered_set<std::string>> m_folders;
};

}  // namespace quillbox::book
