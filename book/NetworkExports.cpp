// The Book library's C interface for the store: the account update, book
// downloads and the host hooks. Each export checks its pointers and calls the
// C++ core inside guardExport, so that an exception becomes the export's
// failure result.

#include "book/BookHost.h"
#include "book/DownloadFile.h"
#include "book/LoadBookLibraryFromURL.h"
#include "common/ExportGuard.h"
#include "contracts/Book.h"

namespace book = quillbox::book;
using quillbox::guardExport;

QUILLBOX_EXPORT std::uint8_t LoadBookLibraryFromURL(TBookLibrary* library, TMoney* money,
                                                    TUserData userData, bool showMessages) {
    return guardExport(kBookUpdateNotConnectedOrOverflow, [&] {
        if (library == nullptr || money == nullptr) {
            return kBookUpdateNotConnectedOrOverflow;
        }
        return book::LoadBookLibraryFromURL(*library, *money, userData, showMessages);
    });
}

QUILLBOX_EXPORT std::uint8_t DownloadFile(const TBook* bookRecord, const char* folder,
                                          const TUserData* userData, TApplication* application,
                                          TWebBrowser* browser, TProgressBar* progressBar,
                                          TLabel* label, bool showMessages) {
    return guardExport(kBookDownloadFailed, [&] {
        if (bookRecord == nullptr || folder == nullptr || userData == nullptr) {
            return kBookDownloadFailed;
        }
        return book::DownloadFile(*bookRecord, folder, *userData, application, browser, progressBar,
                                  label, showMessages);
    });
}

QUILLBOX_EXPORT void SetBookHost(TApplication* application, TBookMessageBox showMessage) {
    guardExport([&] { book::setBookHost(application, showMessage); });
}
