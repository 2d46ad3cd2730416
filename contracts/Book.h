#pragma once
// The C interface of the Book library (dll/libBook.so): the book library in
// memory and its files, the account update from the store, book downloads.
//
// Threads: call only from the window's thread. The library keeps its last
// message and the registered host in process-wide state without locks.
// Records are owned by the caller and passed by pointer; the library allocates
// and frees the shelf and book blocks that hang off a TBookLibrary. Texts are
// zero-terminated ANSI (windows-1251) strings. No call throws: every failure is
// a result code.

#include <cstdint>

#include "common/BookTypes.h"
#include "common/HostObjects.h"
#include "common/SystemTypes.h"
#include "contracts/Export.h"

// Results of SaveBookLibraryToFile and LoadBookLibraryFromFile.
inline constexpr std::uint8_t kBookFilesDone = 1;
inline constexpr std::uint8_t kBookFilesFailed = 0;

// Results of DeleteBookLibrary.
inline constexpr std::uint8_t kBookLibraryFreed = 1;
inline constexpr std::uint8_t kBookLibraryWasEmpty = 0;

// The result of VerifyTitle, which cannot fail.
inline constexpr std::uint8_t kBookTitleVerified = 1;

// Results of LoadBookLibraryFromURL. Each leaves its message in the error text,
// except an unreadable page and an overflow, which leave the text as it was.
inline constexpr std::uint8_t kBookUpdateDone = 255;
// The page arrived but could not be opened for reading.
inline constexpr std::uint8_t kBookUpdatePageUnreadable = 0;
// The data folder's "Tmp/" could not be created.
inline constexpr std::uint8_t kBookUpdateNoTmpFolder = 1;
// No connection to the store, or the page overflowed what the library holds
// (then the library holds what was read up to there).
inline constexpr std::uint8_t kBookUpdateNotConnectedOrOverflow = 3;
// The temporary file for the page could not be created.
inline constexpr std::uint8_t kBookUpdateNoTmpFile = 4;
// The temporary file could not be written.
inline constexpr std::uint8_t kBookUpdateTmpFileNotWritten = 5;
// The store refused the login.
inline constexpr std::uint8_t kBookUpdateLoginRefused = 20;

// Results of DownloadFile.
inline constexpr std::uint8_t kBookDownloadDone = 255;
// The target folder could not be created.
inline constexpr std::uint8_t kBookDownloadNoFolder = 0;
// The account request, the browser's visit or the download failed.
inline constexpr std::uint8_t kBookDownloadFailed = 4;

// A copy of the library's last message: 500 characters and a terminating zero.
struct TBookErrorText {
    char Text[501];
};

// Shows a zero-terminated windows-1251 text in a message box and returns when
// the user has closed it.
using TBookMessageBox = void (*)(const char* ansiText);

// Writes the library and the money record to the seven files in folder (which
// ends with a separator): shelfPrefix + "1.dat".."3.dat", bookPrefix +
// "1.dat".."3.dat" and "Money.dat". The files are replaced together: a failure
// or a kill at any moment leaves the previous set or the new one whole, never
// a mix; a save stopped after its commit point is completed by the next load or
// save. Beside the files, staged copies (".<name>.qbnew") and a commit marker
// (".library.qbcommit") exist only while a save runs or until that next load or
// save. Returns kBookFilesDone or kBookFilesFailed (also for a null argument).
QUILLBOX_EXPORT std::uint8_t SaveBookLibraryToFile(const TBookLibrary* library, const TMoney* money,
                                                   const char* folder, const char* shelfPrefix,
                                                   const char* bookPrefix);

// Reads the files written by SaveBookLibraryToFile and merges them into the
// library (which is not emptied first) and the money record. With loadAccount
// the account's shelves and books are read too, else only the computer and
// reader marks. Missing list files are created empty. Shelves beyond the 100th
// and books beyond a shelf's 1000th (with the books of a shelf left out) are
// left out, and then the error text says how many. Returns kBookFilesDone, or
// kBookFilesFailed when the folder could not be created or an argument is null.
QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromFile(TBookLibrary* library, TMoney* money,
                                                     const char* folder, const char* shelfPrefix,
                                                     const char* bookPrefix, bool loadAccount);

// Frees every shelf and book block of the library and sets ShelfCount to 0.
// Returns kBookLibraryFreed, or kBookLibraryWasEmpty when there was nothing to
// free (also for a null library).
QUILLBOX_EXPORT std::uint8_t DeleteBookLibrary(TBookLibrary* library);

// Removes the characters / \ ? * : " < > | from the zero-terminated text in
// place (it never grows; null is left alone). Returns kBookTitleVerified.
QUILLBOX_EXPORT std::uint8_t VerifyTitle(char* text);

// The library's last message (empty until one is set), returned by value.
QUILLBOX_EXPORT TBookErrorText GetBookErrorText();

// Brings the library up to date with the user's account on the store (the
// store's root: QUILLBOX_STORE_URL, else the built-in one). Login and Password
// are sent with A-Z lower-cased. The page goes to "Tmp/Tmp.~file" of the data
// folder (mode 0600, removed again on every outcome) and is read into a new
// library; only when it was read whole is the old library saved to
// "BookLibrary/", its computer and reader marks merged into the new one, and
// the new one put in its place. Returns one of the kBookUpdate codes, each with
// its message; on any code but kBookUpdateDone library and money are exactly
// as they were. A transfer slower than 1 KiB/s for 60 s, a page over the size
// cap, and a stop asked by the host application (TApplication::Cancelled,
// asked at every wait) give kBookUpdateNotConnectedOrOverflow; library files
// that cannot be saved give kBookUpdateTmpFileNotWritten. A null library or
// money gives kBookUpdateNotConnectedOrOverflow. With showMessages the messages
// also go to the host's message box (SetBookHost).
QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromURL(TBookLibrary* library, TMoney* money,
                                                    TUserData userData, bool showMessages);

// Downloads the book into folder (ending with a separator) + its shelf's
// folder + Title + BookType: account request, the browser's visit to the
// account page (which lets the download in; at most 30 s), then the file,
// moving progressBar and label ("N%") and processing the application's
// messages at least every 50 ms. Returns kBookDownloadDone when at least Size
// bytes arrived, kBookDownloadNoFolder, else kBookDownloadFailed (also for a
// null book, folder or userData, a transfer slower than 1 KiB/s for 60 s, and
// a stop asked by application->Cancelled(), which is asked at every wait);
// on failure nothing is left under the book's name but an earlier copy, and no
// partial file. The objects may be null and must outlive the call.
QUILLBOX_EXPORT std::uint8_t DownloadFile(const TBook* book, const char* folder,
                                          const TUserData* userData, TApplication* application,
                                          TWebBrowser* browser, TProgressBar* progressBar,
                                          TLabel* label, bool showMessages);

// Registers what the library may use outside a call's arguments: the
// application whose messages are processed while an account update waits for
// the store, and the message box for showMessages. Either may be null; both
// must stay valid until replaced.
QUILLBOX_EXPORT void SetBookHost(TApplication* application, TBookMessageBox showMessage);
