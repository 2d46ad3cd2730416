// The account update against the store stand-in on 127.0.0.1 (and a real
// tinyproxy where a proxy is used).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "book/AccountRequest.h"
#include "book/BookErrorText.h"
#include "book/BookHost.h"
#include "book/LibraryFiles.h"
#include "book/LoadBookLibraryFromURL.h"
#include "book/MD5.h"
#include "book/NetworkTexts.h"
#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "tests/account/NetworkFixture.h"
#include "tests/support/ProxyFixture.h"

using namespace quillbox;
using namespace quillbox::book;
using namespace quillbox::test;

namespace {

std::vector<std::string> g_boxes;
void captureBox(const char* text) {
    g_boxes.emplace_back(text);
}

// Registers the host for one test and takes it away again.
struct HostGuard {
    explicit HostGuard(TApplication* application) {
        g_boxes.clear();
        setBookHost(application, &captureBox);
    }
    ~HostGuard() { setBookHost(nullptr, nullptr); }
    HostGuard(const HostGuard&) = delete;
    HostGuard& operator=(const HostGuard&) = delete;
};

std::string errorText() {
    return quillbox::book::GetBookErrorText().Text;
}

TBookShelf shelfRecord(const std::string& id, const std::string& name, std::uint16_t flags) {
    TBookShelf shelf{};
    setFieldText(shelf.Name, name);
    setFieldText(shelf.Id, id);
    shelf.Flags = flags;
    return shelf;
}

TBook bookRecord(const std::string& id, const std::string& title, std::uint16_t flags) {
    TBook book{};
    setFieldText(book.Author, "Author");
    setFieldText(book.Title, title);
    setFieldText(book.Id, id);
    setFieldText(book.BookType, ".fb2");
    book.Size = 10;
    book.Flags = flags;
    return book;
}

const TBook* findBook(const TBookLibrary& library, const std::string& id) {
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        for (int b = 0; b < shelf.BookCount; ++b) {
            if (fieldText(shelf.BookList[b]->Id) == id) {
                return shelf.BookList[b];
            }
        }
    }
    return nullptr;
}

class AccountUpdateTest : public NetworkTest {
  protected:
    std::uint8_t update(const TUserData& user, bool showMessages = false) {
        return LoadBookLibraryFromURL(m_library.value, m_money, user, showMessages);
    }
    // A library of one shelf, and a balance, that an update must not touch
    // when it fails before the page is known good.
    void fillOldLibrary() {
        ASSERT_TRUE(AddShelf(m_library.value, shelfRecord("900", "Old shelf", kFlagOnAccount)));
        setFieldText(m_money.Balance, "old balance");
    }
    void expectOldLibrary() {
        ASSERT_EQ(m_library.value.ShelfCount, 1);
        EXPECT_EQ(fieldText(m_library.value.Shelves[0]->Name), "Old shelf");
        EXPECT_EQ(fieldText(m_money.Balance), "old balance");
    }
    std::string tmpFile() const { return m_home.file("Tmp/Tmp.~file"); }

    OwnedLibrary m_library;
    TMoney m_money{};
};

}  // namespace

