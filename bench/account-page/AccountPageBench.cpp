// Reading account pages of 1,000 to 100,000 entries: the time, and the memory
// the reader needs beside the library's own shelf and book blocks, which must
// not grow with the page. Pages are laid out as the store lays them out (one
// line per shelf, two per book) and written to a temporary file first. The
// grep command counting the lines with the book marker in the same page file
// gives the yardstick; the throughput of both is printed side by side at the end.
//
// Counters: entries (books on the page), reader_heap_bytes (peak heap during
// the read beyond the library's blocks), maxrss_growth_KiB (growth of the
// process's peak resident size while reading a page whose books all land on
// one shelf, so the library stays the same size whatever the page's length).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "book/AccountPageReader.h"
#include "book/BookLibrary.h"

extern char** environ;

namespace {

// Allocations are counted only while g_countHeap is set: during the one read
// whose heap is measured, not during the timed reads.
std::atomic<bool> g_countHeap{false};
std::atomic<std::size_t> g_heapInUse{0};
std::atomic<std::size_t> g_heapPeak{0};

// Out of line, so that the compiler does not pair the free() with a new
// expression it has inlined the replacement operator new into.
[[gnu::noinline]] void releaseBlock(void* block) {
    if (g_countHeap) {
        g_heapInUse -= malloc_usable_size(block);
    }
    std::free(block);
}

void noteAllocation(void* block) {
    if (block == nullptr || !g_countHeap) {
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
        releaseBlock(block);
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

// The page files of the run by shelves x books, written once so that the
// reader and grep read the same file; removed at the end of the run.
std::map<std::pair<int, int>, std::string> g_pages;

const std::string& pageFile(int shelves, int books) {
    std::string& path = g_pages[{shelves, books}];
    if (path.empty()) {
        path = writePage(shelves, books);
    }
    return path;
}

long fileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const long bytes = std::ftell(file);
    std::fclose(file);
    return bytes;
}

// Wall seconds, CPU seconds and bytes of every timed run of the page of 100
// shelves x 1000 books. On a busy machine the CPU figures are the steadier.
struct Totals {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double bytes = 0;
};
std::map<std::string, Totals> g_totals;

void record(const std::string& name, std::chrono::steady_clock::duration wall, double cpuSeconds,
            long bytes) {
    Totals& totals = g_totals[name];
    totals.wallSeconds += std::chrono::duration<double>(wall).count();
    totals.cpuSeconds += cpuSeconds;
    totals.bytes += static_cast<double>(bytes);
}

// CPU time (user + system) of this process so far.
double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
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

// Peak heap of one read of the page beyond the library's blocks.
std::size_t readerHeapBytes(const std::string& path) {
    TBookLibrary library{};
    TMoney money{};
    std::FILE* page = std::fopen(path.c_str(), "rb");
    g_countHeap = true;
    const std::size_t before = g_heapInUse;
    g_heapPeak = before;
    quillbox::book::readAccountPage(page, library, money);
    const std::size_t heapPeak = g_heapPeak;
    std::fclose(page);
    const std::size_t libraryBytes = libraryBlockBytes(library);
    quillbox::book::DeleteBookLibrary(library);
    g_countHeap = false;
    return heapPeak - before - libraryBytes;
}

void BM_ReadAccountPage(benchmark::State& state) {
    const int shelves = static_cast<int>(state.range(0));
    const int books = static_cast<int>(state.range(1));
    const std::string& path = pageFile(shelves, books);
    const long pageBytes = fileBytes(path);
    const std::size_t readerHeap = readerHeapBytes(path);
    for (auto _ : state) {
        TBookLibrary library{};
        TMoney money{};
        const double cpuStart = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::FILE* page = std::fopen(path.c_str(), "rb");
        const auto result = quillbox::book::readAccountPage(page, library, money);
        std::fclose(page);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const double cpu = processCpuSeconds() - cpuStart;
        if (shelves == 100 && books == 1000) {
            record("reader", elapsed, cpu, pageBytes);
        }
        if (result != quillbox::book::PageReadResult::Complete ||
            library.ShelfCount != std::min(shelves, 100)) {
            state.SkipWithError("the page was not read whole");
        }
        state.PauseTiming();
        quillbox::book::DeleteBookLibrary(library);
        state.ResumeTiming();
    }
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

// Runs grep -F -c with the book marker on path; returns the count it printed,
// or -1 when it could not run. cpuSeconds: grep's user + system time.
long grepCount(const std::string& path, double& cpuSeconds) {
    int output[2];
    if (::pipe(output) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::vector<std::string> arguments = {"grep", "-F", "-c", "<!-- book --!>", path};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "grep", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string printed;
    char buffer[64];
    for (ssize_t got; (got = ::read(output[0], buffer, sizeof(buffer))) > 0;) {
        printed.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(output[0]);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::strtol(printed.c_str(), nullptr, 10);
}

// The yardstick: grep counting the lines with the book marker (two per book)
// in the page file of 100 shelves x 1000 books, process start included.
void BM_GrepCountBookMarker(benchmark::State& state) {
    const std::string& path = pageFile(100, 1000);
    const long pageBytes = fileBytes(path);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        double cpu = 0;
        const long count = grepCount(path, cpu);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        record("grep -F -c", elapsed, cpu, pageBytes);
        if (count != 2L * 100 * 1000) {
            state.SkipWithError("grep counted the wrong number of lines");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * pageBytes);
}
BENCHMARK(BM_GrepCountBookMarker)->UseManualTime()->Unit(benchmark::kMillisecond);

// Peak resident size of a fresh process while it reads a page of one shelf:
// the library holds at most 1000 books, so any growth beyond that of the
// 1,000-entry page would be the page held in memory.
void BM_PeakResidentSizeOfOneShelfPage(benchmark::State& state) {
    const int books = static_cast<int>(state.range(0));
    const std::string& path = pageFile(1, books);
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
    state.counters["entries"] = books;
    state.counters["maxrss_growth_KiB"] = static_cast<double>(growth);
}
BENCHMARK(BM_PeakResidentSizeOfOneShelfPage)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// MB/s (10^6 bytes) by wall time and by CPU time.
std::pair<double, double> megabytesPerSecond(const std::string& name) {
    const Totals& totals = g_totals[name];
    if (totals.wallSeconds <= 0 || totals.cpuSeconds <= 0) {
        return {0.0, 0.0};
    }
    return {totals.bytes / totals.wallSeconds / 1e6, totals.bytes / totals.cpuSeconds / 1e6};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& [size, path] : g_pages) {
        ::unlink(path.c_str());
    }
    const auto [readerWall, readerCpu] = megabytesPerSecond("reader");
    const auto [grepWall, grepCpu] = megabytesPerSecond("grep -F -c");
    if (readerWall > 0 && grepWall > 0) {
        std::printf("\nPage of 100 shelves x 1000 books, MB/s (10^6 bytes per second):\n");
        std::printf("%-12s %12s %12s\n", "", "by wall time", "by CPU time");
        std::printf("%-12s %12.1f %12.1f\n", "reader", readerWall, readerCpu);
        std::printf("%-12s %12.1f %12.1f\n", "grep -F -c", grepWall, grepCpu);
        std::printf("%-12s %12.3f %12.3f\n", "reader/grep", readerWall / grepWall,
                    readerCpu / grepCpu);
    }
    return 0;
}
