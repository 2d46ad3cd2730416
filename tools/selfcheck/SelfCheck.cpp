// quillbox-selfcheck: writes a small book library as raw record files, loads
// it through the Book library, saves it elsewhere, loads that again and
// compares. Prints what it found; exits 0 when everything matched, 1 otherwise.

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "contracts/Book.h"

namespace {

// prefix followed by the number (built step by step: GCC 12 misreports
// "literal" + std::string at -O3).
std::string numbered(const char* prefix, int number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
}

constexpr std::uint16_t kComputer = kFlagOnComputer;
constexpr std::uint16_t kReader = kFlagOnReader;

template <std::size_t N>
void setText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N ? text.size() : N - 1);
}

void append(const std::string& path, const void* record, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(static_cast<const char*>(record), static_cast<std::streamsize>(size));
}

// Two shelves of three books. Books 0 are on the computer (with a file in the
// shelf's folder), books 1 on the reader, books 2 only on the account.
void writeLibrary(const std::string& home, const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (int s = 0; s < 2; ++s) {
        TBookShelf shelf{};
        setText(shelf.Name, s == 0 ? "Novels" : "Magazines");
        setText(shelf.Id, numbered("shelf", s));
        shelf.Flags = kFlagOnAccount | kComputer | kReader;
        for (const char* list : {"1", "2", "3"}) {
            append(folder + "BookShelfs" + list + ".dat", &shelf, kBookShelfRecordSize);
        }
        for (int b = 0; b < 3; ++b) {
            TBook book{};
            setText(book.Author, s == 0 ? numbered("Author ", b) : "");
            setText(book.Title, numbered("Title ", b));
            setText(book.Id, numbered("books/", s) + numbered("/", b));
            setText(book.BookType, ".fb2");
            setText(book.ShelfId, shelf.Id);
            setText(book.ShelfName, shelf.Name);
            book.Size = 1000u + static_cast<unsigned>(b);
            book.Flags = kFlagOnAccount;
            append(folder + "Books1.dat", &book, sizeof book);
            if (b == 0) {
                book.Flags = kComputer;
                append(folder + "Books2.dat", &book, sizeof book);
                const std::string copies = home + "Books/" + shelf.Name + "/";
                std::filesystem::create_directories(copies);
                std::ofstream(copies + book.Title + book.BookType) << "book";
            } else if (b == 1) {
                book.Flags = kReader;
                append(folder + "Books3.dat", &book, sizeof book);
            }
        }
    }
    TMoney money{};
    setText(money.Balance, "42.00");
    setText(money.Payments[1].Date, "2009-02-01");
    setText(money.Payments[1].Summ, "10.00");
    money.PaymentCount = 1;
    append(folder + "Money.dat", &money, sizeof money);
}

bool sameLibrary(const TBookLibrary& a, const TBookLibrary& b) {
    if (a.ShelfCount != b.ShelfCount) {
        return false;
    }
    for (int s = 0; s < a.ShelfCount; ++s) {
        const TBookShelf& x = *a.Shelves[s];
        const TBookShelf& y = *b.Shelves[s];
        if (std::memcmp(&x, &y, kBookShelfRecordSize) != 0) {
            return false;
        }
        for (int i = 0; i < x.BookCount; ++i) {
            if (std::memcmp(x.BookList[i], y.BookList[i], sizeof(TBook)) != 0) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main() {
    std::string home = (std::filesystem::temp_directory_path() / "quillbox-selfcheck-XXXXXX");
    if (::mkdtemp(home.data()) == nullptr) {
        std::puts("selfcheck: cannot create a temporary folder");
        return 1;
    }
    home += "/";
    ::setenv("QUILLBOX_HOME", home.c_str(), 1);
    writeLibrary(home, home + "Written/");

    TBookLibrary first{};
    TBookLibrary second{};
    TMoney firstMoney{};
    TMoney secondMoney{};
    const std::string written = home + "Written/";
    const std::string saved = home + "BookLibrary/";
    bool ok = LoadBookLibraryFromFile(&first, &firstMoney, written.c_str(), "BookShelfs", "Books",
                                      true) == kBookFilesDone &&
              SaveBookLibraryToFile(&first, &firstMoney, saved.c_str(), "BookShelfs", "Books") ==
                  kBookFilesDone &&
              LoadBookLibraryFromFile(&second, &secondMoney, saved.c_str(), "BookShelfs", "Books",
                                      true) == kBookFilesDone;

    int books = 0;
    int onComputer = 0;
    int onReader = 0;
    for (int s = 0; s < first.ShelfCount; ++s) {
        const TBookShelf& shelf = *first.Shelves[s];
        std::printf("shelf %-10s %d books\n", shelf.Name, shelf.BookCount);
        for (int i = 0; i < shelf.BookCount; ++i) {
            const TBook& book = *shelf.BookList[i];
            std::printf("  %-8s %-18s marks:%s%s%s\n", book.Title, book.Id,
                        (book.Flags & kFlagOnAccount) ? " account" : "",
                        (book.Flags & kComputer) ? " computer" : "",
                        (book.Flags & kReader) ? " reader" : "");
            ++books;
            onComputer += (book.Flags & kComputer) ? 1 : 0;
            onReader += (book.Flags & kReader) ? 1 : 0;
        }
    }
    std::printf("shelves %d, books %d, on the computer %d, on the reader %d, balance %s\n",
                first.ShelfCount, books, onComputer, onReader, firstMoney.Balance);

    ok = ok && first.ShelfCount == 2 && books == 6 && onComputer == 2 && onReader == 2 &&
         firstMoney.PaymentCount == 1 && sameLibrary(first, second) &&
         std::memcmp(&firstMoney, &secondMoney, sizeof firstMoney) == 0;
    char title[] = "What? A \"title\": <yes>|no/maybe\\";
    ok = ok && VerifyTitle(title) == kBookTitleVerified &&
         std::strcmp(title, "What A title yesnomaybe") == 0;
    ok = ok && GetBookErrorText().Text[0] == 0;

    ok = DeleteBookLibrary(&first) == kBookLibraryFreed && ok;
    ok = DeleteBookLibrary(&second) == kBookLibraryFreed && ok;
    std::error_code error;
    std::filesystem::remove_all(home, error);
    std::puts(ok ? "selfcheck: saved and loaded library match" : "selfcheck: MISMATCH");
    return ok ? 0 : 1;
}
