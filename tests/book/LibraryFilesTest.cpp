#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/book/LibraryFixture.h"

using namespace quillbox;
using namespace quillbox::test;

namespace {

class LibraryFiles : public LibraryFolder {};

// Two shelves, each with books of every mark; the order is the one a load
// rebuilds (account books first, then books only on the computer, then only
// on the reader).
void fillMixedLibrary(OwnedLibrary& owned) {
    TBookShelf& fiction =
        owned.addShelf(makeShelf("Fiction", "f1", kFlagOnAccount | kFlagOnComputer));
    owned.addBook(fiction, makeBook("Dune", "b/1", kFlagOnAccount | kFlagOnComputer));
    owned.addBook(fiction,
                  makeBook("Emma", "b/2", kFlagOnAccount | kFlagOnComputer | kFlagOnReader));
    owned.addBook(fiction, makeBook("Ulysses", "b/3", kFlagOnAccount));
    TBookShelf& news = owned.addShelf(makeShelf("News", "n2", kFlagOnAccount | kFlagOnReader));
    owned.addBook(news, makeBook("Daily", "m/1", kFlagOnAccount | kFlagOnReader));
    owned.addBook(news, makeBook("Weekly", "m/2", kFlagOnAccount));
}

void expectSameLibrary(const TBookLibrary& expected, const TBookLibrary& actual) {
    ASSERT_EQ(expected.ShelfCount, actual.ShelfCount);
    for (int s = 0; s < expected.ShelfCount; ++s) {
        const TBookShelf& a = *expected.Shelves[s];
        const TBookShelf& b = *actual.Shelves[s];
        EXPECT_EQ(shelfBytes(a), shelfBytes(b)) << "shelf " << s;
        ASSERT_EQ(a.BookCount, b.BookCount);
        for (int i = 0; i < a.BookCount; ++i) {
            EXPECT_EQ(recordBytes(*a.BookList[i]), recordBytes(*b.BookList[i]))
                << "shelf " << s << " book " << i;
        }
    }
}

}  // namespace

TEST_F(LibraryFiles, EachShelfAndBookGoesToTheFileOfEachOfItsFlags) {
    OwnedLibrary owned;
    TBookShelf& shelf = owned.addShelf(makeShelf("Shelf", "s1", kFlagOnAccount | kFlagOnComputer));
    const TBook& book = owned.addBook(
        shelf, makeBook("Title", "b/1", kFlagOnAccount | kFlagOnComputer | kFlagOnReader));
    TMoney money{};
    setFieldText(money.Balance, "12.50");

    ASSERT_TRUE(save(owned.library, money));

    EXPECT_EQ(readFile(libraryFile("BookShelfs1.dat")), shelfBytes(shelf));
    EXPECT_EQ(readFile(libraryFile("BookShelfs2.dat")), shelfBytes(shelf));
    EXPECT_EQ(fileSize(libraryFile("BookShelfs3.dat")), 0);
    for (const char* name : {"Books1.dat", "Books2.dat", "Books3.dat"}) {
        EXPECT_EQ(readFile(libraryFile(name)), recordBytes(book)) << name;
    }
    EXPECT_EQ(readFile(libraryFile("Money.dat")), recordBytes(money));
}

TEST_F(LibraryFiles, ShelfRecordCarriesBookCountAndFlagsAsTheyWere) {
    OwnedLibrary owned;
    TBookShelf& shelf = owned.addShelf(makeShelf("Shelf", "s1", kFlagOnAccount));
    owned.addBook(shelf, makeBook("A", "a", kFlagOnAccount));
    owned.addBook(shelf, makeBook("B", "b", kFlagOnComputer));
    ASSERT_TRUE(save(owned.library, TMoney{}));

    const std::string record = readFile(libraryFile("BookShelfs1.dat"));
    ASSERT_EQ(record.size(), 116u);
    EXPECT_EQ(record.substr(112, 4), std::string("\x02\0\x02\0", 4));
    EXPECT_EQ(fileSize(libraryFile("Books1.dat")), 384);
    EXPECT_EQ(fileSize(libraryFile("Books2.dat")), 384);
}

TEST_F(LibraryFiles, MoneyWithOnePaymentIsWrittenInSlotOne) {
    TMoney money{};
    setFieldText(money.Payments[1].Date, "01.02.2009");
    setFieldText(money.Payments[1].Summ, "100");
    money.PaymentCount = 1;
    ASSERT_TRUE(save(TBookLibrary{}, money));

    const std::string bytes = readFile(libraryFile("Money.dat"));
    ASSERT_EQ(bytes.size(), 1816u);
    EXPECT_EQ(bytes.substr(319, 11), std::string("01.02.2009\0", 11));
    EXPECT_EQ(bytes.substr(319 + 277, 4), std::string("100\0", 4));
    EXPECT_EQ(bytes.substr(1812, 4), std::string("\x01\0\0\0", 4));
}

