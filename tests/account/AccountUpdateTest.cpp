// The account update against the store stand-in on 127.0.0.1 (and a real
// tinyproxy where a proxy is used).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
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
#include "tests/account/NetworkFixture.h"
#include "tests/support/FileSizeLimit.h"
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

const char* const kLibraryFiles[] = {"BookShelfs1.dat", "BookShelfs2.dat", "BookShelfs3.dat",
                                     "Books1.dat",      "Books2.dat",      "Books3.dat",
                                     "Money.dat"};

// The seven files SaveBookLibraryToFile writes for library and money, by name.
std::map<std::string, std::string> savedFiles(const TBookLibrary& library, const TMoney& money) {
    TempDir folder;
    EXPECT_TRUE(SaveBookLibraryToFile(library, money, folder.path(), "BookShelfs", "Books"));
    std::map<std::string, std::string> files;
    for (const char* name : kLibraryFiles) {
        files[name] = readFile(folder.file(name));
    }
    return files;
}

// The names of the files that are not byte-identical in both.
std::vector<std::string> changedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after) {
    std::vector<std::string> changed;
    for (const char* name : kLibraryFiles) {
        if (before.at(name) != after.at(name)) {
            changed.emplace_back(name);
        }
    }
    return changed;
}

// The regular files below folder; none when it is missing or no folder.
std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            names.push_back(entry.path().string());
        }
    }
    return names;
}

// Whatever a case of the failure table keeps alive during its update (a
// guard, a second store), undone when it goes.
using Held = std::shared_ptr<void>;

class Undo {
  public:
    explicit Undo(std::function<void()> action) : m_action(std::move(action)) {}
    ~Undo() { m_action(); }
    Undo(const Undo&) = delete;
    Undo& operator=(const Undo&) = delete;

  private:
    std::function<void()> m_action;
};

Held undoing(std::function<void()> action) {
    return std::make_shared<Undo>(std::move(action));
}

// A store stand-in serving one account of the given fixture lines, with the
// store's root pointed at it.
struct OtherStore {
    explicit OtherStore(const std::string& login, const std::string& lines) {
        writeAccount(fixtures, login, lines);
        store.emplace(std::vector<std::string>{"--fixtures", fixtures.path()});
        root.emplace("QUILLBOX_STORE_URL", store->baseUrl());
    }
    TempDir fixtures;
    std::optional<StoreServer> store;
    std::optional<EnvGuard> root;
};

class AccountUpdateTest : public NetworkTest {
  protected:
    std::uint8_t update(const TUserData& user, bool showMessages = false,
                        std::uint64_t pageCap = kAccountPageMaxBytes) {
        return LoadBookLibraryFromURL(m_library.value, m_money, user, showMessages, pageCap);
    }
    // Two shelves, a book on the reader, a balance and a payment: all that a
    // failed update must leave as it was.
    void fillOldLibrary() {
        ASSERT_TRUE(AddShelf(m_library.value, shelfRecord("900", "Old shelf", kFlagOnAccount)));
        ASSERT_TRUE(AddShelf(m_library.value, shelfRecord("901", "Other", kFlagOnReader)));
        TBook old = bookRecord("old/1.fb2", "Old book", kFlagOnAccount | kFlagOnReader);
        ASSERT_TRUE(AddBook(*m_library.value.Shelves[0], old));
        setFieldText(m_money.Balance, "old balance");
        setFieldText(m_money.Payments[1].Date, "01.01.2020");
        m_money.PaymentCount = 1;
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
    HostGuard host(nullptr);

    ASSERT_EQ(update(userData("reader", "Secret7"), true), kUpdateDone) << errorText();
    EXPECT_EQ(errorText(), texts::updateDone());
    EXPECT_EQ(g_boxes, std::vector<std::string>{texts::updateDoneBox()});

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

    EXPECT_TRUE(filesBelow(m_home.file("Tmp")).empty()) << "the page file is removed";
    EXPECT_TRUE(fileExists(m_home.file("BookLibrary/BookShelfs1.dat")));
}

TEST_F(AccountUpdateTest, AnswerOf128BytesIsAnAccountWithoutShelves) {
    setFieldText(m_money.Balance, "old balance");
    rule("target=account&size=128");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateDone);
    EXPECT_EQ(m_library.value.ShelfCount, 0);
    EXPECT_EQ(fieldText(m_money.Balance), "");
    EXPECT_EQ(m_money.PaymentCount, 0);
}

