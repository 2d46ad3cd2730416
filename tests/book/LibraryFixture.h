#pragma once
// A temporary program folder (QUILLBOX_HOME) with the library folder
// "BookLibrary/" inside, and the computer copies of books below "Books/".

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "book/BookNames.h"
#include "book/LibraryFiles.h"
#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "tests/book/TestLibrary.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

class LibraryFolder : public ::testing::Test {
  protected:
    TempDir m_home;
    EnvGuard m_homeGuard{"QUILLBOX_HOME", m_home.path()};
    const std::string m_folder = m_home.file("BookLibrary/");

    std::string libraryFile(const std::string& name) const { return m_folder + name; }

    bool save(const TBookLibrary& library, const TMoney& money) {
        return book::SaveBookLibraryToFile(library, money, m_folder, "BookShelfs", "Books");
    }
    bool load(TBookLibrary& library, TMoney& money, bool loadAccount) {
        return book::LoadBookLibraryFromFile(library, money, m_folder, "BookShelfs", "Books",
                                             loadAccount);
    }

    // Puts a file where the computer copy of the book is looked for.
    void placeComputerCopy(const TBook& book) {
        // Appended piece by piece: GCC 12 misreports "literal" + std::string at -O3.
        std::string shelfFolder = m_home.file("Books/");
        shelfFolder += safeFolderName(fieldText(book.ShelfName));
        shelfFolder += '/';
        std::filesystem::create_directories(shelfFolder);
        writeFile(shelfFolder + book::bookFileName(book), "book");
    }
};

}  // namespace quillbox::test