TEST_F(AccountUpdateTest, SuccessFillsShelvesBooksMagazinesBalanceAndPayments) {
    std::memset(&m_money.Payments[0], 'Z', sizeof m_money.Payments[0]);
    const TPayment slotZero = m_money.Payments[0];
    setBookErrorText("before");

    ASSERT_EQ(update(userData("reader", "Secret7")), kUpdateDone) << errorText();
    EXPECT_EQ(errorText(), texts::updateDone());

    const TBookLibrary& library = m_library.value;
    ASSERT_EQ(library.ShelfCount, 3);
    const TBookShelf& fiction = *library.Shelves[0];
    EXPECT_EQ(fieldText(fiction.Name), ansi("Фантастика"));
    EXPECT_EQ(fieldText(fiction.Id), "101");
    EXPECT_EQ(fiction.Flags, kFlagOnAccount);
    ASSERT_EQ(fiction.BookCount, 3);
    const TBook& solaris = *fiction.BookList[0];
    EXPECT_EQ(fieldText(solaris.Author), ansi("Станислав Лем"));
    EXPECT_EQ(fieldText(solaris.Title), ansi("Солярис"));
    EXPECT_EQ(fieldText(solaris.Id), "books/1001/solaris.fb2");
    EXPECT_EQ(fieldText(solaris.BookType), ".fb2");
    EXPECT_EQ(static_cast<long long>(solaris.Size),
              fileSize(StoreServer::fixturesFolder() + "/files/books/1001/solaris.fb2"));
    EXPECT_EQ(fieldText(solaris.ShelfId), "101");
    EXPECT_EQ(fieldText(solaris.ShelfName), ansi("Фантастика"));
    EXPECT_EQ(solaris.Flags, kFlagOnAccount);
    const TBook& magazine = *fiction.BookList[2];
    EXPECT_EQ(fieldText(magazine.Author), "") << "a magazine has no author";
    EXPECT_EQ(fieldText(magazine.Title), ansi("Техника — молодёжи, №1"));

    ASSERT_EQ(library.Shelves[1]->BookCount, 4);
    EXPECT_EQ(library.Shelves[1]->BookList[3]->Size, 3000000u);
    EXPECT_EQ(library.Shelves[2]->BookCount, 2);

    EXPECT_EQ(fieldText(m_money.Balance), ansi("1 250,00 руб."));
    // How many of the six payments are taken depends on the lines after them
    // (the reader's own tests pin that down); they come in page order.
    ASSERT_GE(m_money.PaymentCount, 1);
    ASSERT_LE(m_money.PaymentCount, 5);
    EXPECT_EQ(fieldText(m_money.Payments[1].Date), "05.01.2024");
    EXPECT_EQ(fieldText(m_money.Payments[1].Type), ansi("Пополнение счёта"));
    EXPECT_EQ(fieldText(m_money.Payments[1].Summ), "500,00");
    const char* const dates[] = {"",           "05.01.2024", "12.01.2024",
                                 "02.02.2024", "14.02.2024", "01.03.2024"};
    for (int n = 1; n <= m_money.PaymentCount; ++n) {
        EXPECT_EQ(fieldText(m_money.Payments[n].Date), dates[n]);
    }
    EXPECT_EQ(std::memcmp(&m_money.Payments[0], &slotZero, sizeof slotZero), 0);

    EXPECT_FALSE(fileExists(tmpFile())) << "the temporary file is deleted";
    EXPECT_TRUE(fileExists(m_home.file("BookLibrary/BookShelfs1.dat")));
}

TEST_F(AccountUpdateTest, RefusedLoginAt127BytesKeepsTheLibraryAnd128BytesIsAnEmptyPage) {
    fillOldLibrary();
    HostGuard host(nullptr);
    rule("target=account&size=127");
    EXPECT_EQ(update(userData("reader", "Secret7"), true), kUpdateLoginRefused);
    expectOldLibrary();
    EXPECT_EQ(errorText(), texts::loginRefused());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], texts::loginRefusedBox());
    EXPECT_EQ(fileSize(tmpFile()), 127) << "the refused page stays behind";

    rule("target=account&size=128");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateDone);
    EXPECT_EQ(m_library.value.ShelfCount, 0) << "an account with no shelves";
    EXPECT_EQ(fieldText(m_money.Balance), "");
    EXPECT_EQ(m_money.PaymentCount, 0);
}

TEST_F(AccountUpdateTest, WrongPasswordIsARefusedLogin) {
    fillOldLibrary();
    EXPECT_EQ(update(userData("reader", "wrong")), kUpdateLoginRefused);
    expectOldLibrary();
}

TEST_F(AccountUpdateTest, UnreachableStoreGivesTheConnectionMessage) {
    const int closedPort = freeLoopbackPort();
    EnvGuard root("QUILLBOX_STORE_URL", "http://127.0.0.1:" + std::to_string(closedPort) + "/");
    fillOldLibrary();
    HostGuard host(nullptr);
    EXPECT_EQ(update(userData("reader", "Secret7"), true), kUpdateNotConnectedOrOverflow);
    expectOldLibrary();
    EXPECT_EQ(errorText(), texts::connectionFailed("127.0.0.1"));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], texts::connectionFailed("127.0.0.1"));
}

