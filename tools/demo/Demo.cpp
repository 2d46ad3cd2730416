// quillbox-demo: runs the program's main jobs end to end against whatever the
// environment points at (the demo script sets up the store stand-in, a folder
// acting as the reader and a program folder):
//
//   quillbox-demo LOGIN PASSWORD FEED_URL...
//
// 1. Feeds are added to the list, fetched, turned into one FB2 book and copied
//    into the reader's News folder; the news is then marked delivered.
// 2. The account is read from the store; the first book is downloaded to the
//    computer and the second straight to the reader; the library is saved.
// Exits 0 when every step worked.

#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/BookTypes.h"
#include "common/RSSTypes.h"
#include "common/SystemTypes.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "platform/CodePage.h"
#include "platform/DriveTable.h"
#include "platform/PathNormaliser.h"
#include "platform/ProgramFolder.h"
#include "tools/demo/ConsoleHost.h"

namespace {

using quillbox::demo::ConsoleApplication;
using quillbox::demo::ConsoleProgress;
using quillbox::demo::fromAnsi;
namespace platform = quillbox::platform;

// The reader: the first removable drive with a medium that carries the marker.
std::optional<char> findReader() {
    for (const platform::Drive& drive : platform::readDriveTable()) {
        if (!drive.removable || !drive.hasMedium) {
            continue;
        }
        const char letter = static_cast<char>('A' + drive.number);
        const std::string marker = std::string(1, letter) + ":\\System\\.leafdevice";
        if (std::filesystem::exists(platform::toNativePath(marker))) {
            return letter;
        }
    }
    return std::nullopt;
}

bool newsToReader(const std::vector<std::string>& feeds, char reader, TUserData userData,
                  ConsoleApplication& application, ConsoleProgress& progress) {
    const std::string data = platform::dataFolder();
    TRSSList list{};
    LoadRSSListFromFile((data + "RSS/").c_str(), "RSS.list", &list, 1, 0);
    for (const std::string& url : feeds) {
        bool known = false;
        for (int i = 0; i < list.Count; ++i) {
            known = known || url == list.Items[i]->URL;
        }
        if (known) {
            continue;
        }
        TRSSItem entry{};
        std::strncpy(entry.URL, url.c_str(), sizeof entry.URL - 1);
        AddToRSSList(static_cast<std::uint16_t>(list.Count + 1), &entry, &list);
    }
    std::cout << "News: updating " << list.Count << " feeds\n";
    for (int i = 0; i < list.Count; ++i) {
        const std::uint8_t result = LoadRSSNewsFromURL(list.Items[i], (data + "RSS/").c_str(),
                                                       &userData, &application, nullptr, 0);
        std::cout << "  [" << static_cast<int>(result) << "] " << fromAnsi(list.Items[i]->Title)
                  << "\n";
        if (result == kRssHostUnreachable) {
            std::cout << "  host unreachable: update stopped\n";
            break;
        }
    }
    CreateDirEx((data + "FB2/").c_str());
    char name[501] = {};
    ConvertRSSListToFb2(&list, (data + "RSS\\").c_str(), (data + "FB2\\").c_str(), name);
    bool ok = true;
    if (name[0] == 0) {
        std::cout << "  no news to deliver\n";
    } else {
        const std::string news = std::string(1, reader) + ":\\News\\";
        progress.reset();
        ok = CreateDirEx(news.c_str()) &&
             CopyFileToDevice((data + "FB2/" + name).c_str(), (news + name).c_str(), &application,
                              &progress, &progress);
        if (ok) {
            MarkRSSNewsDelivered((data + "RSS/").c_str(), name);
        }
        std::cout << "  book " << name << (ok ? " copied to " : " NOT copied to ") << news << "\n";
    }
    ok = SaveRSSListToFile((data + "RSS/RSS.list").c_str(), &list, 0) == kRssOk && ok;
    DeleteRSSList(&list);
    return ok;
}

bool accountToReader(char reader, const TUserData& userData, ConsoleApplication& application,
                     quillbox::platform::BrowserStandIn& browser, ConsoleProgress& progress) {
    const std::string data = platform::dataFolder();
    const std::string libraryFolder = data + "BookLibrary/";
    TBookLibrary library{};
    TMoney money{};
    LoadBookLibraryFromFile(&library, &money, libraryFolder.c_str(), "BookShelfs", "Books", true);
    const std::uint8_t result = LoadBookLibraryFromURL(&library, &money, userData, false);
    std::cout << "Bookshelves: update result " << static_cast<int>(result) << ": "
              << fromAnsi(GetBookErrorText().Text) << "\n";
    bool ok = result == kBookUpdateDone;
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        std::cout << "  shelf " << fromAnsi(shelf.Name) << " (" << shelf.BookCount << ")\n";
        for (int b = 0; b < shelf.BookCount; ++b) {
            const TBook& book = *shelf.BookList[b];
            std::cout << "    " << (book.Author[0] ? fromAnsi(book.Author) + ": " : "[magazine] ")
                      << fromAnsi(book.Title) << " flags " << book.Flags << "\n";
        }
    }
    std::cout << "  balance " << fromAnsi(money.Balance) << ", " << money.PaymentCount
              << " payments\n";
    std::vector<TBook*> books;
    for (int s = 0; s < library.ShelfCount; ++s) {
        for (int b = 0; b < library.Shelves[s]->BookCount; ++b) {
            books.push_back(library.Shelves[s]->BookList[b]);
        }
    }
    const struct {
        std::string folder;
        std::uint16_t flag;
        const char* where;
    } targets[] = {{data + "Books/", kFlagOnComputer, "the computer"},
                   {std::string(1, reader) + ":\\", kFlagOnReader, "the reader"}};
    for (std::size_t i = 0; i < 2 && i < books.size(); ++i) {
        progress.reset();
        const std::uint8_t got = DownloadFile(books[i], targets[i].folder.c_str(), &userData,
                                              &application, &browser, &progress, &progress, false);
        if (got == kBookDownloadDone) {
            books[i]->Flags = static_cast<std::uint16_t>(books[i]->Flags | targets[i].flag);
        }
        ok = ok && got == kBookDownloadDone;
        std::cout << "  download of " << fromAnsi(books[i]->Title) << " to " << targets[i].where
                  << ": " << static_cast<int>(got) << "\n";
    }
    ok = SaveBookLibraryToFile(&library, &money, libraryFolder.c_str(), "BookShelfs", "Books") ==
             kBookFilesDone &&
         ok;
    DeleteBookLibrary(&library);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: quillbox-demo LOGIN PASSWORD FEED_URL...\n";
        return 2;
    }
    const std::optional<char> reader = findReader();
    if (!reader) {
        std::cerr
            << "No reader found (set QUILLBOX_DRIVES to a folder holding System/.leafdevice)\n";
        return 1;
    }
    std::cout << "Reader on drive " << *reader << ": ("
              << platform::toNativePath(std::string(1, *reader) + ":\\") << ")\n";
    TUserData userData{};
    LoadUserData(&userData);
    userData.Login.assign(argv[1]);
    userData.Password.assign(argv[2]);
    SaveUserData(userData);
    LoadUserData(&userData);

    platform::BrowserStandIn browser;
    ConsoleApplication application(browser);
    ConsoleProgress progress;
    SetBookHost(&application, nullptr);

    const std::vector<std::string> feeds(argv + 3, argv + argc);
    const bool newsOk = newsToReader(feeds, *reader, userData, application, progress);
    const bool bookOk = accountToReader(*reader, userData, application, browser, progress);
    std::cout << (newsOk && bookOk ? "Demo finished: every step worked\n"
                                   : "Demo finished with failures\n");
    return newsOk && bookOk ? 0 : 1;
}
