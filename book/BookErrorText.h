#pragma once
// BookErrorText: the library's last message, one library-wide buffer of 501
// windows-1251 characters, empty when the library is loaded and never cleared.
// Not guarded by a lock: the library is used from one thread.

#include <string_view>

#include "contracts/Book.h"

namespace quillbox::book {

// Stores the windows-1251 text, cut to 500 characters, as the last message.
void setBookErrorText(std::string_view ansiText);

// All 501 characters of the last message as they stand.
TBookErrorText GetBookErrorText();

}  // namespace quillbox::book