TEST_F(LibraryFiles, SavingKeepsTheBytesAfterTheMoneyRecord) {
    std::filesystem::create_directories(m_folder);
    const std::string tail = "tail bytes kept as found";
    writeFile(libraryFile("Money.dat"), std::string(1816, 'o') + tail);
    TMoney money{};
    setFieldText(money.Balance, "7");

    ASSERT_TRUE(save(TBookLibrary{}, money));

    EXPECT_EQ(readFile(libraryFile("Money.dat")), recordBytes(money) + tail);
}

TEST_F(LibraryFiles, SavingTwiceGivesTheSameSevenFiles) {
    OwnedLibrary owned;
    fillMixedLibrary(owned);
    TMoney money{};
    setFieldText(money.Balance, "3.14");
    ASSERT_TRUE(save(owned.library, money));
    const std::vector<std::string> first = readLibraryFiles(m_folder);
    ASSERT_TRUE(save(owned.library, money));
    EXPECT_EQ(readLibraryFiles(m_folder), first);
    // Nothing but the seven files is left in the folder.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        ++entries;
    }
    EXPECT_EQ(entries, 7);
}

TEST_F(LibraryFiles, LoadingWhatWasSavedGivesTheSameLibraryAndMoney) {
    OwnedLibrary saved;
    fillMixedLibrary(saved);
    for (int s = 0; s < saved.library.ShelfCount; ++s) {
        for (int b = 0; b < saved.shelf(s).BookCount; ++b) {
            placeComputerCopy(saved.book(s, b));
        }
    }
    TMoney money{};
    setFieldText(money.Balance, "99.00");
    setFieldText(money.Payments[2].Type, "Card");
    money.PaymentCount = 2;
    ASSERT_TRUE(save(saved.library, money));

    OwnedLibrary loaded;
    TMoney loadedMoney{};
    ASSERT_TRUE(load(loaded.library, loadedMoney, true));

    // Loaded shelves count their books afresh; the rest is as saved.
    expectSameLibrary(saved.library, loaded.library);
    EXPECT_EQ(recordBytes(loadedMoney), recordBytes(money));
}

TEST_F(LibraryFiles, LoadingAnEmptyFolderCreatesShelfAndMoneyFilesOnly) {
    OwnedLibrary owned;
    TMoney money{};
    setFieldText(money.Balance, "unchanged");
    money.PaymentCount = 3;
    const TMoney before = money;

    ASSERT_TRUE(load(owned.library, money, true));

    EXPECT_EQ(owned.library.ShelfCount, 0);
    EXPECT_EQ(recordBytes(money), recordBytes(before));
    for (const char* name :
         {"BookShelfs1.dat", "BookShelfs2.dat", "BookShelfs3.dat", "Money.dat"}) {
        EXPECT_EQ(fileSize(libraryFile(name)), 0) << name;
    }
    for (const char* name : {"Books1.dat", "Books2.dat", "Books3.dat"}) {
        EXPECT_FALSE(fileExists(libraryFile(name))) << name;
    }
}

TEST_F(LibraryFiles, MissingBookListIsCreatedWhenItsShelfListExists) {
    std::filesystem::create_directories(m_folder);
    writeFile(libraryFile("BookShelfs1.dat"), shelfBytes(makeShelf("S", "s", kFlagOnAccount)));
    OwnedLibrary owned;
    TMoney money{};
    ASSERT_TRUE(load(owned.library, money, true));
    EXPECT_EQ(owned.library.ShelfCount, 1);
    EXPECT_EQ(fileSize(libraryFile("Books1.dat")), 0);
    EXPECT_FALSE(fileExists(libraryFile("Books2.dat")));
}

TEST_F(LibraryFiles, MoneyFileWithoutAWholeRecordLeavesTheMoneyRecordAlone) {
    std::filesystem::create_directories(m_folder);
    writeFile(libraryFile("Money.dat"), std::string(1000, 'x'));
    TMoney money{};
    setFieldText(money.Balance, "5");
    OwnedLibrary owned;
    ASSERT_TRUE(load(owned.library, money, true));
    EXPECT_EQ(fieldText(money.Balance), "5");
    EXPECT_EQ(fileSize(libraryFile("Money.dat")), 1000);
}
