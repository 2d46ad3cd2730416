#pragma once
// Bringing the library in memory up to date with the user's account on the
// store: the account page is fetched into the temporary file "Tmp/Tmp.~file"
// of the data folder, read into a new library, and only when it was read whole
// does the new library, with the computer and reader marks of the old one
// (carried through the library files), take the old one's place.

#include <cstdint>

#include "book/AccountRequest.h"
#include "common/BookTypes.h"
#include "common/SystemTypes.h"
#include "contracts/Book.h"

namespace quillbox::book {

// The update's results are the contract's kBookUpdate codes; these short
// names stand for them inside the library.
inline constexpr std::uint8_t kUpdateDone = kBookUpdateDone;
inline constexpr std::uint8_t kUpdatePageUnreadable = kBookUpdatePageUnreadable;
inline constexpr std::uint8_t kUpdateNoTmpFolder = kBookUpdateNoTmpFolder;
inline constexpr std::uint8_t kUpdateNotConnectedOrOverflow = kBookUpdateNotConnectedOrOverflow;
inline constexpr std::uint8_t kUpdateNoTmpFile = kBookUpdateNoTmpFile;
inline constexpr std::uint8_t kUpdateTmpFileNotWritten = kBookUpdateTmpFileNotWritten;
inline constexpr std::uint8_t kUpdateLoginRefused = kBookUpdateLoginRefused;

// An answer shorter than this is the store's refusal of the login.
inline constexpr long kShortestAccountPage = 128;

// Runs the update for user (Login and Password are sent with A-Z lower-cased)
// and returns one of the codes above, leaving the matching text in
// BookErrorText. library and money change only on kUpdateDone; every other
// code leaves them exactly as they were: 0 page file unreadable, 1 no "Tmp/",
// 3 no connection, an answer too slow or too large, a page that overflows the
// reader, or a stop asked by the host application (Cancelled), 4 page file not
// creatable, 5 page file or library files not written, 20 login refused. The
// page file is created with mode 0600 and removed on every outcome. With
// showMessages the texts are also shown through the host's message box (the
// success box only after success; none for a stop the host asked for).
// pageCap bounds the page's size (a larger one gives 3).
std::uint8_t LoadBookLibraryFromURL(TBookLibrary& library, TMoney& money, TUserData user,
                                    bool showMessages,
                                    std::uint64_t pageCap = kAccountPageMaxBytes);

}  // namespace quillbox::book
