#pragma once
// Names of book files: a book's file is Title followed by BookType, with the
// characters / \ ? * : " < > | removed; it lives in the shelf's folder below
// the data folder's "Books/".

#include <string>

#include "common/BookTypes.h"

namespace quillbox::book {

// Removes / \ ? * : " < > | from the zero-terminated text in place, keeping
// everything else in order. The text never grows. Returns true.
bool VerifyTitle(char* text);

// Title + BookType passed through VerifyTitle's rule.
std::string bookFileName(const TBook& book);

// Where the computer copy of the book is kept: data folder + "Books/" + the
// shelf's folder name (safeFolderName of ShelfName) + "/" + bookFileName.
std::string computerCopyPath(const TBook& book);

}  // namespace quillbox::book
