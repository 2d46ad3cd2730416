// Reading account pages of 1,000 to 100,000 entries: the time, and the memory
// the reader needs beside the library's own shelf and book blocks, which must
// not grow with the page. Pages are laid out as the store lays them out (one
// line per shelf, two per book) and written to a temporary file first.
//
// Counters: entries (books on the page), reader_heap_bytes (peak heap during
// the read beyond the library's blocks), maxrss_growth_KiB (growth of the
// process's peak resident size while reading a page whose books all land on
// one shelf, so the library stays the same size whatever the page's length).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "book/AccountPageReader.h"
#include "book/BookLibrary.h"

namespace {

std::atomic<std::size_t> g_heapInUse{0};
std::atomic<std::size_t> g_heapPeak{0};

void noteAllocation(void* block) {
    if (block == nullptr) {
        return;
    }
    const std::size_t now = g_heapInUse += malloc_usable_size(block);
    std::size_t peak = g_heapPeak.load();
    while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    noteAllocation(block);
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    noteAllocation(block);
    return block;
}

void operator delete(void* block) noexcept {
    if (block != nullptr) {
        g_heapInUse -= malloc_usable_size(block);
        std::free(block);
    }
}

void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace {

// Writes a page of shelves x books in the store's layout; returns its path.
std::string writePage(int shelves, int books) {
    char path[] = "/tmp/quillbox-page-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        std::abort();
    }
    std::FILE* page = ::fdopen(fd, "wb");
    std::fputs(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<html>\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n"
        "<title>Tomeport</title>\r\n</head>\r\n<body>\r\n<table class=\"bookshelf\">\r\n",
        page);
    for (int s = 1; s <= shelves; ++s) {
        std::fprintf(page,
                     "<tr class=\"shelf\"><td><!-- BookShelf --!>  Name=\xCF\xEE\xEB\xEA\xE0 "
                     "%d;Count=%d;Id=%d;<!-- BookShelf --!></td></tr>\r\n",
                     s, books, s);
        for (int b = 1; b <= books; ++b) {
            std::fprintf(page,
                         "<tr><td><!-- book --!>  Author=\xC0\xE2\xF2\xEE\xF0 %d;Title=\xCA\xED"
                         "\xE8\xE3\xE0 %d-%d;\r\nId=gen/%d/%d.fb2;BookType=.fb2;Size=%d;<!-- book "
                         "--!></td></tr>\r\n",
                         b, s, b, s, b, 1000 + b);
        }
    }
    std::fputs("</table>\r\n</body>\r\n</html>\r\n", page);
    std::fclose(page);
    return path;
}

std::size_t libraryBlockBytes(const TBookLibrary& library) {
    std::size_t bytes = 0;
    for (int s = 0; s < library.ShelfCount; ++s) {
        bytes += malloc_usable_size(library.Shelves[s]);
        for (int b = 0; b < library.Shelves[s]->BookCount; ++b) {
            bytes += malloc_usable_size(library.Shelves[s]->BookList[b]);
        }
    }
    return bytes;
}

void BM_ReadAccountPage(benchmark::State& state) {
    const int shelves = static_cast<int>(state.range(0));
    const int books = static_cast<int>(state.range(1));
    const std::string path = writePage(shelves, books);
    std::size_t readerHeap = 0;
    long pageBytes = 0;
    for (auto _ : state) {
        TBookLibrary library{};
        TMoney money{};
        std::FILE* page = std::fopen(path.c_str(), "rb");
        std::fseek(page, 0, SEEK_END);
        pageBytes = std::ftell(page);
        std::rewind(page);
        const std::size_t before = g_heapInUse;
        g_heapPeak = before;
        const auto result = quillbox::book::readAccountPage(page, library, money);
        readerHeap = g_heapPeak - before - libraryBlockBytes(library);
        std::fclose(page);
        if (result != quillbox::book::PageReadResult::Complete ||
            library.ShelfCount != std::min(shelves, 100)) {
            state.SkipWithError("the page was not read whole");
        }
        state.PauseTiming();
        quillbox::book::DeleteBookLibrary(library);
        state.ResumeTiming();
    }
    ::unlink(path.c_str());
    state.counters["entries"] = static_cast<double>(shelves) * books;
    state.counters["reader_heap_bytes"] = static_cast<double>(readerHeap);
    state.SetBytesProcessed(state.iterations() * pageBytes);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(shelves) * books);
}
BENCHMARK(BM_ReadAccountPage)
    ->Args({1, 1000})
    ->Args({10, 1000})
    ->Args({100, 1000})
    ->Unit(benchmark::kMillisecond);

// Peak resident size of a fresh process while it reads a page of one shelf:
// the library holds at most 1000 books, so any growth beyond that of the
// 1,000-entry page would be the page held in memory.
void BM_PeakResidentSizeOfOneShelfPage(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    const std::string path = writePage(1, books);
    long growth = 0;
    for (auto _ : state) {
        int channel[2];
        if (::pipe(channel) != 0) {
            state.SkipWithError("pipe");
            break;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            const long before = usage.ru_maxrss;
            TBookLibrary library{};
            TMoney money{};
            std::FILE* page = std::fopen(path.c_str(), "rb");
            quillbox::book::readAccountPage(page, library, money);
            std::fclose(page);
            ::getrusage(RUSAGE_SELF, &usage);
            const long delta = usage.ru_maxrss - before;
            if (::write(channel[1], &delta, sizeof(delta)) != sizeof(delta)) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(channel[1]);
        if (::read(channel[0], &growth, sizeof(growth)) != sizeof(growth)) {
            state.SkipWithError("child failed");
        }
        ::close(channel[0]);
        ::waitpid(child, nullptr, 0);
    }
    ::unlink(path.c_str());
    state.counters["entries"] = books;
    state.counters["maxrss_growth_KiB"] = static_cast<double>(growth);
}
BENCHMARK(BM_PeakResidentSizeOfOneShelfPage)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
