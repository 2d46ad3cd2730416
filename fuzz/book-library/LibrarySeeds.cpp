// Writes seed inputs for the library fuzzer: small libraries saved with the
// program's own writer, their seven files joined as LibraryInput.h describes.
// Usage: book_library_seeds <output folder>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "book/BookLibrary.h"
#include "book/LibraryFiles.h"
#include "common/BookTypes.h"
#include "common/FixedText.h"
#include "fuzz/book-library/LibraryInput.h"

namespace {

using namespace quillbox;
using fuzz::kComputerCopies;
using fuzz::kLibraryNotEmpty;
using fuzz::kLoadAccount;

TBookShelf shelfOf(const char* name, const char* id, std::uint16_t flags) {
    TBookShelf shelf{};
    setFieldText(shelf.Name, name);
    setFieldText(shelf.Id, id);
    shelf.Flags = flags;
    return shelf;
}

TBook bookOf(const char* title, const char* id, std::uint16_t flags) {
    TBook book{};
    setFieldText(book.Author, "Author");
    setFieldText(book.Title, title);
    setFieldText(book.Id, id);
    setFieldText(book.BookType, ".fb2");
    book.Size = 4096;
    book.Flags = flags;
    return book;
}

// Adds a shelf holding the books, each with its flags.
void addShelf(TBookLibrary& library, TBookShelf shelf, std::vector<TBook> books) {
    for (const TBook& book : books) {
        shelf.Flags |= book.Flags;
    }
    if (!book::AddShelf(library, shelf)) {
        std::exit(1);
    }
    TBookShelf& added = *library.Shelves[library.ShelfCount - 1];
    for (TBook& book : books) {
        if (!book::AddBook(added, book)) {
            std::exit(1);
        }
    }
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Saves the library to a fresh folder and writes one seed per options value.
void writeSeeds(const TBookLibrary& library, const TMoney& money, const std::string& name,
                const std::vector<std::uint8_t>& optionValues,
                const std::filesystem::path& output) {
    std::string folder =
        (std::filesystem::temp_directory_path() / "quillbox-seeds-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::exit(1);
    }
    folder += '/';
    if (!book::SaveBookLibraryToFile(library, money, folder, fuzz::kShelfPrefix,
                                     fuzz::kBookPrefix)) {
        std::exit(1);
    }
    std::vector<std::string> files;
    for (const std::string_view file : fuzz::kLibraryFiles) {
        files.push_back(readAll(folder + std::string(file)));
    }
    std::filesystem::remove_all(folder);
    for (const std::uint8_t options : optionValues) {
        std::ofstream out(output / (name + "-" + std::to_string(options)), std::ios::binary);
        out << fuzz::joinLibraryInput(options, files);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path output = argv[1];
    std::filesystem::create_directories(output);

    TMoney money{};
    setFieldText(money.Balance, "12.50");
    money.PaymentCount = 2;
    for (int n = 1; n <= 2; ++n) {
        setFieldText(money.Payments[n].Date, "2024-05-0" + std::to_string(n));
        setFieldText(money.Payments[n].Type, "Card");
        setFieldText(money.Payments[n].Summ, "5.00");
    }

    TBookLibrary account{};
    addShelf(account, shelfOf("Novels", "s1", 0),
             {bookOf("First", "novels/first", kFlagOnAccount),
              bookOf("Second", "novels/second", kFlagOnAccount)});
    writeSeeds(account, money, "account", {kLoadAccount, kLoadAccount | kLibraryNotEmpty}, output);
    book::DeleteBookLibrary(account);

    TBookLibrary marked{};
    addShelf(marked, shelfOf("Science", "s2", 0),
             {bookOf("Atoms", "science/atoms", kFlagOnAccount | kFlagOnComputer),
              bookOf("Stars", "science/stars", kFlagOnReader)});
    addShelf(marked, shelfOf("Local", "s3", 0),
             {bookOf("Notes", "local/notes", kFlagOnComputer | kFlagOnReader)});
    writeSeeds(marked, money, "marked", {0, kLoadAccount | kComputerCopies, kComputerCopies},
               output);
    book::DeleteBookLibrary(marked);

    TBookLibrary empty{};
    writeSeeds(empty, TMoney{}, "empty", {kLoadAccount}, output);
    return 0;
}