TEST_F(AccountUpdateTest, SilentStoreTimesOutWhileTheWindowStaysAlive) {
    fillOldLibrary();
    FakeApplication application;
    HostGuard host(&application);
    rule("target=account&delay=8000");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNotConnectedOrOverflow);
    expectOldLibrary();
    EXPECT_EQ(errorText(), texts::connectionFailed("127.0.0.1"));
    // Two seconds of silence: messages were processed all along.
    EXPECT_GE(application.calls, 20);
    EXPECT_LT(application.longestGap, std::chrono::milliseconds(250));
}

TEST_F(AccountUpdateTest, ErrorStatusOfTheStoreIsNoAccountPage) {
    fillOldLibrary();
    rule("target=account&status=503");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNotConnectedOrOverflow);
    expectOldLibrary();
}

TEST_F(AccountUpdateTest, LoginInCapitalsIsSentLowerCasedWithTheKeyOfTheLowerCasedTexts) {
    ASSERT_EQ(update(userData("ReADER", "SeCRET7")), kUpdateDone) << errorText();
    const std::string key = AccountKey(localDayOfMonth(), "reader", "secret7");
    EXPECT_NE(storeRequests().find("login=reader&password=" + key), std::string::npos)
        << storeRequests();

    // Cyrillic capitals are not Latin letters: they are sent as they are.
    EXPECT_EQ(update(userData(ansi("ЧТЕЦ") + "AB", "X")), kUpdateLoginRefused);
    EXPECT_NE(storeRequests().find("login=%D7%D2%C5%D6ab&"), std::string::npos);
}

TEST_F(AccountUpdateTest, LoginWithAmpersandHashAndBlankReachesTheStoreWhole) {
    TempDir fixtures;
    writeAccount(fixtures, "we&you #1",
                 "password: pw\nbalance: 5\nshelf: 7 | Seven\n"
                 "book: A | B | books/7/b.fb2 | .fb2 | bytes=10\n");
    StoreServer store({"--fixtures", fixtures.path()});
    ASSERT_TRUE(store.running()) << store.error();
    EnvGuard root("QUILLBOX_STORE_URL", store.baseUrl());

    ASSERT_EQ(update(userData("we&you #1", "pw")), kUpdateDone) << errorText();
    ASSERT_EQ(m_library.value.ShelfCount, 1);
    EXPECT_EQ(fieldText(m_library.value.Shelves[0]->Name), "Seven");
    EXPECT_EQ(fieldText(m_money.Balance), "5");
}

