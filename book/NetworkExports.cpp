// The Book library's C interface for the store: the account update, book
// downloads and the host hooks. Each export checks its pointers, calls the C++
// core and turns any exception into the export's failure result.

#include "book/BookHost.h"
#include "book/DownloadFile.h"
#include "book/LoadBookLibraryFromURL.h"
#include "contracts/Book.h"
#include "contracts/Export.h"

namespace book = quillbox::book;

QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromURL(TBookLibrary* library, TMoney* money,
                                                    TUserData userData, bool showMessages) {
    if (library == nullptr || money == nullptr) {
        return book::kUpdateNotConnectedOrOverflow;
    }
    try {
        return book::LoadBookLibraryFromURL(*library, *money, userData, showMessages);
    } catch (...) {
        return book::kUpdateNotConnectedOrOverflow;
    }
}

QUILLBOX_EXPORT std::uint8_t DownloadFile(const TBook* bookRecord, const char* folder,
                                          const TUserData* userData, TApplication* application,
                                          TWebBrowser* browser, TProgressBar* progressBar,
                                          TLabel* label, bool showMessages) {
    if (bookRecord == nullptr || folder == nullptr || userData == nullptr) {
        return book::kDownloadFailed;
    }
    try {
        return book::DownloadFile(*bookRecord, folder, *userData, application, browser, progressBar,
                                  label, showMessages);
    } catch (...) {
        return book::kDownloadFailed;
    }
}

QUILLBOX_EXPORT void SetBookHost(TApplication* application, TBookMessageBox showMessage) {
    book::setBookHost(application, showMessage);
}
