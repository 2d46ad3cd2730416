#include "tests/gui/BookWindowFixture.h"

#include <QCheckBox>
#include <QListWidget>
#include <cstring>
#include <filesystem>

#include "app/Controls.h"
#include "common/FixedText.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "tests/support/CurlFetch.h"

namespace quillbox::test {
namespace {

namespace fs = std::filesystem;

// The demo fixtures beside the "tester" account; returns the folder.
std::string prepareFixtures(const TempDir& folder) {
    const std::string demo = StoreServer::fixturesFolder();
    fs::create_directories(folder.file("accounts"));
    for (const auto& entry : fs::directory_iterator(demo + "/accounts")) {
        fs::copy_file(entry.path(), folder.file("accounts/") + entry.path().filename().string());
    }
    fs::create_directory_symlink(demo + "/files", folder.file("files"));
    writeFile(folder.file("accounts/tester.account"),
              "password: pass\n"
              "balance: 10,00\n"
              "shelf: 301 | ../x\n"
              "book: Anon | Short story | gen/a/short.fb2 | .fb2 | bytes=2000\n"
              "book: Anon | Cut off | missing/cut.fb2 | .fb2 | size=5000\n"
              "magazine: Weekly | gen/a/weekly.fb2 | .fb2 | bytes=1500\n");
    return folder.path();
}

}  // namespace

void fillLibrary(app::TForm1& window, const std::vector<ShelfPlan>& shelves) {
    DeleteBookLibrary(window.Library.get());
    for (const ShelfPlan& plan : shelves) {
        auto* shelf = new TBookShelf{};
        setFieldText(shelf->Name, plan.name);
        setFieldText(shelf->Id, std::to_string(window.Library->ShelfCount + 1));
        for (const std::uint16_t flags : plan.bookFlags) {
            auto* book = new TBook{};
            const std::string title = "Book " + std::to_string(shelf->BookCount + 1);
            setFieldText(book->Author, "Author of " + title);
            setFieldText(book->Title, title);
            setFieldText(book->BookType, ".fb2");
            setFieldText(book->ShelfName, plan.name);
            book->Flags = flags;
            shelf->BookList[shelf->BookCount++] = book;
        }
        window.Library->Shelves[window.Library->ShelfCount++] = shelf;
    }
}

BookWindowTest::BookWindowTest()
    : m_server({"--fixtures", prepareFixtures(m_fixtures)}),
      m_store("QUILLBOX_STORE_URL", m_server.baseUrl()),
      m_drives("QUILLBOX_DRIVES", "E=" + m_reader.path()) {
    fs::create_directories(m_reader.file("System"));
    writeFile(m_reader.file("System/.leafdevice"), "");
}

void BookWindowTest::signIn(const std::string& login, const std::string& password) {
    TUserData data{};
    LoadUserData(&data);
    data.Login.assign(login);
    data.Password.assign(password);
    ASSERT_TRUE(SaveUserData(data));
}

app::TForm1& BookWindowTest::startWithAccount(const std::string& login,
                                              const std::string& password) {
    signIn(login, password);
    app::TForm1& window = toMenu();
    window.ReaderDrive = 4;  // E
    LoadUserData(&window.UserData);
    EXPECT_EQ(window.updateLibraryFromStore(), kBookUpdateDone);
    window.redrawShelfList();
    window.SetScreenPanel(window.control("BookShelfPanel"));
    bookRequests();
    return window;
}

void BookWindowTest::chooseShelf(app::TForm1& window, int row) {
    const auto* list = qobject_cast<QListWidget*>(window.control("BSPListBox"));
    const int height = list->property("itemHeight").toInt();
    window.BSPListBoxMouseDown((row - 1) * height + height / 2);
}

void BookWindowTest::tick(app::TForm1& window, const std::vector<int>& rows) {
    for (const int row : rows) {
        QCheckBox* box = window.BookCheckBoxes[static_cast<std::size_t>(row - 1)];
        ASSERT_TRUE(box->isVisible()) << "row " << row;
        box->setChecked(true);
    }
}

std::vector<int> BookWindowTest::ticked(const app::TForm1& window) {
    std::vector<int> rows;
    for (int row = 1; row <= 10; ++row) {
        if (window.BookCheckBoxes[static_cast<std::size_t>(row - 1)]->isChecked()) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::string BookWindowTest::marks(const app::TForm1& window, int row) {
    std::string shown;
    for (int mark = 0; mark < 3; ++mark) {
        if (window.BookMarkImages[static_cast<std::size_t>(3 * (row - 1) + mark)]->isVisible()) {
            shown += static_cast<char>('1' + mark);
        }
    }
    return shown;
}

void BookWindowTest::press(app::TForm1& window, const char* frame, const char* button) {
    window.hoverButton(frame, window.control(button));
    clickAt(window, window.control(frame));
}

int BookWindowTest::shownString(app::TForm1& window, const std::function<void()>& action) {
    std::memset(window.ErrorText, 0, sizeof window.ErrorText);
    const std::uint64_t shown = window.ErrorTimer.ticks();
    action();
    if (window.ErrorTimer.ticks() == shown) {
        return 0;
    }
    for (int id = 31; id <= 44; ++id) {
        if (window.Languages.LanguageStrings[static_cast<std::size_t>(id)] == window.ErrorText) {
            return id;
        }
    }
    return -1;
}

std::vector<std::string> BookWindowTest::requestPaths() {
    const Fetched heads = fetch(m_server.url("_control/requests"));
    fetch(m_server.url("_control/reset"));
    std::vector<std::string> paths;
    std::size_t at = 0;
    while ((at = heads.body.find("GET /", at)) != std::string::npos) {
        const std::size_t end = heads.body.find_first_of(" \r\n?", at + 4);
        paths.push_back(heads.body.substr(at + 5, end - at - 5));
        at = end;
    }
    return paths;
}

std::vector<std::string> BookWindowTest::bookRequests() {
    std::vector<std::string> books;
    for (std::string& path : requestPaths()) {
        if (path.find(".fb2") != std::string::npos) {
            books.push_back(std::move(path));
        }
    }
    return books;
}

std::string BookWindowTest::onComputer(const std::string& shelfAndFile) const {
    return m_data.file("Books/") + shelfAndFile;
}

std::string BookWindowTest::onReader(const std::string& shelfAndFile) const {
    return m_reader.path() + shelfAndFile;
}

}  // namespace quillbox::test
