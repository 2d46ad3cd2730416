// The book screen and its actions against the store stand-in, with folders
// acting as the computer's data folder and the reader: rows and marks, paging,
// downloads and their retries, deletions that keep a mark unless the file is
// gone, and saving to the reader from the computer or straight from the store.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "app/ProgramLog.h"
#include "contracts/Book.h"
#include "tests/gui/BookWindowFixture.h"

namespace quillbox::test {
namespace {

using app::TForm1;
namespace fs = std::filesystem;

// The demo account's second shelf and where its books land.
constexpr const char* kHadji = "Классика/Хаджи-Мурат.fb2";
constexpr const char* kPoor = "Классика/Бедные люди.fb2";
constexpr const char* kKashtanka = "Классика/Каштанка.fb2";
constexpr const char* kWar = "Классика/Война и мир полное издание.fb2";  // ':' dropped

class BookActionsTest : public BookWindowTest {
  protected:
    static void download(TForm1& window) { press(window, "BPSelectImg", "BPDownloadImg"); }
};

TEST_F(BookActionsTest, RowsShowTheirMarksAndPagingClearsTheTicks) {
    TForm1& window = toMenu();
    fillLibrary(window,
                {{"Three", {2, 2 | 8, 2 | 4 | 8}}, {"Fifteen", std::vector<std::uint16_t>(15, 2)}});
    window.SetScreenPanel(window.control("BookShelfPanel"));
    chooseShelf(window, 1);
    EXPECT_EQ(marks(window, 1), "1");
    EXPECT_EQ(marks(window, 2), "13");
    EXPECT_EQ(marks(window, 3), "123");
    for (int row = 4; row <= 10; ++row) {
        EXPECT_FALSE(window.BookCheckBoxes[static_cast<std::size_t>(row - 1)]->isVisible());
        EXPECT_EQ(marks(window, row), "");
    }
    tick(window, {2});
    saveScreenshot(window, "books");

    press(window, "BPSelectImg", "BPMenuImg");
    chooseShelf(window, 2);
    EXPECT_TRUE(ticked(window).empty());
    tick(window, {1, 2, 10});
    window.BPRightImgClick();
    EXPECT_TRUE(ticked(window).empty());
    EXPECT_EQ(window.label("BPPagesL")->text(), QStringLiteral("11-15 of 15"));
    EXPECT_TRUE(window.BookCheckBoxes[4]->isVisible());
    EXPECT_FALSE(window.BookCheckBoxes[5]->isVisible());
    tick(window, {5});
    window.BPLeftImgClick();
    EXPECT_TRUE(ticked(window).empty());
    // Leaving through the menu and coming back by the tray's way keeps none.
    tick(window, {3});
    window.SetScreenPanel(window.control("MenuPanel"));
    window.SetScreenPanel(window.control("BookPanel"));
    EXPECT_TRUE(ticked(window).empty());
    EXPECT_EQ(marks(window, 3), "1");
}

TEST_F(BookActionsTest, DownloadsLandWhereTheLibraryLooksAndDeletesClearOnlyGoneFiles) {
    TForm1& window = startWithAccount();
    chooseShelf(window, 2);
    tick(window, {1, 4});
    EXPECT_EQ(shownString(window, [&] { download(window); }), 34);
    EXPECT_EQ(bookRequests().size(), 2U);
    EXPECT_EQ(fileSize(onComputer(kHadji)),
              fs::file_size(StoreServer::fixturesFolder() + "/files/books/1003/hadji-murat.fb2"));
    EXPECT_EQ(fileSize(onComputer(kWar)), 3000000);
    EXPECT_TRUE(ticked(window).empty());
    EXPECT_EQ(marks(window, 1), "12");
    EXPECT_EQ(marks(window, 4), "12");
    EXPECT_NE(window.Library->Shelves[1]->Flags & kFlagOnComputer, 0);

    // Nothing ticked: nothing happens and no earlier outcome is shown again.
    EXPECT_EQ(shownString(window, [&] { download(window); }), 0);

    fs::remove(onComputer(kWar));  // removed by hand
    tick(window, {1, 4});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPDeletePCImg"); }), 0);
    EXPECT_FALSE(fileExists(onComputer(kHadji)));
    EXPECT_EQ(marks(window, 1), "1");
    EXPECT_EQ(marks(window, 4), "1");
    EXPECT_EQ(window.CurrentShelf.BookList[0]->Flags, kFlagOnAccount);
}

TEST_F(BookActionsTest, AFailedDownloadStaysTickedAndIsRetriedAlone) {
    TForm1& window = startWithAccount("tester", "pass");
    chooseShelf(window, 1);  // named "../x": a folder inside Books/, never its parent
    window.CurrentShelf.BookList[2]->Flags = 0;  // no longer in the account
    tick(window, {1, 2, 3});
    EXPECT_EQ(shownString(window, [&] { download(window); }), 35);
    EXPECT_EQ(bookRequests(), (std::vector<std::string>{"gen/a/short.fb2", "missing/cut.fb2"}));
    EXPECT_EQ(ticked(window), std::vector<int>{2});
    EXPECT_EQ(fileSize(onComputer("..x/Short story.fb2")), 2000);
    EXPECT_FALSE(fileExists(onComputer("..x/Cut off.fb2")));
    EXPECT_FALSE(fs::exists(m_data.file("x")));
    EXPECT_EQ(marks(window, 2), "1");

    EXPECT_EQ(shownString(window, [&] { download(window); }), 35);
    EXPECT_EQ(bookRequests(), std::vector<std::string>{"missing/cut.fb2"});
    EXPECT_EQ(ticked(window), std::vector<int>{2});

    // A Books folder that cannot be made: the same message, still ticked.
    fs::remove_all(m_data.file("Books"));
    writeFile(m_data.file("Books"), "");
    window.BPLeftImgClick();
    tick(window, {1});
    EXPECT_EQ(shownString(window, [&] { download(window); }), 35);
    EXPECT_EQ(ticked(window), std::vector<int>{1});
}

TEST_F(BookActionsTest, SavingToTheReaderCopiesFromTheComputerOrDownloadsEveryTickedRow) {
    TForm1& window = startWithAccount();
    chooseShelf(window, 2);
    tick(window, {1, 3});
    download(window);
    bookRequests();

    // The computer's copy above a book only in the account: one copy, one
    // download straight to the reader.
    tick(window, {1, 2});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPSaveDeviceImg"); }), 34);
    EXPECT_EQ(bookRequests(), std::vector<std::string>{"books/1004/bednye-ljudi.fb2"});
    EXPECT_EQ(fileSize(onReader(kHadji)), fileSize(onComputer(kHadji)));
    EXPECT_TRUE(fileExists(onReader(kPoor)));
    EXPECT_EQ(marks(window, 1), "123");
    EXPECT_EQ(marks(window, 2), "13");
    EXPECT_NE(window.Library->Shelves[1]->Flags & kFlagOnReader, 0);

    // Below it instead: the download run takes both rows from the store.
    tick(window, {2, 3});
    press(window, "BPSelectImg", "BPSaveDeviceImg");
    EXPECT_EQ(bookRequests(), (std::vector<std::string>{"books/1004/bednye-ljudi.fb2",
                                                        "books/1005/kashtanka.fb2"}));
    EXPECT_EQ(marks(window, 3), "123");
    EXPECT_TRUE(ticked(window).empty());

    // A computer copy removed by hand: nothing copied, the tick stays.
    fs::remove(onComputer(kKashtanka));
    fs::remove(onReader(kKashtanka));
    tick(window, {3});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPSaveDeviceImg"); }), 32);
    EXPECT_FALSE(fileExists(onReader(kKashtanka)));
    EXPECT_EQ(ticked(window), std::vector<int>{3});
}

TEST_F(BookActionsTest, DeletingFromTheReaderNeedsTheReaderAndKeepsTheMarkOnFailure) {
    TForm1& window = startWithAccount("tester", "pass");
    chooseShelf(window, 1);
    tick(window, {1});
    press(window, "BPSelectImg", "BPSaveDeviceImg");
    ASSERT_TRUE(fileExists(onReader("..x/Short story.fb2")));
    ASSERT_EQ(marks(window, 1), "13");

    window.ReaderDrive = 0;
    tick(window, {1});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPDeleteDeviceImg"); }), 37);
    EXPECT_EQ(ticked(window), std::vector<int>{1});
    window.ReaderDrive = 0;  // the scan during the message found it again
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPSaveDeviceImg"); }), 37);
    EXPECT_EQ(ticked(window), std::vector<int>{1});

    // The reader pulled out after the last scan: the mark stays.
    const std::string away = m_reader.path().substr(0, m_reader.path().size() - 1) + ".away";
    fs::rename(m_reader.path(), away);
    window.ReaderDrive = 4;
    tick(window, {1});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPDeleteDeviceImg"); }), 36);
    EXPECT_EQ(marks(window, 1), "13");
    fs::rename(away, m_reader.path());

    tick(window, {1});
    EXPECT_EQ(shownString(window, [&] { press(window, "BPSelectImg", "BPDeleteDeviceImg"); }), 0);
    EXPECT_FALSE(fileExists(onReader("..x/Short story.fb2")));
    EXPECT_EQ(marks(window, 1), "1");
}

TEST_F(BookActionsTest, ActionsAreLoggedWithoutTheAccountsSecrets) {
    ASSERT_TRUE(app::openProgramLog(app::LogLevel::Info, m_reader.file("log/")).ok);
    TForm1& window = startWithAccount("tester", "pass");
    chooseShelf(window, 1);
    tick(window, {1});
    press(window, "BPSelectImg", "BPSaveDeviceImg");
    window.openSettings(1);
    qobject_cast<QLineEdit*>(window.control("SPProxyPasswordE"))->setText("ProxySecret9");
    press(window, "SPSelectImg", "SPSaveImg");
    app::closeProgramLog();
    const std::string log = readFile(m_reader.file("log/quillbox.log"));
    for (const char* line : {"library update from the store: result 255, 1 shelves",
                             "download of Short story.fb2 to the reader: result 255",
                             "settings saved: automatic news off", "account saved: login set"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
    }
    for (const char* secret : {"tester", "pass", "ProxySecret9"}) {
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
}

}  // namespace
}  // namespace quillbox::test
