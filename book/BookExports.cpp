// The Book library's C interface for the library in memory and its files. Each
// export checks its pointers and calls the C++ core inside guardExport, so that
// an exception becomes the export's failure result.

#include "book/BookErrorText.h"
#include "book/BookLibrary.h"
#include "book/BookNames.h"
#include "book/LibraryFiles.h"
#include "common/ExportGuard.h"
#include "contracts/Book.h"

namespace book = quillbox::book;
using quillbox::guardExport;

QUILLBOX_EXPORT std::uint8_t SaveBookLibraryToFile(const TBookLibrary* library, const TMoney* money,
                                                   const char* folder, const char* shelfPrefix,
                                                   const char* bookPrefix) {
    return guardExport(kBookFilesFailed, [&] {
        if (library == nullptr || money == nullptr || folder == nullptr || shelfPrefix == nullptr ||
            bookPrefix == nullptr) {
            return kBookFilesFailed;
        }
        return book::SaveBookLibraryToFile(*library, *money, folder, shelfPrefix, bookPrefix)
                   ? kBookFilesDone
                   : kBookFilesFailed;
    });
}

QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromFile(TBookLibrary* library, TMoney* money,
                                                     const char* folder, const char* shelfPrefix,
                                                     const char* bookPrefix, bool loadAccount) {
    return guardExport(kBookFilesFailed, [&] {
        if (library == nullptr || money == nullptr || folder == nullptr || shelfPrefix == nullptr ||
            bookPrefix == nullptr) {
            return kBookFilesFailed;
        }
        return book::LoadBookLibraryFromFile(*library, *money, folder, shelfPrefix, bookPrefix,
                                             loadAccount)
                   ? kBookFilesDone
                   : kBookFilesFailed;
    });
}

QUILLBOX_EXPORT std::uint8_t DeleteBookLibrary(TBookLibrary* library) {
    return guardExport(kBookLibraryWasEmpty, [&] {
        if (library == nullptr) {
            return kBookLibraryWasEmpty;
        }
        return book::DeleteBookLibrary(*library) ? kBookLibraryFreed : kBookLibraryWasEmpty;
    });
}

QUILLBOX_EXPORT std::uint8_t VerifyTitle(char* text) {
    return guardExport(kBookTitleVerified, [&] {
        book::VerifyTitle(text);
        return kBookTitleVerified;
    });
}

QUILLBOX_EXPORT TBookErrorText GetBookErrorText() {
    return guardExport(TBookErrorText{}, [] { return book::GetBookErrorText(); });
}
