#pragma once
// The messages of the account update and the book download, as windows-1251
// bytes: the texts stored in BookErrorText and the texts of the message boxes
// (a few differ from their BookErrorText twin by one letter or one blank).

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

}  // namespace quillbox::book::texts
