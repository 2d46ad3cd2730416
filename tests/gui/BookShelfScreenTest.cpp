// The bookshelf screen: its page line and arrows, the banded rows and the
// choice of a shelf at every scale, the update from the store and what it
// leaves of the chosen shelf; and the balance screen's lines.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <cstring>

#include "common/FixedText.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "tests/gui/BookWindowFixture.h"

namespace quillbox::test {
namespace {

using app::TForm1;

std::vector<ShelfPlan> shelves(int count, int books = 7) {
    std::vector<ShelfPlan> plans;
    for (int i = 1; i <= count; ++i) {
        plans.push_back({"Shelf " + std::to_string(i), std::vector<std::uint16_t>(books, 2)});
    }
    return plans;
}

QString pageLine(const TForm1& window) {
    return window.label("BSPPagesL")->text();
}

using BookShelfScreenTest = BookWindowTest;

TEST_F(BookShelfScreenTest, PageLineAndArrowsFollowTheShelvesAndThePage) {
    struct Case {
        int count;
        int rightClicks;
        const char* line;
        bool left;
        bool right;
    };
    TForm1& window = toMenu();
    for (const Case& c :
         {Case{0, 0, "1-0 of 0", false, false}, Case{10, 1, "1-10 of 10", false, false},
          Case{11, 0, "1-10 of 11", false, true}, Case{11, 1, "11-11 of 11", true, false},
          Case{11, 2, "11-11 of 11", true, false}, Case{25, 2, "21-25 of 25", true, false}}) {
        fillLibrary(window, shelves(c.count));
        window.BookShelfPage = 0;
        window.redrawShelfList();
        for (int i = 0; i < c.rightClicks; ++i) {
            window.BSPRightImgClick();
        }
        SCOPED_TRACE(c.line);
        EXPECT_EQ(pageLine(window), QString::fromUtf8(c.line));
        EXPECT_EQ(!window.control("BSPLeftImg")->isHidden(), c.left);
        EXPECT_EQ(!window.control("BSPRightImg")->isHidden(), c.right);
    }
    window.BSPLeftImgClick();
    window.BSPLeftImgClick();
    window.BSPLeftImgClick();
    EXPECT_EQ(window.BookShelfPage, 0);
}

TEST_F(BookShelfScreenTest, RowsAreBandedAndAClickBelowTheLastShelfIsIgnored) {
    TForm1& window = toMenu();
    fillLibrary(window, shelves(3));
    window.redrawShelfList();
    window.SetScreenPanel(window.control("BookShelfPanel"));
    saveScreenshot(window, "shelves");
    auto* list = qobject_cast<QListWidget*>(window.control("BSPListBox"));
    const QImage rows = list->viewport()->grab().toImage();
    const int height = list->property("itemHeight").toInt();
    const QColor grey(230, 230, 230);
    // Row 2 is grey inside its one-pixel white rim; rows 1 and 4 are white.
    EXPECT_EQ(rows.pixelColor(2, height + height / 2), grey);
    EXPECT_EQ(rows.pixelColor(0, height + height / 2), QColor(Qt::white));
    EXPECT_EQ(rows.pixelColor(2, height / 2), QColor(Qt::white));
    EXPECT_EQ(rows.pixelColor(2, 3 * height + height / 2), QColor(Qt::white));

    chooseShelf(window, 4);
    EXPECT_EQ(window.CurrentPanel, window.control("BookShelfPanel"));
    EXPECT_EQ(window.CurrentShelfIndex, -1);
    chooseShelf(window, 2);
    EXPECT_EQ(window.CurrentPanel, window.control("BookPanel"));
    EXPECT_EQ(window.CurrentShelfRow, 2);
    EXPECT_EQ(window.label("BPHeaderL")->text(), QStringLiteral("Shelf 2"));
    EXPECT_EQ(window.label("BPPagesL")->text(), QStringLiteral("1-7 of 7"));
}

TEST_F(BookShelfScreenTest, AClickNearARowsTopChoosesThatRowAtEveryScale) {
    for (const double scale : {1.0, 1.25, 1.5, 1.75, 2.0}) {
        SCOPED_TRACE(scale);
        TForm1& window = start({}, scale);
        fillLibrary(window, shelves(10));
        const auto* list = qobject_cast<QListWidget*>(window.control("BSPListBox"));
        const int height = list->property("itemHeight").toInt();
        EXPECT_EQ(height, static_cast<int>(33 * scale));
        for (const int row : {2, 9, 10}) {
            window.BSPListBoxMouseDown((row - 1) * height + 1);
            EXPECT_EQ(window.CurrentShelfRow, row);
            window.BSPListBoxMouseDown(row * height - 1);
            EXPECT_EQ(window.CurrentShelfRow, row);
        }
    }
}

TEST_F(BookShelfScreenTest, TheUpdateReportsItsOutcomeAndDatesOnlyASuccess) {
    struct Case {
        const char* login;
        const char* password;
        bool storeUp;
        int message;
        bool dated;
    };
    TForm1& window = toMenu();
    window.SetScreenPanel(window.control("BookShelfPanel"));
    for (const Case& c :
         {Case{"reader", "Secret7", true, 39, true}, Case{"reader", "wrong", true, 41, false},
          Case{"", "", true, 41, false}, Case{"reader", "Secret7", false, 40, false}}) {
        SCOPED_TRACE(std::string(c.login) + "/" + c.password);
        signIn(c.login, c.password);
        window.SystemInfo.LastBookShelfUpdate = {};
        SaveSystemInfo(window.SystemInfo);
        EnvGuard store("QUILLBOX_STORE_URL",
                       c.storeUp ? m_server.baseUrl() : std::string("http://127.0.0.1:9/"));
        bookRequests();
        EXPECT_EQ(shownString(window, [&] { press(window, "BSPSelectImg", "BSPUpdateImg"); }),
                  c.message);
        TSystemInfo stored{};
        LoadSystemInfo(&stored);
        EXPECT_EQ(stored.LastBookShelfUpdate.Year != 0, c.dated);
        EXPECT_TRUE(window.isEnabled());
        EXPECT_EQ(window.Library->ShelfCount, 3);  // a failure leaves the library as it was
    }
    EXPECT_EQ(pageLine(window), QStringLiteral("1-3 of 3"));
}

TEST_F(BookShelfScreenTest, AnUpdateThatShrinksTheListKeepsThePage) {
    TForm1& window = startWithAccount();
    fillLibrary(window, shelves(25));
    window.BSPRightImgClick();
    window.BSPRightImgClick();
    press(window, "BSPSelectImg", "BSPUpdateImg");
    EXPECT_EQ(window.BookShelfPage, 2);
    EXPECT_EQ(pageLine(window), QStringLiteral("21-3 of 3"));
    EXPECT_FALSE(window.control("BSPLeftImg")->isHidden());
    EXPECT_TRUE(window.control("BSPRightImg")->isHidden());
    window.BSPListBoxMouseDown(1);
    EXPECT_EQ(window.CurrentPanel, window.control("BookShelfPanel"));
}

TEST_F(BookShelfScreenTest, ARebuildTakesTheChosenShelfAfreshOrLeavesTheBookScreen) {
    TForm1& window = startWithAccount();
    chooseShelf(window, 2);
    tick(window, {1});
    const TBook* before = window.CurrentShelf.BookList[0];
    ASSERT_EQ(window.updateLibraryFromStore(), kBookUpdateDone);
    // The same shelf from the new library, its ticks gone, still shown.
    EXPECT_EQ(window.CurrentPanel, window.control("BookPanel"));
    EXPECT_EQ(window.CurrentShelf.BookList[0], window.Library->Shelves[1]->BookList[0]);
    EXPECT_NE(window.CurrentShelf.BookList[0], before);
    EXPECT_TRUE(ticked(window).empty());
    EXPECT_EQ(marks(window, 4), "1");

    // Another account has no such shelf: back to the shelves, nothing chosen.
    signIn("petrov", "qwerty");
    LoadUserData(&window.UserData);
    ASSERT_EQ(window.updateLibraryFromStore(), kBookUpdateDone);
    EXPECT_EQ(window.CurrentPanel, window.control("BookShelfPanel"));
    EXPECT_EQ(window.chosenLibraryShelf(), nullptr);
    EXPECT_EQ(window.CurrentShelf.BookCount, 0);
}

TEST_F(BookShelfScreenTest, TheBalanceShowsTheStoresTextsAndTheCountedPaymentsOnly) {
    // The store's texts read right in the English interface too.
    TForm1& window = startWithAccount("petrov", "qwerty");
    TMoney& money = *window.Money;
    for (int slot = 2; slot <= 5; ++slot) {
        setFieldText(money.Payments[slot].Date, "stale");
    }
    const auto lines = [&window] {
        QStringList texts;
        for (int i = 23; i <= 28; ++i) {
            texts << window.label("Label" + std::to_string(i))->text();
        }
        return texts;
    };
    press(window, "BSPSelectImg", "BSPMenuImg");
    press(window, "MPSelectImg", "MPBalanceImg");
    EXPECT_EQ(window.CurrentPanel, window.control("MoneyPanel"));
    EXPECT_EQ(lines(),
              (QStringList{QStringLiteral("Balance: 0,00 руб."),
                           QStringLiteral("20.02.2024 Пополнение счёта 300,00"), "", "", "", ""}));
    saveScreenshot(window, "balance");

    press(window, "MnPSelectImg", "MnPMenuImg");
    setFieldText(money.Balance, "");
    money.PaymentCount = 0;
    press(window, "MPSelectImg", "MPBalanceImg");
    EXPECT_EQ(lines(), (QStringList{QStringLiteral("Balance: "), "", "", "", "", ""}));
}

}  // namespace
}  // namespace quillbox::test
