#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "book/BookErrorText.h"
#include "book/ForceFolder.h"
#include "platform/CodePage.h"
#include "tests/book/LibraryFixture.h"
#include "tests/support/FileSizeLimit.h"

using namespace quillbox;
using namespace quillbox::test;

namespace {

class LibraryRobustness : public LibraryFolder {
  protected:
    // Saves a small library and returns the seven files as written.
    std::vector<std::string> saveOldLibrary() {
        OwnedLibrary owned;
        TBookShelf& shelf = owned.addShelf(makeShelf("Old", "o", kFlagOnAccount | kFlagOnReader));
        owned.addBook(shelf, makeBook("Old book", "ob", kFlagOnAccount | kFlagOnReader));
        TMoney money{};
        setFieldText(money.Balance, "old");
        EXPECT_TRUE(save(owned.library, money));
        return readLibraryFiles(m_folder);
    }

    // Fills a library of shelves x books, every book with all three marks.
    static void fillLibrary(OwnedLibrary& owned, int shelves, int books) {
        for (int s = 0; s < shelves; ++s) {
            TBookShelf& shelf =
                owned.addShelf(makeShelf(numbered("Shelf ", s), numbered("s", s), kFlagOnAccount));
            for (int b = 0; b < books; ++b) {
                owned.addBook(shelf, makeBook("Book", numbered("b", b), kFlagOnAccount));
            }
        }
    }

    int folderEntries() const {
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder)) {
            ++entries;
        }
        return entries;
    }

    static std::string randomBytes(std::size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> byte(1, 255);  // no zeros: texts run to the end
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(byte(random));
        }
        return bytes;
    }
};

}  // namespace

TEST_F(LibraryRobustness, SaveFailsWholeWhenATargetNameIsTakenByAFolder) {
    std::vector<std::string> old = saveOldLibrary();
    std::filesystem::remove(libraryFile("Books3.dat"));
    std::filesystem::create_directory(libraryFile("Books3.dat"));
    old[5].clear();

    OwnedLibrary owned;
    fillLibrary(owned, 2, 3);
    EXPECT_FALSE(save(owned.library, TMoney{}));

    const std::vector<std::string> now = readLibraryFiles(m_folder);
    for (std::size_t i = 0; i < old.size(); ++i) {
        EXPECT_EQ(now[i], old[i]) << libraryFileNames()[i];
    }
    EXPECT_EQ(folderEntries(), 7);  // no temporary file left behind
}

TEST_F(LibraryRobustness, SaveFailsWholeWhenTheDiskFillsUp) {
    const std::vector<std::string> old = saveOldLibrary();
    OwnedLibrary owned;
    fillLibrary(owned, 1, 300);  // 115 200 bytes of books
    {
        FileSizeLimit limit(50000);
        EXPECT_FALSE(save(owned.library, TMoney{}));
    }
    EXPECT_EQ(readLibraryFiles(m_folder), old);
    EXPECT_EQ(folderEntries(), 7);
}

TEST_F(LibraryRobustness, SaveFailsWhenTheFolderCannotBeCreated) {
    writeFile(m_home.file("NotAFolder"), "file");
    const std::string folder = m_home.file("NotAFolder/BookLibrary/");
    OwnedLibrary owned;
    fillLibrary(owned, 1, 1);
    EXPECT_FALSE(
        book::SaveBookLibraryToFile(owned.library, TMoney{}, folder, "BookShelfs", "Books"));
    TMoney money{};
    EXPECT_FALSE(
        book::LoadBookLibraryFromFile(owned.library, money, folder, "BookShelfs", "Books", true));
    EXPECT_EQ(readFile(m_home.file("NotAFolder")), "file");
}

