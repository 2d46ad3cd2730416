#pragma once
// The messages of the account update and the book download, as windows-1251
// bytes: the texts stored in BookErrorText and the texts of the message boxes
// (a few differ from their BookErrorText twin by one letter or one blank).

#include <cstddef>
#include <string>
#include <string_view>

namespace quillbox::book::texts {

// BookErrorText after a successful account update, and its message box.
const std::string& updateDone();
const std::string& updateDoneBox();
// The temporary folder or file of the account update could not be made or written.
const std::string& tmpFolderNotCreated();
const std::string& tmpFileNotCreated();
const std::string& tmpFileNotWritten();
// The store refused the login (BookErrorText has two blanks before the second
// word of the pair, the box one).
const std::string& loginRefused();
const std::string& loginRefusedBox();
// The connection message naming the store's host: BookErrorText of a failed
// account update, and the box of both operations.
std::string connectionFailed(std::string_view hostName);
// BookErrorText of a download whose account request failed.
const std::string& downloadConnectionFailed();
// The account page overflowed what the reader holds (a line or the text
// between entries too long, or a page past the size cap).
const std::string& accountPageUnreadable();
// The received page could not be opened for reading.
const std::string& tmpFileNotOpened();
// The library files, which carry the computer and reader marks into the
// updated library, could not be saved or read back.
const std::string& libraryFilesFailed();
// The user stopped the account update or the download.
const std::string& updateCancelled();
const std::string& downloadCancelled();
// BookErrorText when the library could not hold every shelf or book (at most
// 100 shelves and 1000 books a shelf): names how many shelves and books were
// left out; a count of 0 is not mentioned.
std::string libraryOverflow(std::size_t shelvesLeftOut, std::size_t booksLeftOut);

}  // namespace quillbox::book::texts
