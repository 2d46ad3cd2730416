// Reading account pages: the order of the checks, when an entry is finished,
// the limits, and the mends (the window is never overrun; books before any
// shelf are dropped).

#include <cstdio>
#include <string>

#include "tests/account/AccountPageTestSupport.h"

namespace quillbox::book::test {
namespace {

using ReaderTest = AccountPageTest;

// The bytes of money and of every shelf and book record read.
std::string recordBytes(const TBookLibrary& library, const TMoney& money) {
    std::string bytes(reinterpret_cast<const char*>(&money), sizeof money);
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        bytes.append(reinterpret_cast<const char*>(&shelf), kBookShelfRecordSize);
        for (int b = 0; b < shelf.BookCount; ++b) {
            bytes.append(reinterpret_cast<const char*>(shelf.BookList[b]), sizeof(TBook));
        }
    }
    return bytes;
}

TEST_F(ReaderTest, ReadsShelvesBooksMagazinesBalanceAndPaymentsOfAPage) {
    const std::string page =
        pageHead() + shelfLine("Prose", "101") + bookLines("First", "1234") +
        "<!-- magazin --!>  Title=Monthly;\r\nId=m/1.fb2;\r\nBookType=.fb2;Size=77;"
        "<!-- magazin --!>\r\n" +
        "<!-- Balance  --!> <!-- value=1 250,00 --!>\r\n<!-- Balance  --!>\r\n" + paymentLines(1) +
        "</body></html>\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);

    ASSERT_EQ(library.ShelfCount, 1);
    EXPECT_EQ(fieldText(shelf(1).Name), "Prose");
    EXPECT_EQ(fieldText(shelf(1).Id), "101");
    EXPECT_EQ(shelf(1).Flags, kFlagOnAccount);
    ASSERT_EQ(shelf(1).BookCount, 2);
    const TBook& first = book(1, 1);
    EXPECT_EQ(fieldText(first.Author), "A. Author");
    EXPECT_EQ(fieldText(first.Title), "First");
    EXPECT_EQ(fieldText(first.Id), "books/First.fb2");
    EXPECT_EQ(fieldText(first.BookType), ".fb2");
    EXPECT_EQ(first.Size, 1234u);
    EXPECT_EQ(fieldText(first.ShelfId), "101");
    EXPECT_EQ(fieldText(first.ShelfName), "Prose");
    EXPECT_EQ(first.Flags, kFlagOnAccount);
    const TBook& magazine = book(1, 2);
    EXPECT_EQ(fieldText(magazine.Author), "");
    EXPECT_EQ(fieldText(magazine.Title), "Monthly");
    EXPECT_EQ(fieldText(magazine.Id), "m/1.fb2");
    EXPECT_EQ(magazine.Size, 77u);
    EXPECT_EQ(fieldText(money.Balance), "1 250,00");
    ASSERT_EQ(money.PaymentCount, 1);
    EXPECT_EQ(fieldText(money.Payments[1].Date), "01.03.2024");
    EXPECT_EQ(fieldText(money.Payments[1].Type), "Payment 1");
    EXPECT_EQ(fieldText(money.Payments[1].Summ), "100,00");
}

TEST_F(ReaderTest, BlockEdgesInsideMarkersKeysAndLineBreaksChangeNothing) {
    const std::string magazine = "<!-- magazin --!>  Title=Monthly;\r\nId=m/1.fb2;BookType=.fb2;";
    const std::string entries =
        pageHead() + shelfLine("Prose", "101") + bookLines("First", "1234") + magazine +
        "Size=77;<!-- magazin --!>\r\n<!-- Balance  --!> <!-- value=1 250,00 --!>\r\n"
        "<!-- Balance  --!>\r\n" +
        paymentLines(1) + "end\r\nend\r\n";
    const std::string tooLongLine =
        shelfLine("Prose", "1") + bookLines("Before") + std::string(1200, 'x') + "\r\nend\r\n";
    const struct {
        std::string page;
        PageReadResult result;
        int books;
    } pages[] = {{entries, PageReadResult::Complete, 2},
                 {tooLongLine, PageReadResult::WindowOverflow, 1}};
    const std::string path = folder.file("blocks");
    for (const auto& [page, result, books] : pages) {
        DeleteBookLibrary(library);
        money = TMoney{};
        ASSERT_EQ(readPage(page), result);
        ASSERT_EQ(library.ShelfCount, 1);
        ASSERT_EQ(shelf(1).BookCount, books);
        const std::string whole = recordBytes(library, money);
        quillbox::test::writeFile(path, page);
        // 1 cuts every marker; 2 and 3 cut CR LF pairs; 14, 17 and 19 are marker lengths.
        for (const std::size_t blockBytes : {1, 2, 3, 7, 14, 17, 19, 64}) {
            TBookLibrary blockLibrary{};
            TMoney blockMoney{};
            std::FILE* file = std::fopen(path.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(readAccountPage(file, blockLibrary, blockMoney, blockBytes), result);
            std::fclose(file);
            EXPECT_EQ(recordBytes(blockLibrary, blockMoney), whole) << "blocks of " << blockBytes;
            DeleteBookLibrary(blockLibrary);
        }
    }
}

TEST_F(ReaderTest, TwoShelvesOnTheFirstTwoLinesNeedTwoMoreLinesToBothBeAdded) {
    const std::string shelves = shelfLine("One", "1") + shelfLine("Two", "2");
    for (const auto& [after, expected] :
         {std::pair{std::string("x\r\ny\r\n"), 2}, {std::string("x\r\n"), 1}, {std::string(), 1}}) {
        DeleteBookLibrary(library);
        EXPECT_EQ(readPage(shelves + after), PageReadResult::Complete);
        ASSERT_EQ(library.ShelfCount, expected) << "lines after: \"" << after << "\"";
        EXPECT_EQ(fieldText(shelf(1).Name), "One");
        if (expected == 2) {
            EXPECT_EQ(fieldText(shelf(2).Name), "Two");
            EXPECT_EQ(shelf(2).Flags, kFlagOnAccount);
        }
    }
}

TEST_F(ReaderTest, SixPaymentsKeepTheFirstFiveAndTheSixthIsConsumed) {
    std::string page = pageHead();
    for (int n = 1; n <= 6; ++n) {
        page += paymentLines(n);
    }
    // Read only if the sixth payment was cut out of the window before it.
    page += "<!-- Balance  --!> <!-- value=5,00 --!><!-- Balance  --!>\r\nend\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(money.PaymentCount, 5);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(fieldText(money.Payments[n].Type), "Payment " + std::to_string(n));
    }
    EXPECT_EQ(fieldText(money.Payments[0].Date), "");
    EXPECT_EQ(fieldText(money.Balance), "5,00");
}

TEST_F(ReaderTest, BackToBackOneLineEntriesFinishOnePerPassAndNeedALineEachAfterThem) {
    std::string page;
    for (int n = 1; n <= 3; ++n) {
        page += "<!-- Payments--!>N=1;Date=d;Type=Payment " + std::to_string(n) +
                ";Summ=1;<!-- Payments--!>\r\n";
    }
    EXPECT_EQ(readPage(page + "end\r\n"), PageReadResult::Complete);
    ASSERT_EQ(money.PaymentCount, 2);
    EXPECT_EQ(fieldText(money.Payments[2].Type), "Payment 2");

    money = TMoney{};
    EXPECT_EQ(readPage(page + "end\r\nend\r\nend\r\n"), PageReadResult::Complete);
    EXPECT_EQ(money.PaymentCount, 3);
}

TEST_F(ReaderTest, BookWhoseSizeIsNotADecimalNumberIsLeftOutAndLaterEntriesAreRead) {
    const std::string page = shelfLine("Prose", "1") + bookLines("Good", "10") +
                             bookLines("Letter", "12a") + bookLines("Signed", "-5") +
                             bookLines("Huge", "4294967296") + bookLines("Empty", "") +
                             bookLines("Last", "4294967295") + "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(shelf(1).BookCount, 2);
    EXPECT_EQ(fieldText(book(1, 1).Title), "Good");
    EXPECT_EQ(fieldText(book(1, 2).Title), "Last");
    EXPECT_EQ(book(1, 2).Size, 4294967295u);
}

TEST_F(ReaderTest, BooksAndMagazinesBeforeAnyShelfAreDropped) {
    const std::string page = pageHead() + bookLines("Orphan") +
                             "<!-- magazin --!>  Title=Lost;Id=m;BookType=.fb2;Size=1;"
                             "<!-- magazin --!>\r\n" +
                             shelfLine("Prose", "1") + bookLines("Kept") + "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 1);
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Title), "Kept");
}

