#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "book/BookErrorText.h"
#include "book/BookLibrary.h"
#include "book/BookNames.h"
#include "common/SafeFolderName.h"
#include "tests/book/AllocationProbe.h"
#include "tests/book/TestLibrary.h"
#include "tests/support/EnvGuard.h"

using namespace quillbox;
using quillbox::test::EnvGuard;
using quillbox::test::makeBook;
using quillbox::test::makeShelf;
using quillbox::test::OwnedLibrary;
using quillbox::test::TempDir;

TEST(BookLibrary, AddShelfCopiesTheRecordAndStopsAtOneHundred) {
    OwnedLibrary owned;
    TBookShelf record = makeShelf("Shelf", "s1", kFlagOnAccount, 77);
    for (int i = 0; i < kMaxShelves; ++i) {
        ASSERT_TRUE(book::AddShelf(owned.library, record)) << i;
    }
    EXPECT_EQ(owned.library.ShelfCount, 100);
    EXPECT_EQ(fieldText(owned.shelf(99).Name), "Shelf");
    EXPECT_EQ(owned.shelf(99).BookCount, 77);  // copied as given; callers reset it

    EXPECT_FALSE(book::AddShelf(owned.library, record));
    EXPECT_EQ(owned.library.ShelfCount, 100);
}

TEST(BookLibrary, AddBookStampsTheShelfIntoTheCallersRecordAndStopsAtOneThousand) {
    OwnedLibrary owned;
    TBookShelf& shelf = owned.addShelf(makeShelf("Fiction", "f7", kFlagOnAccount));
    TBook record = makeBook("Title", "books/1", kFlagOnAccount, "other", "Other shelf");
    ASSERT_TRUE(book::AddBook(shelf, record));
    EXPECT_EQ(fieldText(record.ShelfId), "f7");
    EXPECT_EQ(fieldText(record.ShelfName), "Fiction");
    EXPECT_TRUE(sameFieldBytes(shelf.BookList[0]->ShelfId, shelf.Id));
    EXPECT_EQ(std::memcmp(shelf.BookList[0], &record, sizeof record), 0);

    for (int i = 1; i < kMaxBooksPerShelf; ++i) {
        ASSERT_TRUE(book::AddBook(shelf, record)) << i;
    }
    EXPECT_FALSE(book::AddBook(shelf, record));
    EXPECT_EQ(shelf.BookCount, 1000);
}

TEST(BookLibrary, FailedAllocationAddsNothing) {
    OwnedLibrary owned;
    TBookShelf& shelf = owned.addShelf(makeShelf("Shelf", "s", kFlagOnAccount));
    TBook record = makeBook("Title", "id", kFlagOnAccount, "x", "y");

    test::setNothrowAllocationsFail(true);
    const bool shelfAdded = book::AddShelf(owned.library, makeShelf("More", "m", kFlagOnAccount));
    const bool bookAdded = book::AddBook(shelf, record);
    test::setNothrowAllocationsFail(false);

    EXPECT_FALSE(shelfAdded);
    EXPECT_FALSE(bookAdded);
    EXPECT_EQ(owned.library.ShelfCount, 1);
    EXPECT_EQ(shelf.BookCount, 0);
    EXPECT_EQ(fieldText(record.ShelfId), "x");
}

TEST(BookLibrary, DeleteBookLibraryOnAnEmptyLibraryReturnsFalse) {
    TBookLibrary library{};
    EXPECT_FALSE(book::DeleteBookLibrary(library));
    EXPECT_EQ(library.ShelfCount, 0);
}

TEST(BookLibrary, DeleteBookLibraryFreesEveryShelfAndBook) {
    TBookLibrary library{};
    const int bookCounts[] = {0, 5, 1000};
    for (const int count : bookCounts) {
        ASSERT_TRUE(book::AddShelf(library, makeShelf("S", "id", kFlagOnAccount)));
        TBookShelf& shelf = *library.Shelves[library.ShelfCount - 1];
        for (int i = 0; i < count; ++i) {
            TBook record = makeBook("T", "b", kFlagOnAccount);
            ASSERT_TRUE(book::AddBook(shelf, record));
        }
    }
    const long long booksBefore = test::bookBlocksFreed();
    const long long shelvesBefore = test::shelfBlocksFreed();

    EXPECT_TRUE(book::DeleteBookLibrary(library));

    EXPECT_EQ(library.ShelfCount, 0);
    EXPECT_EQ(test::bookBlocksFreed() - booksBefore, 1005);
    EXPECT_EQ(test::shelfBlocksFreed() - shelvesBefore, 3);
}

