#include <array>
#include <string>

#include "book/ForceFolder.h"
#include "book/LibraryFiles.h"
#include "book/RecordFile.h"
#include "platform/DurableFile.h"
#include "platform/PathNormaliser.h"

namespace quillbox::book {
namespace {

constexpr std::uint16_t kListFlags[3] = {kFlagOnAccount, kFlagOnComputer, kFlagOnReader};

}  // namespace

bool SaveBookLibraryToFile(const TBookLibrary& library, const TMoney& money,
                           std::string_view folder, std::string_view shelfPrefix,
                           std::string_view bookPrefix) {
    if (!ForceFolder(folder)) {
        return false;
    }
    const std::string base(folder);
    // Shelf files 1..3, book files 1..3, then Money.dat: the order the files
    // are created and replaced in.
    const auto numbered = [&base](std::string_view prefix, int number) {
        std::string name = base;
        name += prefix;
        name += std::to_string(number);
        name += ".dat";
        return platform::toNativePath(name);
    };
    std::array<std::string, 7> targets;
    for (int i = 0; i < 3; ++i) {
        targets[i] = numbered(shelfPrefix, i + 1);
        targets[3 + i] = numbered(bookPrefix, i + 1);
    }
    targets[6] = platform::toNativePath(base + "Money.dat");

    std::array<platform::DurableFile, 7> files;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!canReplace(targets[i]) || !files[i].create(targets[i])) {
            return false;
        }
    }

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
    if (!moneyFile.write(&money, sizeof money) ||
        !appendFileFrom(moneyFile, targets[6], sizeof money)) {
        return false;
    }

    // Every file is complete and on disk before the first one is replaced.
    for (auto& file : files) {
        if (!file.finish()) {
            return false;
        }
    }
    for (auto& file : files) {
        if (!file.commit()) {
            return false;
        }
    }
    return true;
}

}  // namespace quillbox::book
