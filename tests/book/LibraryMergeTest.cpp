#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "book/BookNames.h"
#include "platform/CodePage.h"
#include "tests/book/LibraryFixture.h"

using namespace quillbox;
using namespace quillbox::test;

namespace {

class LibraryMerge : public LibraryFolder {
  protected:
    void SetUp() override { std::filesystem::create_directories(m_folder); }

    void writeShelves(const std::string& name, const std::vector<TBookShelf>& shelves) {
        writeFile(libraryFile(name), shelfFileBytes(shelves));
    }
    void writeBooks(const std::string& name, const std::vector<TBook>& books) {
        writeFile(libraryFile(name), bookFileBytes(books));
    }
};

}  // namespace

TEST_F(LibraryMerge, AccountBooksGetFlagTwoOnTheShelfOfTheirIdOrTheLastShelf) {
    writeShelves("BookShelfs1.dat", {makeShelf("First", "s1", kFlagOnAccount, 9),
                                     makeShelf("Second", "s2", kFlagOnAccount, 9)});
    writeBooks("Books1.dat", {makeBook("A", "a", kFlagOnReader, "s1", "stale name"),
                              makeBook("B", "b", 0, "unknown", "Unknown")});
    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));

    ASSERT_EQ(owned.library.ShelfCount, 2);
    ASSERT_EQ(owned.shelf(0).BookCount, 1);
    ASSERT_EQ(owned.shelf(1).BookCount, 1);
    EXPECT_EQ(owned.book(0, 0).Flags, kFlagOnAccount);
    EXPECT_EQ(fieldText(owned.book(0, 0).ShelfName), "First");
    EXPECT_EQ(fieldText(owned.book(1, 0).Title), "B");
    EXPECT_EQ(fieldText(owned.book(1, 0).ShelfId), "s2");
}

TEST_F(LibraryMerge, BooksWithoutAnyShelfInTheLibraryAreDropped) {
    writeShelves("BookShelfs1.dat", {});
    writeBooks("Books1.dat", {makeBook("A", "a", kFlagOnAccount, "s1", "S")});
    writeShelves("BookShelfs3.dat", {});
    writeBooks("Books3.dat", {makeBook("A", "a", kFlagOnReader, "s1", "S")});
    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));
    EXPECT_EQ(owned.library.ShelfCount, 0);
}

TEST_F(LibraryMerge, ComputerMarkNeedsTheBookFileInItsShelfFolder) {
    OwnedLibrary saved;
    TBookShelf& shelf =
        saved.addShelf(makeShelf("My: Shelf", "s1", kFlagOnAccount | kFlagOnComputer));
    const TBook& kept =
        saved.addBook(shelf, makeBook("Kept?", "k", kFlagOnAccount | kFlagOnComputer));
    const TBook& deleted =
        saved.addBook(shelf, makeBook("Deleted", "d", kFlagOnAccount | kFlagOnComputer));
    saved.addBook(shelf, makeBook("Linked", "l", kFlagOnAccount | kFlagOnComputer));
    ASSERT_TRUE(save(saved.library, TMoney{}));
    placeComputerCopy(kept);
    writeFile(m_home.file("elsewhere.fb2"), "book");
    std::filesystem::create_symlink(
        m_home.file("elsewhere.fb2"),
        m_home.file("Books/My Shelf/") + book::bookFileName(saved.book(0, 2)));
    // The copy of the second book was deleted by hand; a folder of its name
    // does not count as the book either.
    std::filesystem::create_directories(m_home.file("Books/My Shelf/") +
                                        book::bookFileName(deleted));

    OwnedLibrary loaded;
    TMoney money{};
    ASSERT_TRUE(load(loaded.library, money, true));
    ASSERT_EQ(loaded.shelf(0).BookCount, 3);
    EXPECT_EQ(loaded.book(0, 0).Flags, kFlagOnAccount | kFlagOnComputer);
    EXPECT_EQ(loaded.book(0, 1).Flags, kFlagOnAccount);
    EXPECT_EQ(loaded.book(0, 2).Flags, kFlagOnAccount | kFlagOnComputer);
}

TEST_F(LibraryMerge, ShelfNameThatPointsOutsideTheBooksFolderIsLookedUpUnderUnderscore) {
    TBook book = makeBook("Story", "x", kFlagOnComputer, "s1", "..");
    writeShelves("BookShelfs2.dat", {makeShelf("..", "s1", kFlagOnComputer, 1)});
    writeBooks("Books2.dat", {book});
    // A copy where ".." would lead (the program folder itself) does not count.
    writeFile(m_home.file("Story.fb2"), "book");

    OwnedLibrary first;
    TMoney money{};
    ASSERT_TRUE(load(first.library, money, false));
    ASSERT_EQ(first.library.ShelfCount, 1);
    EXPECT_EQ(first.shelf(0).BookCount, 0);

    placeComputerCopy(book);
    ASSERT_TRUE(fileExists(m_home.file("Books/_/Story.fb2")));
    OwnedLibrary second;
    ASSERT_TRUE(load(second.library, money, false));
    ASSERT_EQ(second.shelf(0).BookCount, 1);
    EXPECT_EQ(second.book(0, 0).Flags, kFlagOnComputer);
}