TEST(BookLibrary, FreeShelfBooksAndFreeLastShelfReportEmptyInputs) {
    OwnedLibrary owned;
    EXPECT_FALSE(book::FreeLastShelf(owned.library));
    TBookShelf& shelf = owned.addShelf(makeShelf("S", "id", kFlagOnAccount));
    EXPECT_FALSE(book::FreeShelfBooks(shelf));
    owned.addBook(shelf, makeBook("T", "b", kFlagOnAccount));
    EXPECT_TRUE(book::FreeShelfBooks(shelf));
    EXPECT_EQ(shelf.BookCount, 0);
    EXPECT_TRUE(book::FreeLastShelf(owned.library));
    EXPECT_EQ(owned.library.ShelfCount, 0);
}

TEST(VerifyTitle, DropsEachForbiddenCharacterBetweenLetters) {
    for (const char forbidden : std::string("/\\?*:\"<>|")) {
        char text[] = {'a', forbidden, 'b', 0};
        EXPECT_TRUE(book::VerifyTitle(text));
        EXPECT_STREQ(text, "ab") << "character " << forbidden;
    }
    char mixed[] = "W/a\\r?* a:n\"d< >P|eace.";
    book::VerifyTitle(mixed);
    EXPECT_STREQ(mixed, "War and Peace.");
}

TEST(VerifyTitle, OnlyForbiddenCharactersLeaveAnEmptyTextAndBlanksAndDotsStay) {
    char onlyForbidden[] = "/\\?*:\"<>|||//";
    book::VerifyTitle(onlyForbidden);
    EXPECT_STREQ(onlyForbidden, "");

    char blanksAndDots[] = " . .. ";
    book::VerifyTitle(blanksAndDots);
    EXPECT_STREQ(blanksAndDots, " . .. ");
}

TEST(VerifyTitle, BookFileNameIsTitleAndTypeWithoutForbiddenCharacters) {
    TBook book = makeBook("Who? Me: \"Yes\"", "id", 0);
    setFieldText(book.BookType, ".f|b2");
    EXPECT_EQ(book::bookFileName(book), "Who Me Yes.fb2");
}

TEST(BookFilePath, IsTheNativePathOfTheFileInItsShelfFolderOnAnyDrive) {
    TempDir reader;
    const EnvGuard drives("QUILLBOX_DRIVES",
                          "E=" + reader.path().substr(0, reader.path().size() - 1));
    const EnvGuard codePage("QUILLBOX_ANSI_CODEPAGE", std::nullopt);
    // "Фантастика" and "Путь: домой?" in windows-1251, as the records hold them.
    const TBook cyrillic = makeBook("\xCF\xF3\xF2\xFC: \xE4\xEE\xEC\xEE\xE9?", "id", 0, "s",
                                    "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0");
    EXPECT_EQ(book::bookFilePath("E:\\Books\\", cyrillic),
              reader.file("Books/Фантастика/Путь домой.fb2"));
    EXPECT_EQ(book::bookFilePath("/data/Books/", cyrillic),
              "/data/Books/Фантастика/Путь домой.fb2");

    TBook outside = makeBook("a/../b", "id", 0, "s", "..");
    EXPECT_EQ(book::bookFilePath("/data/Books/", outside), "/data/Books/_/a..b.fb2");
    setFieldText(outside.Title, "..");
    setFieldText(outside.BookType, "");
    EXPECT_EQ(book::bookFilePath("/data/Books/", outside), "");
}

TEST(SafeFolderName, UsesTheTitleRuleAndNeverNamesTheFolderItselfOrItsParent) {
    EXPECT_EQ(safeFolderName("Sci/Fi: <new>"), "SciFi new");
    EXPECT_EQ(safeFolderName(""), "_");
    EXPECT_EQ(safeFolderName("."), "_");
    EXPECT_EQ(safeFolderName(".."), "_");
    EXPECT_EQ(safeFolderName("/.\\./"), "_");
    EXPECT_EQ(safeFolderName("..."), "...");
    EXPECT_EQ(safeFolderName(" .. "), " .. ");
}

TEST(BookErrorText, IsEmptyUntilSetAndKeepsAtMost500Characters) {
    const TBookErrorText fresh = book::GetBookErrorText();
    EXPECT_EQ(std::string(sizeof fresh.Text, '\0'), std::string(fresh.Text, sizeof fresh.Text));

    book::setBookErrorText("\xce\xf8\xe8\xe1\xea\xe0");  // windows-1251 bytes kept as they are
    EXPECT_STREQ(book::GetBookErrorText().Text, "\xce\xf8\xe8\xe1\xea\xe0");

    book::setBookErrorText(std::string(700, 'x'));
    const TBookErrorText cut = book::GetBookErrorText();
    EXPECT_EQ(std::string(cut.Text), std::string(500, 'x'));

    book::setBookErrorText("");
}