TEST_F(LibraryRobustness, TruncatedFilesAreReadUpToTheirLastWholeRecord) {
    std::filesystem::create_directories(m_folder);
    const std::string shelves =
        shelfFileBytes({makeShelf("A", "a", kFlagOnAccount), makeShelf("B", "b", kFlagOnAccount)});
    writeFile(libraryFile("BookShelfs1.dat"), shelves.substr(0, 116 + 50));
    const std::string books = bookFileBytes({makeBook("One", "1", kFlagOnAccount, "a"),
                                             makeBook("Two", "2", kFlagOnAccount, "a"),
                                             makeBook("Three", "3", kFlagOnAccount, "a")});
    writeFile(libraryFile("Books1.dat"), books.substr(0, 2 * 384 + 383));

    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));
    ASSERT_EQ(owned.library.ShelfCount, 1);
    EXPECT_EQ(owned.shelf(0).BookCount, 2);
    EXPECT_EQ(fileSize(libraryFile("Books1.dat")), 2 * 384 + 383);  // left as found
}

TEST_F(LibraryRobustness, GarbageFilesLoadWithTerminatedTextsAndBoundedCounts) {
    std::filesystem::create_directories(m_folder);
    writeFile(libraryFile("BookShelfs1.dat"), randomBytes(116 * 3 + 7, 1));
    writeFile(libraryFile("Books1.dat"), randomBytes(384 * 40 + 100, 2));
    writeFile(libraryFile("BookShelfs2.dat"), randomBytes(116 * 200, 3));
    writeFile(libraryFile("Books2.dat"), randomBytes(384 * 10, 4));
    writeFile(libraryFile("BookShelfs3.dat"), randomBytes(116 * 5, 5));
    writeFile(libraryFile("Books3.dat"), randomBytes(384 * 2000, 6));
    std::string moneyBytes = randomBytes(1816, 7);
    writeFile(libraryFile("Money.dat"), moneyBytes);

    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));

    EXPECT_EQ(owned.library.ShelfCount, 100);
    for (int s = 0; s < owned.library.ShelfCount; ++s) {
        const TBookShelf& shelf = owned.shelf(s);
        EXPECT_LT(std::strlen(shelf.Name), sizeof shelf.Name);
        EXPECT_LT(std::strlen(shelf.Id), sizeof shelf.Id);
        EXPECT_LE(shelf.BookCount, 1000);
        for (int b = 0; b < shelf.BookCount; ++b) {
            const TBook& book = *shelf.BookList[b];
            EXPECT_LT(std::strlen(book.Title), sizeof book.Title);
            EXPECT_LT(std::strlen(book.ShelfName), sizeof book.ShelfName);
        }
    }
    EXPECT_EQ(owned.bookCount(), 40 + 1000);  // reader marks fill the last shelf
    EXPECT_LT(std::strlen(money.Balance), sizeof money.Balance);
    EXPECT_GE(money.PaymentCount, 0);
    EXPECT_LE(money.PaymentCount, 5);
}

TEST_F(LibraryRobustness, BookListsBeyond65535RecordsAreReadWhole) {
    std::filesystem::create_directories(m_folder);
    std::vector<TBookShelf> shelves;
    for (int s = 0; s < 100; ++s) {
        shelves.push_back(makeShelf("S", numbered("s", s), kFlagOnAccount));
    }
    writeFile(libraryFile("BookShelfs1.dat"), shelfFileBytes(shelves));
    std::string books;
    books.reserve(100000 * sizeof(TBook));
    for (int s = 0; s < 100; ++s) {
        for (int b = 0; b < 1000; ++b) {
            books +=
                recordBytes(makeBook("B", std::to_string(b), kFlagOnAccount, numbered("s", s)));
        }
    }
    writeFile(libraryFile("Books1.dat"), books);

    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));
    EXPECT_EQ(owned.bookCount(), 100000);
    EXPECT_EQ(owned.shelf(99).BookCount, 1000);
}

