// Saving and loading the library files at 1k, 10k and 100k books (every book
// in all three book files, so loading merges every mark), and our MD5 beside
// OpenSSL's as a yardstick.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "book/BookLibrary.h"
#include "book/LibraryFiles.h"
#include "book/MD5.h"
#include "common/FixedText.h"

using namespace quillbox;

namespace {

// prefix followed by the number (built step by step: GCC 12 misreports
// "literal" + std::string at -O3).
std::string numbered(const char* prefix, int number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
}

constexpr std::uint16_t kAllMarks = kFlagOnAccount | kFlagOnComputer | kFlagOnReader;

std::string g_home;

// shelves x 1000 books, all marked everywhere, each with its own file in its
// shelf's folder (made once), so loading checks a real copy for every book.
void fillLibrary(TBookLibrary& library, int books) {
    const int shelves = books / 1000;
    for (int s = 0; s < shelves; ++s) {
        TBookShelf shelf{};
        setFieldText(shelf.Name, numbered("Shelf ", s));
        setFieldText(shelf.Id, numbered("s", s));
        shelf.Flags = kAllMarks;
        book::AddShelf(library, shelf);
        TBookShelf& added = *library.Shelves[library.ShelfCount - 1];
        for (int b = 0; b < 1000; ++b) {
            TBook record{};
            setFieldText(record.Author, "Author");
            setFieldText(record.Title, numbered("Title ", b));
            setFieldText(record.Id, numbered("books/", s) + numbered("/", b));
            setFieldText(record.BookType, ".fb2");
            record.Flags = kAllMarks;
            book::AddBook(added, record);
        }
        const std::string folder = g_home + numbered("Books/Shelf ", s) + "/";
        if (!std::filesystem::exists(folder)) {
            std::filesystem::create_directories(folder);
            for (int b = 0; b < 1000; ++b) {
                std::ofstream(folder + numbered("Title ", b) + ".fb2") << "book";
            }
        }
    }
}

std::string folderFor(int books) {
    return g_home + numbered("BookLibrary", books) + "/";
}

void BM_SaveLibrary(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    TBookLibrary library{};
    fillLibrary(library, books);
    const TMoney money{};
    for (auto _ : state) {
        if (!book::SaveBookLibraryToFile(library, money, folderFor(books), "BookShelfs", "Books")) {
            state.SkipWithError("save failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * books);
    book::DeleteBookLibrary(library);
}

void BM_LoadLibraryWithMerge(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    {
        TBookLibrary library{};
        fillLibrary(library, books);
        book::SaveBookLibraryToFile(library, TMoney{}, folderFor(books), "BookShelfs", "Books");
        book::DeleteBookLibrary(library);
    }
    for (auto _ : state) {
        TBookLibrary library{};
        TMoney money{};
        book::LoadBookLibraryFromFile(library, money, folderFor(books), "BookShelfs", "Books",
                                      true);
        state.PauseTiming();
        int loaded = 0;
        for (int s = 0; s < library.ShelfCount; ++s) {
            loaded += library.Shelves[s]->BookCount;
            if (library.Shelves[s]->BookCount > 0 &&
                library.Shelves[s]->BookList[0]->Flags != kAllMarks) {
                state.SkipWithError("marks were not merged");
            }
        }
        if (loaded != books) {
            state.SkipWithError("books missing after load");
        }
        book::DeleteBookLibrary(library);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * books);
}

void BM_MD5Ours(benchmark::State& state) {
    const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(book::MD5String(data));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_MD5OpenSSL(benchmark::State& state) {
    const std::string data(static_cast<std::size_t>(state.range(0)), 'x');
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr);
        EVP_DigestUpdate(context.get(), data.data(), data.size());
        EVP_DigestFinal_ex(context.get(), digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_SaveLibrary)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLibraryWithMerge)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MD5Ours)->Arg(64)->Arg(301)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_MD5OpenSSL)->Arg(64)->Arg(301)->Arg(4096)->Arg(1 << 20);

int main(int argc, char** argv) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillbox-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    g_home = pattern + "/";
    ::setenv("QUILLBOX_HOME", g_home.c_str(), 1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::filesystem::remove_all(pattern);
    return 0;
}