TEST_F(ReaderTest, PageOf128BytesWithoutMarkersGivesAnEmptyLibraryAndMoney) {
    std::string page;
    while (page.size() < 128) {
        page += "<p>Tomeport</p>\r\n";
    }
    page.resize(128);
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    EXPECT_EQ(library.ShelfCount, 0);
    EXPECT_EQ(fieldText(money.Balance), "");
    EXPECT_EQ(money.PaymentCount, 0);
}

TEST_F(ReaderTest, LineThatDoesNotFitStopsTheReadingAndKeepsWhatWasRead) {
    const std::string page = shelfLine("Prose", "1") + bookLines("Before") +
                             std::string(1200, 'x') + "\r\n" + bookLines("After") +
                             "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::WindowOverflow);
    ASSERT_EQ(library.ShelfCount, 1);
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Title), "Before");
}

TEST_F(ReaderTest, UnfinishedEntryThatOutgrowsTheWindowStopsTheReading) {
    std::string page = shelfLine("Prose", "1") + "<!-- book --!>  Author=A;Title=Endless;\r\n";
    for (int n = 0; n < 30; ++n) {
        page += std::string(60, 'y') + "\r\n";
    }
    page += "Size=1;<!-- book --!>\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::WindowOverflow);
    ASSERT_EQ(library.ShelfCount, 1);
    EXPECT_EQ(shelf(1).BookCount, 0);
}