TEST_F(AccountUpdateTest, AccountLargerThanTheLibraryIsDoneAndSaysWhatWasLeftOut) {
    rule("target=account&generate=101x2");
    HostGuard host(nullptr);
    ASSERT_EQ(update(userData("reader", "Secret7"), true), kUpdateDone) << errorText();
    EXPECT_EQ(m_library.value.ShelfCount, 100);
    EXPECT_EQ(m_library.value.Shelves[99]->BookCount, 2) << "the 101st shelf's books stay out";
    EXPECT_EQ(errorText(), texts::libraryOverflow(1, 2));
    EXPECT_EQ(g_boxes,
              (std::vector<std::string>{texts::updateDoneBox(), texts::libraryOverflow(1, 2)}));
}

// Every way an update can fail leaves the caller's library and money exactly
// as they were, sets its own text (and box), and leaves no page file behind.
TEST_F(AccountUpdateTest, FailedUpdateChangesNothingSetsItsTextAndLeavesNoPageFile) {
    const std::string connection = texts::connectionFailed("127.0.0.1");
    struct Case {
        const char* name;
        std::function<Held()> arrange;
        std::uint8_t code;
        std::string text;
        std::string box;  // empty: no box
        std::uint64_t pageCap = kAccountPageMaxBytes;
        int cancelAfterCalls = -1;
        std::string password = "Secret7";
    };
    const std::vector<Case> cases = {
        {"a line longer than the reader's window",
         [] {
             return std::make_shared<OtherStore>(
                 "reader", "password: Secret7\nshelf: 101 | Shelf\nbook: Author | " +
                               std::string(5000, 'x') + " | b/2.fb2 | .fb2 | bytes=10\n");
         },
         kUpdateNotConnectedOrOverflow, texts::accountPageUnreadable(),
         texts::accountPageUnreadable()},
        {"text between entries that never lets the window empty",
         [this] {
             rule("target=account&size=3000");
             return Held();
         },
         kUpdateNotConnectedOrOverflow, texts::accountPageUnreadable(),
         texts::accountPageUnreadable()},
        {"a page over the size cap", [] { return Held(); }, kUpdateNotConnectedOrOverflow,
         texts::accountPageUnreadable(), texts::accountPageUnreadable(), 1000},
        {"connection refused",
         [] {
             return std::make_shared<EnvGuard>(
                 "QUILLBOX_STORE_URL",
                 "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/");
         },
         kUpdateNotConnectedOrOverflow, connection, connection},
        {"connection dropped without an answer",
         [this] {
             rule("target=account&drop=1");
             return Held();
         },
         kUpdateNotConnectedOrOverflow, connection, connection},
        {"connection dropped halfway through the page",
         [this] {
             rule("target=account&short=1000");
             return Held();
         },
         kUpdateNotConnectedOrOverflow, connection, connection},
        {"an error status of the store",
         [this] {
             rule("target=account&status=503");
             return Held();
         },
         kUpdateNotConnectedOrOverflow, connection, connection},
        {"login refused", [] { return Held(); }, kUpdateLoginRefused, texts::loginRefused(),
         texts::loginRefusedBox(), kAccountPageMaxBytes, -1, "wrong"},
        {"an answer of 127 bytes",
         [this] {
             rule("target=account&size=127");
             return Held();
         },
         kUpdateLoginRefused, texts::loginRefused(), texts::loginRefusedBox()},
        {"Tmp not creatable",
         [this] {
             std::filesystem::remove_all(m_home.file("Tmp"));
             writeFile(m_home.file("Tmp"), "a file where the folder should be");
             return undoing([this] { std::filesystem::remove(m_home.file("Tmp")); });
         },
         kUpdateNoTmpFolder, texts::tmpFolderNotCreated(), texts::tmpFolderNotCreated()},
        {"page file not creatable",
         [this] {
             std::filesystem::create_directories(tmpFile());
             return undoing([this] { std::filesystem::remove(tmpFile()); });
         },
         kUpdateNoTmpFile, texts::tmpFileNotCreated(), texts::tmpFileNotCreated()},
        {"page file not writable (disk full)", [] { return std::make_shared<FileSizeLimit>(100); },
         kUpdateTmpFileNotWritten, texts::tmpFileNotWritten(), texts::tmpFileNotWritten()},
        {"library files not writable",
         [this] {
             writeFile(m_home.file("BookLibrary"), "a file where the folder should be");
             return undoing([this] { std::filesystem::remove(m_home.file("BookLibrary")); });
         },
         kUpdateTmpFileNotWritten, texts::libraryFilesFailed(), texts::libraryFilesFailed()},
        {"stopped by the user",
         [this] {
             rule("target=account&delay=1500");
             return Held();
         },
         kUpdateNotConnectedOrOverflow, texts::updateCancelled(), "", kAccountPageMaxBytes, 3},
    };

    fillOldLibrary();
    const std::map<std::string, std::string> before = savedFiles(m_library.value, m_money);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setBookErrorText("before");
        FakeApplication application;
        application.cancelAfterCalls = c.cancelAfterCalls;
        std::uint8_t code = 0;
        {
            HostGuard host(&application);
            const Held held = c.arrange();
            code = update(userData("reader", c.password), true, c.pageCap);
        }
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(errorText(), c.text);
        EXPECT_EQ(g_boxes,
                  c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        EXPECT_EQ(changedFiles(before, savedFiles(m_library.value, m_money)),
                  std::vector<std::string>{})
            << "library or money changed";
        EXPECT_TRUE(filesBelow(m_home.file("Tmp")).empty()) << "a page file was left behind";
        if (c.cancelAfterCalls >= 0) {
            EXPECT_GE(application.cancelQueries, 1);
        }
        resetStore();
    }
}

