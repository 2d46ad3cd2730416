// The Book library's C interface. Each export checks its pointers, calls the
// C++ core and turns any exception into the export's failure result.

#include "book/BookErrorText.h"
#include "book/BookLibrary.h"
#include "book/BookNames.h"
#include "book/LibraryFiles.h"
#include "contracts/Book.h"
#include "contracts/Export.h"

namespace book = quillbox::book;

QUILLBOX_EXPORT std::uint8_t SaveBookLibraryToFile(const TBookLibrary* library, const TMoney* money,
                                                   const char* folder, const char* shelfPrefix,
                                                   const char* bookPrefix) {
    if (library == nullptr || money == nullptr || folder == nullptr || shelfPrefix == nullptr ||
        bookPrefix == nullptr) {
        return 0;
    }
    try {
        return book::SaveBookLibraryToFile(*library, *money, folder, shelfPrefix, bookPrefix) ? 1
                                                                                              : 0;
    } catch (...) {
        return 0;
    }
}

QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromFile(TBookLibrary* library, TMoney* money,
                                                     const char* folder, const char* shelfPrefix,
                                                     const char* bookPrefix, bool loadAccount) {
    if (library == nullptr || money == nullptr || folder == nullptr || shelfPrefix == nullptr ||
        bookPrefix == nullptr) {
        return 0;
    }
    try {
        return book::LoadBookLibraryFromFile(*library, *money, folder, shelfPrefix, bookPrefix,
                                             loadAccount)
                   ? 1
                   : 0;
    } catch (...) {
        return 0;
    }
}

QUILLBOX_EXPORT std::uint8_t DeleteBookLibrary(TBookLibrary* library) {
    if (library == nullptr) {
        return 0;
    }
    try {
        return book::DeleteBookLibrary(*library) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

QUILLBOX_EXPORT std::uint8_t VerifyTitle(char* text) {
    book::VerifyTitle(text);
    return 1;
}

QUILLBOX_EXPORT TBookErrorText GetBookErrorText() {
    return book::GetBookErrorText();
}