TEST_F(AccountUpdateTest, OverflowKeepsTheComputerAndReaderMarks) {
    // In the library before the update: A is on the computer (its file is
    // there), C on the reader.
    ASSERT_TRUE(AddShelf(m_library.value, shelfRecord("101", "Shelf", kFlagOnAccount | 4 | 8)));
    TBook a = bookRecord("a/1.fb2", "A", kFlagOnAccount | kFlagOnComputer);
    TBook c = bookRecord("c/3.fb2", "C", kFlagOnAccount | kFlagOnReader);
    ASSERT_TRUE(AddBook(*m_library.value.Shelves[0], a));
    ASSERT_TRUE(AddBook(*m_library.value.Shelves[0], c));
    std::filesystem::create_directories(m_home.file("Books/Shelf"));
    writeFile(m_home.file("Books/Shelf/A.fb2"), "0123456789");

    // The page lists A, then a book whose line cannot fit the reader's window.
    TempDir fixtures;
    writeAccount(fixtures, "reader",
                 "password: pw\nshelf: 101 | Shelf\nbook: Author | A | a/1.fb2 | .fb2 | bytes=10\n"
                 "book: Author | " +
                     std::string(1100, 'x') + " | b/2.fb2 | .fb2 | bytes=10\n");
    StoreServer store({"--fixtures", fixtures.path()});
    ASSERT_TRUE(store.running()) << store.error();
    EnvGuard root("QUILLBOX_STORE_URL", store.baseUrl());
    setBookErrorText("before");

    EXPECT_EQ(update(userData("reader", "pw")), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(errorText(), "before");
    const TBook* inMemoryA = findBook(m_library.value, "a/1.fb2");
    ASSERT_NE(inMemoryA, nullptr);
    EXPECT_EQ(inMemoryA->Flags, kFlagOnAccount | kFlagOnComputer);
    const TBook* inMemoryC = findBook(m_library.value, "c/3.fb2");
    ASSERT_NE(inMemoryC, nullptr) << "the reader's copy is still known";
    EXPECT_EQ(inMemoryC->Flags, kFlagOnReader);
    EXPECT_EQ(findBook(m_library.value, "b/2.fb2"), nullptr);

    // The next save keeps both marks.
    const std::string folder = m_home.file("BookLibrary/");
    ASSERT_TRUE(SaveBookLibraryToFile(m_library.value, m_money, folder, "BookShelfs", "Books"));
    OwnedLibrary reloaded;
    TMoney money{};
    ASSERT_TRUE(
        LoadBookLibraryFromFile(reloaded.value, money, folder, "BookShelfs", "Books", true));
    ASSERT_NE(findBook(reloaded.value, "a/1.fb2"), nullptr);
    EXPECT_TRUE(findBook(reloaded.value, "a/1.fb2")->Flags & kFlagOnComputer);
    ASSERT_NE(findBook(reloaded.value, "c/3.fb2"), nullptr);
    EXPECT_TRUE(findBook(reloaded.value, "c/3.fb2")->Flags & kFlagOnReader);
}

TEST_F(AccountUpdateTest, PageThatNeverLetsTheWindowEmptyStopsWith3) {
    rule("target=account&size=3000");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNotConnectedOrOverflow);
    EXPECT_FALSE(fileExists(tmpFile()));
}

TEST_F(AccountUpdateTest, TemporaryFolderAndFileFailuresHaveTheirCodesAndTexts) {
    fillOldLibrary();
    writeFile(m_home.file("Tmp"), "a file where the folder should be");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNoTmpFolder);
    EXPECT_EQ(errorText(), texts::tmpFolderNotCreated());
    std::filesystem::remove(m_home.file("Tmp"));

    std::filesystem::create_directories(m_home.file("Tmp/Tmp.~file"));
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNoTmpFile);
    EXPECT_EQ(errorText(), texts::tmpFileNotCreated());
    std::filesystem::remove(m_home.file("Tmp/Tmp.~file"));

    // A disk that is full: every write fails.
    std::filesystem::create_symlink("/dev/full", m_home.file("Tmp/Tmp.~file"));
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateTmpFileNotWritten);
    EXPECT_EQ(errorText(), texts::tmpFileNotWritten());
    expectOldLibrary();
}

TEST_F(AccountUpdateTest, ThroughAnAuthenticatingProxy) {
    ProxyFixture proxy("proxyuser", "proxypass");
    ASSERT_TRUE(proxy.running()) << proxy.error();
    TUserData user = userData("reader", "Secret7");
    useProxy(user, proxy.host(), proxy.port(), "proxyuser", "proxypass");
    ASSERT_EQ(update(user), kUpdateDone) << errorText();
    EXPECT_EQ(m_library.value.ShelfCount, 3);
    EXPECT_NE(storeRequests().find("User-Agent: MSIE"), std::string::npos) << storeRequests();

    fillOldLibrary();
    useProxy(user, proxy.host(), proxy.port(), "proxyuser", "wrong");
    EXPECT_EQ(update(user), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(errorText(), texts::connectionFailed("127.0.0.1"));
    EXPECT_EQ(m_library.value.ShelfCount, 4) << "nothing was rebuilt";
}

TEST_F(AccountUpdateTest, ProxyThatDoesNotAnswerFailsBeforeTheRequest) {
    TUserData user = userData("reader", "Secret7");
    useProxy(user, "127.0.0.1", freeLoopbackPort(), "", "");
    EXPECT_EQ(update(user), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(storeRequests().find("bookshelfuser_"), std::string::npos);
}
