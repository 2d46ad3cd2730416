#pragma once
// Names of book files: a book's file is Title followed by BookType, with the
// characters / \ ? * : " < > | removed; it lives in the shelf's folder below
// the data folder's "Books/".

#include <string>
#include <string_view>

#include "common/BookTypes.h"
#include "common/SafeFolderName.h"

namespace quillbox::book {

// Removes / \ ? * : " < > | from the zero-terminated text in place, keeping
// everything else in order. The text never grows. Returns true.
bool VerifyTitle(char* text);

using quillbox::bookFileName;

// The one place that builds the path of a book's file, for every use: the
// check for copies on the computer, the download, copies to and deletions on
// the reader. folder is the books folder as the program names it, ending with
// a separator: a path of the system ("<data folder>Books/") or one with a drive
// letter ("E:\\Books\\"). Returns the native path
//   toNativePath(folder + safeFolderName(ShelfName) + "\\" + bookFileName(book))
// so the drive letter is mapped to its mount point, every separator becomes
// '/', and the shelf name and the file name, which are ANSI texts, become the
// UTF-8 names that the system and a folder listing use. The shelf folder is
// the returned path up to and including its last '/'. Returns "" when the book
// has no file name (bookFileName empty, "." or "..").
std::string bookFilePath(std::string_view folder, const TBook& book);

// bookFilePath below the data folder's "Books/": where the computer copy of the
// book is kept.
std::string computerCopyPath(const TBook& book);

}  // namespace quillbox::book