TEST_F(LibraryRobustness, WhatTheCapsLeaveOutIsNamedInTheErrorText) {
    struct Case {
        int shelves;
        int booksOnFirstShelf;
        int booksOnLastShelf;  // the last shelf is beyond the cap when shelves > 100
        book::LeftOut leftOut;
        const char* text;
    };
    const Case cases[] = {
        {101,
         1001,
         2,
         {1, 3},
         "Библиотека переполнена, пропущено полок: 1, книг: 3 (помещается не более 100 полок "
         "и 1000 книг на полке)"},
        {3,
         1002,
         0,
         {0, 2},
         "Библиотека переполнена, пропущено книг: 2 (помещается не более 100 полок и 1000 "
         "книг на полке)"},
        {100, 1000, 1000, {0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(numbered("shelves: ", c.shelves));
        book::setBookErrorText("");
        std::vector<TBookShelf> shelves;
        std::string books;
        for (int s = 0; s < c.shelves; ++s) {
            shelves.push_back(makeShelf("S", numbered("s", s), kFlagOnAccount));
            const int count = s == 0               ? c.booksOnFirstShelf
                              : s == c.shelves - 1 ? c.booksOnLastShelf
                                                   : 0;
            for (int b = 0; b < count; ++b) {
                books +=
                    recordBytes(makeBook("B", std::to_string(b), kFlagOnAccount, numbered("s", s)));
            }
        }
        std::filesystem::create_directories(m_folder);
        writeFile(libraryFile("BookShelfs1.dat"), shelfFileBytes(shelves));
        writeFile(libraryFile("Books1.dat"), books);

        OwnedLibrary owned;
        TMoney money{};
        book::LeftOut leftOut;
        ASSERT_TRUE(book::LoadBookLibraryFromFile(owned.library, money, m_folder, "BookShelfs",
                                                  "Books", true, &leftOut));
        EXPECT_EQ(owned.library.ShelfCount, std::min(c.shelves, 100));
        EXPECT_EQ(owned.shelf(0).BookCount, std::min(c.booksOnFirstShelf, 1000));
        // Books of a shelf that was left out do not land on another shelf.
        const int lastKept = std::min(c.shelves, 100) - 1;
        EXPECT_EQ(owned.shelf(lastKept).BookCount, c.shelves > 100 ? 0 : c.booksOnLastShelf);
        EXPECT_EQ(leftOut.shelves, c.leftOut.shelves);
        EXPECT_EQ(leftOut.books, c.leftOut.books);
        EXPECT_EQ(platform::toUtf8(book::GetBookErrorText().Text, "WINDOWS-1251").value(), c.text);
    }
    book::setBookErrorText("");
}

TEST(ForceFolder, CreatesEveryBackslashLevel) {
    TempDir temp;
    const std::string root = temp.path().substr(0, temp.path().size() - 1);
    EXPECT_TRUE(book::ForceFolder(root + "\\a\\b\\c"));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/a/b/c"));
    EXPECT_TRUE(book::ForceFolder(root + "\\a\\b\\c\\"));  // already there
}

TEST(ForceFolder, ForwardSlashLevelsAreOneFolder) {
    TempDir temp;
    EXPECT_TRUE(book::ForceFolder(temp.file("BookLibrary/")));
    EXPECT_TRUE(std::filesystem::is_directory(temp.file("BookLibrary")));
    // The parent of the last forward-slash level must exist already.
    EXPECT_FALSE(book::ForceFolder(temp.file("missing/BookLibrary/")));
    EXPECT_FALSE(std::filesystem::exists(temp.file("missing")));
}

TEST(ForceFolder, EmptyPathOrAFileInTheWayFails) {
    EXPECT_FALSE(book::ForceFolder(""));
    EXPECT_FALSE(book::ForceFolder("\\"));
    TempDir temp;
    std::filesystem::create_directory(temp.file("made"));
    writeFile(temp.file("made/file"), "x");
    const std::string root = temp.path().substr(0, temp.path().size() - 1);
    EXPECT_FALSE(book::ForceFolder(root + "\\made\\file\\below\\"));
    EXPECT_EQ(readFile(temp.file("made/file")), "x");
}

TEST(ForceFolder, DriveLetterPathsAreCreatedUnderTheDrivesMountPoint) {
    TempDir reader;
    const std::string mount = reader.path().substr(0, reader.path().size() - 1);
    EnvGuard drives("QUILLBOX_DRIVES", "E=" + mount);
    EXPECT_TRUE(book::ForceFolder("E:\\Books\\Shelf\\"));
    EXPECT_TRUE(std::filesystem::is_directory(reader.file("Books/Shelf")));
}
