#pragma once
// Bringing the library in memory up to date with the user's account on the
// store: the account page is fetched into the temporary file "Tmp/Tmp.~file"
// of the data folder, the old library is saved, emptied and rebuilt from the
// page, and the computer and reader marks of the saved files are merged back.

#include <cstdint>

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
// BookErrorText. Before the page is known good (codes 0, 1, 3 for no
// connection, 4, 5, 20) library and money are untouched. With showMessages the
// texts are also shown through the host's message box.
std::uint8_t LoadBookLibraryFromURL(TBookLibrary& library, TMoney& money, TUserData user,
                                    bool showMessages);

}  // namespace quillbox::book
