#pragma once
// The library files. With folder F, shelf prefix S and book prefix B:
//
//   F + S + "1.dat"   TBookShelf records (116 bytes) of shelves with flag 2
//   F + S + "2.dat"   ... with flag 4 (something on the computer)
//   F + S + "3.dat"   ... with flag 8 (something on the reader)
//   F + B + "1.dat"   TBook records (384 bytes) of books with flag 2
//   F + B + "2.dat"   ... with flag 4
//   F + B + "3.dat"   ... with flag 8
//   F + "Money.dat"   one TMoney record (1816 bytes), later bytes kept as found
//
// Each list file is a plain sequence of records, no header, no trailer, in the
// little-endian layout of BookTypes.h, padding included. A shelf record is the
// first 116 bytes of the shelf in memory (BookCount and Flags as they were);
// a shelf or book with several flags is in several files. Two shelves are the
// same when all 11 bytes of Id are equal, two books when all 51 bytes are.
//
// The seven files are replaced together (LibraryCommit.h): a save stopped at
// any moment leaves the old set or the new one, completed by the next load or
// save, and its staged files and commit marker never outlive that.

#include <string_view>

#include "book/BookLibrary.h"
#include "common/BookTypes.h"

namespace quillbox::book {

// Writes the seven files. Every file is first written beside its target and
// synced; only when all seven are complete are they moved over the old ones,
// so a failure (folder or file that cannot be created, a full disk) leaves the
// previous files whole. Returns false on any failure; after a failure past the
// commit point (a rename) the new files are put in place by the next load or
// save.
bool SaveBookLibraryToFile(const TBookLibrary& library, const TMoney& money,
                           std::string_view folder, std::string_view shelfPrefix,
                           std::string_view bookPrefix);

// Adds what the files hold to the library (which is not emptied first): with
// loadAccount the account's shelves and books (flag 2), then always the marks
// of copies on the computer (flag 4, a book only while its file is still in
// the data folder's "Books/<shelf>/") and on the reader (flag 8); then reads
// the money record. Missing files are created empty. Shelves and books beyond
// the caps are left out; then the error text names how many (and leftOut, when
// given, gets the counts). Returns false only when the folder could not be
// created.
bool LoadBookLibraryFromFile(TBookLibrary& library, TMoney& money, std::string_view folder,
                             std::string_view shelfPrefix, std::string_view bookPrefix,
                             bool loadAccount, LeftOut* leftOut = nullptr);

}  // namespace quillbox::book