TEST_F(LibraryMerge, UnknownMarkedShelfIsAddedOnlyWhenItHadBooks) {
    TBook belongs = makeBook("Belongs", "b1", kFlagOnComputer, "new3", "New");
    placeComputerCopy(belongs);
    writeShelves("BookShelfs1.dat", {makeShelf("Account", "acc", kFlagOnAccount)});
    writeShelves("BookShelfs2.dat",
                 {makeShelf("Empty", "new0", kFlagOnComputer, 0),
                  makeShelf("New", "new3", kFlagOnAccount | kFlagOnComputer, 3)});
    writeBooks("Books2.dat", {belongs});

    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));

    ASSERT_EQ(owned.library.ShelfCount, 2);
    EXPECT_EQ(fieldText(owned.shelf(1).Name), "New");
    EXPECT_EQ(owned.shelf(1).Flags, kFlagOnComputer);
    ASSERT_EQ(owned.shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(owned.book(1, 0).Title), "Belongs");
    EXPECT_EQ(owned.book(1, 0).Flags, kFlagOnComputer);
    EXPECT_EQ(owned.shelf(0).BookCount, 0);
}

TEST_F(LibraryMerge, MarksAreSetNotAddedSoStoredFlagsSurvive) {
    writeShelves("BookShelfs1.dat",
                 {makeShelf("S", "s", kFlagOnAccount | kFlagOnComputer | kFlagOnReader)});
    writeShelves("BookShelfs2.dat", {makeShelf("S", "s", kFlagOnComputer, 1)});
    writeShelves("BookShelfs3.dat", {makeShelf("S", "s", kFlagOnReader, 1)});
    writeBooks("Books1.dat", {makeBook("T", "t", kFlagOnAccount, "s", "S")});
    // The same book listed twice among the reader marks.
    writeBooks("Books3.dat", {makeBook("T", "t", kFlagOnReader, "s", "S"),
                              makeBook("T", "t", kFlagOnReader, "s", "S")});
    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));
    EXPECT_EQ(owned.shelf(0).Flags, kFlagOnAccount | kFlagOnComputer | kFlagOnReader);
    ASSERT_EQ(owned.shelf(0).BookCount, 1);
    EXPECT_EQ(owned.book(0, 0).Flags, kFlagOnAccount | kFlagOnReader);
}

TEST_F(LibraryMerge, LoadingAddsToTheLibraryAndMarksTheFirstOfEqualIds) {
    OwnedLibrary owned;
    TBookShelf& first = owned.addShelf(makeShelf("One", "same", kFlagOnAccount));
    TBookShelf& second = owned.addShelf(makeShelf("Two", "same", kFlagOnAccount));
    owned.addBook(first, makeBook("X", "dup", kFlagOnAccount));
    owned.addBook(first, makeBook("X again", "dup", kFlagOnAccount));
    writeShelves("BookShelfs3.dat", {makeShelf("Any", "same", kFlagOnReader, 2)});
    writeBooks("Books3.dat", {makeBook("X", "dup", kFlagOnReader, "same", "One"),
                              makeBook("Fresh", "fresh", kFlagOnReader, "same", "One")});

    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, false));

    ASSERT_EQ(owned.library.ShelfCount, 2);
    EXPECT_EQ(first.Flags, kFlagOnAccount | kFlagOnReader);
    EXPECT_EQ(second.Flags, kFlagOnAccount);
    ASSERT_EQ(first.BookCount, 3);
    EXPECT_EQ(owned.book(0, 0).Flags, kFlagOnAccount | kFlagOnReader);
    EXPECT_EQ(owned.book(0, 1).Flags, kFlagOnAccount);
    EXPECT_EQ(fieldText(owned.book(0, 2).Title), "Fresh");
    EXPECT_EQ(owned.book(0, 2).Flags, kFlagOnReader);
}

TEST_F(LibraryMerge, IdsDifferingOnlyAfterTheirZeroAreDifferent) {
    TBookShelf stored = makeShelf("S", "id", kFlagOnAccount);
    OwnedLibrary owned;
    owned.addShelf(stored);
    TBookShelf marked = stored;
    marked.Id[8] = 'z';  // after the terminating zero
    marked.BookCount = 1;
    writeShelves("BookShelfs3.dat", {marked});
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, false));
    ASSERT_EQ(owned.library.ShelfCount, 2);
    EXPECT_EQ(owned.shelf(0).Flags, kFlagOnAccount);
    EXPECT_EQ(owned.shelf(1).Flags, kFlagOnReader);
}

TEST_F(LibraryMerge, DownloadedBookKeepsItsComputerMarkThroughSaveAndLoad) {
    // Shelf and title as the store gives them (windows-1251 in the records),
    // and the file as a download names it on this system (UTF-8).
    struct Case {
        const char* shelf;
        const char* title;
        const char* file;
    };
    const Case cases[] = {
        {"Фантастика", "Путь: домой?", "Фантастика/Путь домой.fb2"},
        {"Sci: Fi", "Dune: Part?", "Sci Fi/Dune Part.fb2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string shelfName = platform::fromUtf8(c.shelf, "WINDOWS-1251").value();
        const std::string title = platform::fromUtf8(c.title, "WINDOWS-1251").value();
        OwnedLibrary saved;
        TBookShelf& shelf =
            saved.addShelf(makeShelf(shelfName, "s", kFlagOnAccount | kFlagOnComputer));
        saved.addBook(shelf, makeBook(title, "b", kFlagOnAccount | kFlagOnComputer));
        ASSERT_TRUE(save(saved.library, TMoney{}));
        const std::string file = m_home.file("Books/") + c.file;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        writeFile(file, "book");
        EXPECT_EQ(book::computerCopyPath(saved.book(0, 0)), file);

        for (const bool present : {true, false}) {
            if (!present) {
                std::filesystem::remove(file);
            }
            OwnedLibrary loaded;
            TMoney money{};
            ASSERT_TRUE(load(loaded.library, money, true));
            ASSERT_EQ(loaded.shelf(0).BookCount, 1);
            EXPECT_EQ(loaded.book(0, 0).Flags,
                      present ? kFlagOnAccount | kFlagOnComputer : kFlagOnAccount);
        }
    }
}
