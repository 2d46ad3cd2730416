#pragma once
// The C interface of the Book library (dll/libBook.so). Records are owned by the
// caller and passed by pointer; the library allocates and frees the shelf and
// book blocks that hang off a TBookLibrary. Texts are zero-terminated ANSI
// (windows-1251) strings. No call throws; every failure is a result code.

#include <cstdint>

#include "common/BookTypes.h"
#include "common/HostObjects.h"
#include "common/SystemTypes.h"

// A copy of the library's last message: 500 characters and a terminating zero.
struct TBookErrorText {
    char Text[501];
};

// Shows a zero-terminated windows-1251 text in a message box and returns when
// the user has closed it.
using TBookMessageBox = void (*)(const char* ansiText);

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

// Brings the library up to date with the user's account on the store (the
// store's root: QUILLBOX_STORE_URL, else the built-in one). Login and Password
// are sent with A-Z lower-cased. The page goes to "Tmp/Tmp.~file" of the data
// folder; the old library is saved to "BookLibrary/" and rebuilt from the page,
// and the computer and reader marks of the saved files are merged back.
// Returns 255 done, 0 page unreadable, 1 "Tmp/" not creatable, 3 no connection
// or the page overflowed the reader, 4 temporary file not creatable, 5 not
// writable, 20 login refused; the message is left in the error text. With
// showMessages the messages also go to the host's message box (SetBookHost).
std::uint8_t LoadBookLibraryFromURL(TBookLibrary* library, TMoney* money, TUserData userData,
                                    bool showMessages);

// Downloads the book into folder (ending with a separator) + its shelf's
// folder + Title + BookType: account request, the browser's visit to the
// account page (which lets the download in; at most 30 s), then the file,
// moving progressBar and label ("N%") and processing the application's
// messages after every 1024-byte block. Returns 255 when at least Size bytes
// arrived, 0 when folder could not be created, else 4 (nothing is left under
// the book's name then). The objects may be null and must outlive the call.
std::uint8_t DownloadFile(const TBook* book, const char* folder, const TUserData* userData,
                          TApplication* application, TWebBrowser* browser,
                          TProgressBar* progressBar, TLabel* label, bool showMessages);

// Registers what the library may use outside a call's arguments: the
// application whose messages are processed while an account update waits for
// the store, and the message box for showMessages. Either may be null; both
// must stay valid until replaced.
void SetBookHost(TApplication* application, TBookMessageBox showMessage);

}  // extern "C"