TEST_F(ReaderTest, TextThatKeepsTheWindowAt745OrMoreEndsTheReading) {
    std::string page = pageHead();
    while (page.size() < 800) {
        page += std::string(70, 'z') + "\r\n";
    }
    page += shelfLine("Late", "1") + "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::WindowOverflow);
    EXPECT_EQ(library.ShelfCount, 0);
}

TEST_F(ReaderTest, EntriesRunOverLinesWhoseBreaksSeparateNothing) {
    const std::string page =
        shelfLine("Prose", "1") +
        "<!-- book --!>  Author=Ar\r\nkady;Title=Roadside\n Picnic;Id=b\r\n/1.fb2"
        ";BookType=.fb2;\r\nSize=5\r\n0;<!-- book --!>\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Author), "Arkady");
    EXPECT_EQ(fieldText(book(1, 1).Title), "Roadside Picnic");
    EXPECT_EQ(fieldText(book(1, 1).Id), "b/1.fb2");
    EXPECT_EQ(book(1, 1).Size, 50u);
}

TEST_F(ReaderTest, EntryStillOpenAtTheEndOfThePageIsDropped) {
    const std::string page =
        shelfLine("Prose", "1") + "x\r\n<!-- book --!>  Author=A;Title=Cut;Id=c;\r\nBookType=";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 1);
    EXPECT_EQ(shelf(1).BookCount, 0);
}

TEST_F(ReaderTest, EntryFoundOnTheLastLineIsNeverTakenEvenWhenComplete) {
    EXPECT_EQ(readPage("head\r\n" + shelfLine("Last", "1")), PageReadResult::Complete);
    EXPECT_EQ(library.ShelfCount, 0);
}

