#pragma once
// A temporary program folder (QUILLBOX_HOME) with the library folder
// "BookLibrary/" inside, and the computer copies of books below "Books/".

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "book/BookNames.h"
#include "book/LibraryFiles.h"
#include "tests/book/TestLibrary.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

class LibraryFolder : public ::testing::Test {
  protected:
    TempDir m_home;
    EnvGuard m_homeGuard{"QUILLBOX_HOME", m_home.path()};
    // Store texts are windows-1251, the system ANSI code page by default.
    EnvGuard m_codePage{"QUILLBOX_ANSI_CODEPAGE", std::nullopt};
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
        const std::string path = book::bookFilePath(m_home.file("Books/"), book);
        std::filesystem::create_directories(path.substr(0, path.rfind('/')));
        writeFile(path, "book");
    }
};

}  // namespace quillbox::test
