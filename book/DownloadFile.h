#pragma once
// Downloading one book file from the store into a folder on the computer.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "common/BookTypes.h"
#include "common/HostObjects.h"
#include "common/SystemTypes.h"
#include "contracts/Book.h"

namespace quillbox::book {

// The download's results are the contract's kBookDownload codes; these short
// names stand for them inside the library.
inline constexpr std::uint8_t kDownloadDone = kBookDownloadDone;
inline constexpr std::uint8_t kDownloadFailed = kBookDownloadFailed;
inline constexpr std::uint8_t kDownloadNoFolder = kBookDownloadNoFolder;

// How long the browser's visit to the account page may take.
inline constexpr std::chrono::milliseconds kBrowserVisitLimit{30000};
// No byte of the book for this long ends the download.
inline constexpr std::chrono::milliseconds kDownloadStallTimeout{30000};
// While the book arrives, the bar and the label move and the application's
// messages are processed at most this often (and once more at the end).
inline constexpr std::chrono::milliseconds kDownloadProgressInterval{50};

// Fetches the book at the store's root + book.Id into bookFilePath(folder,
// book) (BookNames.h): ForceFolder(folder) (0 when it fails); the account
// request with the stored login and password (4 when it fails); the browser's
// visit to the account page, which lets the download in (4 when it does not
// complete within kBrowserVisitLimit); then the download, moving bar and label
// ("N%") and processing the application's messages every
// kDownloadProgressInterval of the platform clock, and showing the final count
// at the end. A book that moves slower than the HTTP layer's floor (1 KiB/s
// for 60 s) fails. Returns 255 when at least book.Size bytes arrived, else 4
// (also for Size 0 and a book without a file name). After every wait the
// application is asked whether to stop (TApplication::Cancelled); when it says
// so the download ends with 4 and the cancel text. The file is written under a
// temporary name in the same folder and renamed only when complete, so a
// failed or stopped download leaves nothing under the book's name and no
// temporary file; on a removable drive (the reader) it is also synced to the
// disk first. application, browser, bar and label may be null; they must
// outlive the call. visitLimit bounds the browser's visit.
std::uint8_t DownloadFile(const TBook& book, std::string_view folder, const TUserData& user,
                          TApplication* application, TWebBrowser* browser, TProgressBar* bar,
                          TLabel* label, bool showMessages,
                          std::chrono::milliseconds visitLimit = kBrowserVisitLimit);

// Whether folder starts with the letter of a removable drive.
bool onRemovableDrive(std::string_view folder);

// received * 100 / size rounded to the nearest whole number, halves to the
// even neighbour. Requires size > 0.
std::uint64_t downloadPercent(std::uint64_t received, std::uint64_t size);

}  // namespace quillbox::book