TEST_F(ReaderTest, ShelvesPastTheHundredthAreLeftOutWithTheirBooksAndCounted) {
    std::string page;
    for (int n = 1; n <= 102; ++n) {
        page += shelfLine("Shelf " + std::to_string(n), std::to_string(n)) +
                bookLines("Book" + std::to_string(n));
    }
    page += "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 100);
    EXPECT_EQ(fieldText(shelf(100).Name), "Shelf 100");
    ASSERT_EQ(shelf(100).BookCount, 1) << "books of later shelves never land on the 100th";
    EXPECT_EQ(fieldText(book(100, 1).Title), "Book100");
    EXPECT_EQ(fieldText(book(100, 1).ShelfId), "100");
    EXPECT_EQ(leftOut.shelves, 2u);
    EXPECT_EQ(leftOut.books, 2u);
}

TEST_F(ReaderTest, BooksPastAShelfsThousandthAreLeftOutAndCounted) {
    std::string page = shelfLine("Full", "1");
    for (int n = 1; n <= 1002; ++n) {
        page += bookLines("Book" + std::to_string(n));
    }
    page += "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 1);
    EXPECT_EQ(shelf(1).BookCount, 1000);
    EXPECT_EQ(leftOut.shelves, 0u);
    EXPECT_EQ(leftOut.books, 2u);
}

TEST_F(ReaderTest, CyrillicBytesAreKeptAsWindows1251) {
    // "Фантастика", "Солярис" and "1 250,00 руб." in windows-1251.
    const std::string shelfName = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";
    const std::string title = "\xD1\xEE\xEB\xFF\xF0\xE8\xF1";
    const std::string balance = "1 250,00 \xF0\xF3\xE1.";
    const std::string page = shelfLine(shelfName, "101") + bookLines(title) +
                             "<!-- Balance  --!> <!-- value=" + balance +
                             " --!>\r\n<!-- Balance  --!>\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 1);
    EXPECT_EQ(fieldText(shelf(1).Name), shelfName);
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Title), title);
    EXPECT_EQ(fieldText(book(1, 1).ShelfName), shelfName);
    EXPECT_EQ(fieldText(money.Balance), balance);
}

TEST_F(ReaderTest, MissingKeysAndSemicolonsGiveTheDocumentedValues) {
    const std::string page = shelfLine("Prose", "1") +
                             "<!-- book --!>  Some Writer Name;Title=T;Id=i;BookType=.fb2;"
                             "Size=3;<!-- book --!>\r\n" +
                             "<!-- Payments--!>N=1;Date=d;Type=t;Summ=9<!-- Payments--!>\r\n"
                             "end\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Author), "riter Name");
    EXPECT_EQ(fieldText(book(1, 1).Title), "T");
    ASSERT_EQ(money.PaymentCount, 1);
    EXPECT_EQ(fieldText(money.Payments[1].Type), "t");
    EXPECT_EQ(fieldText(money.Payments[1].Summ), "");
}

TEST_F(ReaderTest, ValuesLongerThanTheirFieldAreCutToWidthLessOne) {
    const std::string longTitle(150, 'T');
    const std::string longId(70, 'i');
    const std::string page = shelfLine(std::string(120, 'N'), "123456789012345") +
                             "<!-- book --!>  Author=A;Title=" + longTitle + ";Id=" + longId +
                             ";BookType=.fb2;Size=1;<!-- book --!>\r\nend\r\nend\r\n";
    EXPECT_EQ(readPage(page), PageReadResult::Complete);
    EXPECT_EQ(fieldText(shelf(1).Name), std::string(100, 'N'));
    EXPECT_EQ(fieldText(shelf(1).Id), "1234567890");
    ASSERT_EQ(shelf(1).BookCount, 1);
    EXPECT_EQ(fieldText(book(1, 1).Title), std::string(100, 'T'));
    EXPECT_EQ(fieldText(book(1, 1).Id), std::string(50, 'i'));
    EXPECT_EQ(fieldText(book(1, 1).ShelfName), std::string(100, 'N'));
}

}  // namespace
}  // namespace quillbox::book::test