TEST_F(AccountUpdateTest, PageFileIsTheUsersAloneWhileItExists) {
    // A page left by an older version, readable by all.
    std::filesystem::create_directories(m_home.file("Tmp"));
    writeFile(tmpFile(), "an old page");
    ::chmod(tmpFile().c_str(), 0644);
    // The page arrives slowly, so the window's messages see its file.
    rule("target=account&rate=4000");
    std::set<unsigned> modes;
    FakeApplication application;
    application.onProcess = [&] {
        struct stat info {};
        if (::stat(tmpFile().c_str(), &info) == 0 && info.st_size > 0) {
            modes.insert(info.st_mode & 07777);
        }
    };
    HostGuard host(&application);
    ASSERT_EQ(update(userData("reader", "Secret7")), kUpdateDone) << errorText();
    EXPECT_EQ(modes, std::set<unsigned>{0600});
    EXPECT_FALSE(fileExists(tmpFile()));
}

TEST_F(AccountUpdateTest, SilentStoreTimesOutWhileTheWindowStaysAlive) {
    FakeApplication application;
    HostGuard host(&application);
    rule("target=account&delay=8000");
    EXPECT_EQ(update(userData("reader", "Secret7")), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(errorText(), texts::connectionFailed("127.0.0.1"));
    // Two seconds of silence: messages were processed all along.
    EXPECT_GE(application.calls, 20);
    EXPECT_LT(application.longestGap, std::chrono::milliseconds(250));
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
    OtherStore store("we&you #1",
                     "password: pw\nbalance: 5\nshelf: 7 | Seven\n"
                     "book: A | B | books/7/b.fb2 | .fb2 | bytes=10\n");
    ASSERT_TRUE(store.store->running()) << store.store->error();

    ASSERT_EQ(update(userData("we&you #1", "pw")), kUpdateDone) << errorText();
    ASSERT_EQ(m_library.value.ShelfCount, 1);
    EXPECT_EQ(fieldText(m_library.value.Shelves[0]->Name), "Seven");
    EXPECT_EQ(fieldText(m_money.Balance), "5");
}

TEST_F(AccountUpdateTest, UpdateKeepsTheComputerAndReaderMarks) {
    // In the library before the update: A is on the computer (its file is
    // there), C, no longer on the account, on the reader.
    ASSERT_TRUE(AddShelf(m_library.value, shelfRecord("101", "Shelf", kFlagOnAccount | 4 | 8)));
    TBook a = bookRecord("a/1.fb2", "A", kFlagOnAccount | kFlagOnComputer);
    TBook c = bookRecord("c/3.fb2", "C", kFlagOnAccount | kFlagOnReader);
    ASSERT_TRUE(AddBook(*m_library.value.Shelves[0], a));
    ASSERT_TRUE(AddBook(*m_library.value.Shelves[0], c));
    std::filesystem::create_directories(m_home.file("Books/Shelf"));
    writeFile(m_home.file("Books/Shelf/A.fb2"), "0123456789");

    OtherStore store("reader",
                     "password: pw\nshelf: 101 | Shelf\nbook: Author | A | a/1.fb2 | .fb2 | "
                     "bytes=10\nbook: Author | B | b/2.fb2 | .fb2 | bytes=10\n");
    ASSERT_TRUE(store.store->running()) << store.store->error();

    ASSERT_EQ(update(userData("reader", "pw")), kUpdateDone) << errorText();
    const TBook* inMemoryA = findBook(m_library.value, "a/1.fb2");
    ASSERT_NE(inMemoryA, nullptr);
    EXPECT_EQ(inMemoryA->Flags, kFlagOnAccount | kFlagOnComputer);
    const TBook* inMemoryB = findBook(m_library.value, "b/2.fb2");
    ASSERT_NE(inMemoryB, nullptr);
    EXPECT_EQ(inMemoryB->Flags, kFlagOnAccount);
    const TBook* inMemoryC = findBook(m_library.value, "c/3.fb2");
    ASSERT_NE(inMemoryC, nullptr) << "the reader's copy is still known";
    EXPECT_EQ(inMemoryC->Flags, kFlagOnReader);
}

TEST_F(AccountUpdateTest, ThroughAnAuthenticatingProxy) {
    ProxyFixture proxy("proxyuser", "proxypass");
    ASSERT_TRUE(proxy.running()) << proxy.error();
    TUserData user = userData("reader", "Secret7");
    useProxy(user, proxy.host(), proxy.port(), "proxyuser", "proxypass");
    ASSERT_EQ(update(user), kUpdateDone) << errorText();
    EXPECT_EQ(m_library.value.ShelfCount, 3);
    EXPECT_NE(storeRequests().find("User-Agent: MSIE"), std::string::npos) << storeRequests();

    useProxy(user, proxy.host(), proxy.port(), "proxyuser", "wrong");
    EXPECT_EQ(update(user), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(errorText(), texts::connectionFailed("127.0.0.1"));
    EXPECT_EQ(m_library.value.ShelfCount, 3) << "nothing was rebuilt";
}

TEST_F(AccountUpdateTest, ProxyThatDoesNotAnswerFailsBeforeTheRequest) {
    TUserData user = userData("reader", "Secret7");
    useProxy(user, "127.0.0.1", freeLoopbackPort(), "", "");
    EXPECT_EQ(update(user), kUpdateNotConnectedOrOverflow);
    EXPECT_EQ(storeRequests().find("bookshelfuser_"), std::string::npos);
}
