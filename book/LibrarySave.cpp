#include <array>
#include <string>

#include "book/ForceFolder.h"
#include "book/LibraryCommit.h"
#include "book/LibraryFiles.h"
#include "book/RecordFile.h"
#include "platform/DurableFile.h"

namespace quillbox::book {
namespace {

constexpr std::uint16_t kListFlags[3] = {kFlagOnAccount, kFlagOnComputer, kFlagOnReader};

// Writes the records of the library and the money record into the seven
// files, in the order of LibraryFileSet. moneyPath is the current Money.dat,
// whose bytes after the record are kept.
bool writeRecords(std::array<platform::DurableFile, LibraryFileSet::kCount>& files,
                  const TBookLibrary& library, const TMoney& money, const std::string& moneyPath) {
    const std::uint16_t shelfCount =
        library.ShelfCount < kMaxShelves ? library.ShelfCount : kMaxShelves;
    for (std::uint16_t s = 0; s < shelfCount; ++s) {
        const TBookShelf* shelf = library.Shelves[s];
        if (shelf == nullptr) {
            continue;
        }
        for (int list = 0; list < 3; ++list) {
            if ((shelf->Flags & kListFlags[list]) != 0 &&
                !files[list].write(shelf, kBookShelfRecordSize)) {
                return false;
            }
        }
        const std::uint16_t bookCount =
            shelf->BookCount < kMaxBooksPerShelf ? shelf->BookCount : kMaxBooksPerShelf;
        for (std::uint16_t b = 0; b < bookCount; ++b) {
            const TBook* book = shelf->BookList[b];
            if (book == nullptr) {
                continue;
            }
            for (int list = 0; list < 3; ++list) {
                if ((book->Flags & kListFlags[list]) != 0 &&
                    !files[3 + list].write(book, sizeof(TBook))) {
                    return false;
                }
            }
        }
    }
    // The money record is record 0 of Money.dat; whatever follows it stays.
    platform::DurableFile& moneyFile = files[6];
    return moneyFile.write(&money, sizeof money) &&
           appendFileFrom(moneyFile, moneyPath, sizeof money);
}

}  // namespace

bool SaveBookLibraryToFile(const TBookLibrary& library, const TMoney& money,
                           std::string_view folder, std::string_view shelfPrefix,
                           std::string_view bookPrefix) {
    if (!ForceFolder(folder)) {
        return false;
    }
    const LibraryFileSet set(folder, shelfPrefix, bookPrefix);
    // A save stopped after its commit point is finished first; Money.dat's
    // tail is then read from the file that is current.
    if (!set.committable() || !settleLibraryFolder(set)) {
        return false;
    }

    std::array<platform::DurableFile, LibraryFileSet::kCount> files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!canReplace(set.target(i)) || !canReplace(set.staged(i)) ||
            !files[i].create(set.staged(i))) {
            return false;
        }
    }
    if (!writeRecords(files, library, money, set.target(6))) {
        return false;
    }
    // Every file is complete and on disk before the first is staged.
    for (auto& file : files) {
        if (!file.finish()) {
            return false;
        }
    }
    for (auto& file : files) {
        reachSaveStep();
        if (!file.commit()) {
            discardStagedFiles(set);
            return false;
        }
    }
    return commitLibraryFiles(set);
}

}  // namespace quillbox::book
