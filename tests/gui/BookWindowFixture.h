#pragma once
// The window with the store stand-in and a folder acting as the reader (drive
// E), for the bookshelf, book and balance screens. The stand-in serves the
// demo accounts and "tester", whose one shelf is named "../x" and holds a book
// that downloads, one whose download comes up short, and a magazine.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/WindowFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

// A shelf for fillLibrary: its name and the Flags of its books.
struct ShelfPlan {
    std::string name;
    std::vector<std::uint16_t> bookFlags;
};

// Replaces the window's library with shelves made in memory (freed by the
// window): book k of a shelf is titled "Book k" with the type ".fb2".
void fillLibrary(app::TForm1& window, const std::vector<ShelfPlan>& shelves);

class BookWindowTest : public WindowTest {
  protected:
    BookWindowTest();

    // Stores the account the window signs in with.
    static void signIn(const std::string& login, const std::string& password);
    // The menu, signed in as "reader", the library updated from the stand-in.
    app::TForm1& startWithAccount(const std::string& login = "reader",
                                  const std::string& password = "Secret7");
    // Chooses the shelf on row (1-based) of the bookshelf page shown.
    static void chooseShelf(app::TForm1& window, int row);
    static void tick(app::TForm1& window, const std::vector<int>& rows);
    // The ticked rows of the book page, in order.
    static std::vector<int> ticked(const app::TForm1& window);
    // The marks a row shows, as digits: "13" for the account and the reader.
    static std::string marks(const app::TForm1& window, int row);
    // Hovers the button and clicks the screen's highlight frame over it.
    static void press(app::TForm1& window, const char* frame, const char* button);
    // Runs the action with an empty message store; returns the language
    // string of the message it showed last, 0 for none, -1 for another text.
    static int shownString(app::TForm1& window, const std::function<void()>& action);
    // The paths (without query) the stand-in was asked for since the last
    // call of either, in order; and of them the book downloads.
    std::vector<std::string> requestPaths();
    std::vector<std::string> bookRequests();
    // Where a book of the account lands: "<folder><shelf>/<file>".
    std::string onComputer(const std::string& shelfAndFile) const;
    std::string onReader(const std::string& shelfAndFile) const;

    TempDir m_reader;
    TempDir m_fixtures;
    StoreServer m_server;
    EnvGuard m_store;
    EnvGuard m_drives;
};

}  // namespace quillbox::test
