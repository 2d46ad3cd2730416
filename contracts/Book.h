#pragma once
// The C interface of the Book library (dll/libBook.so). Records are owned by the
// caller and passed by pointer; the library allocates and frees the shelf and
// book blocks that hang off a TBookLibrary. Texts are zero-terminated ANSI
// (windows-1251) strings. No call throws; every failure is a result code.

#include <cstdint>

#include "BookTypes.h"

// A copy of the library's last message: 500 characters and a terminating zero.
struct TBookErrorText {
    char Text[501];
};

extern "C" {

// Writes the library and the money record to the seven files in folder (which
// ends with a separator): shelfPrefix + "1.dat".."3.dat", bookPrefix +
// "1.dat".."3.dat" and "Money.dat". The files are replaced together; on any
// failure the previous files stay as they were. Returns 1 saved, 0 failed.
std::uint8_t SaveBookLibraryToFile(const TBookLibrary* library, const TMoney* money,
                                   const char* folder, const char* shelfPrefix,
                                   const char* bookPrefix);

// Reads the files written by SaveBookLibraryToFile and merges them into the
// library (which is not emptied first) and the money record. With loadAccount
// the account's shelves and books are read too, else only the computer and
// reader marks. Missing list files are created empty. Returns 1 done, 0 when
// the folder could not be created.
std::uint8_t LoadBookLibraryFromFile(TBookLibrary* library, TMoney* money, const char* folder,
                                     const char* shelfPrefix, const char* bookPrefix,
                                     bool loadAccount);

// Frees every shelf and book block of the library and sets ShelfCount to 0.
// Returns 0 when the library was already empty, else 1.
std::uint8_t DeleteBookLibrary(TBookLibrary* library);

// Removes the characters / \ ? * : " < > | from the zero-terminated text in
// place (it never grows). Returns 1.
std::uint8_t VerifyTitle(char* text);

// The library's last message (empty until one is set), returned by value.
TBookErrorText GetBookErrorText();

}  // extern "C"
