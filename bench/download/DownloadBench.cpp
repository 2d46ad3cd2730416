// Download throughput from the store stand-in on 127.0.0.1: DownloadFile (the
// account request, the browser's visit and the book with its progress, written
// to a temporary file and renamed) and the plain HTTP layer writing to a file,
// each beside the curl command fetching the same bytes. Prints wall time, CPU
// time (user + system; for curl the child's) and throughput of each side by
// side at the end, with the ratios.
//
//   download_bench [--size=BYTES] [google benchmark flags]   (default 200 MiB)

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/support/StoreServerProcess.h"
#include "book/AccountRequest.h"
#include "book/DownloadFile.h"
#include "book/MD5.h"
#include "common/FixedText.h"
#include "common/HostObjects.h"
#include "platform/BrowserStandIn.h"
#include "platform/Http.h"

extern char** environ;

using namespace quillbox;
using Clock = std::chrono::steady_clock;

namespace {

std::uint64_t g_size = 200ull * 1024 * 1024;
std::string g_work;    // temporary folder of the run, with a trailing '/'
std::string g_server;  // "http://127.0.0.1:PORT/"
std::string g_cookieFile;

// Wall seconds, CPU seconds and bytes of every timed run, by benchmark.
struct Totals {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double bytes = 0;
    int runs = 0;
};
std::map<std::string, Totals> g_totals;

void record(const std::string& name, Clock::duration elapsed, double cpuSeconds,
            benchmark::State& state) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    state.SetIterationTime(seconds);
    Totals& totals = g_totals[name];
    totals.wallSeconds += seconds;
    totals.cpuSeconds += cpuSeconds;
    totals.bytes += static_cast<double>(g_size);
    ++totals.runs;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// User + system time of this process (all its threads) so far.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The window's objects do nothing but count their calls.
class QuietApplication : public TApplication {
  public:
    void ProcessMessages() override {
        ++calls;
        if (browser != nullptr) {
            browser->pump();
        }
    }
    std::string ExeName() const override { return "/usr/bin/quillbox"; }
    platform::BrowserStandIn* browser = nullptr;
    long calls = 0;
};

class QuietBar : public TProgressBar {
  public:
    void SetPosition(int position) override {
        benchmark::DoNotOptimize(position);
        ++calls;
    }
    long calls = 0;
};

class QuietLabel : public TLabel {
  public:
    void SetCaption(const char* caption) override {
        benchmark::DoNotOptimize(caption);
        ++calls;
    }
    long calls = 0;
};

// Runs a program to its end; returns its user + system time. Throws when it fails.
double run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + arguments[0]);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments[0] + " failed");
    }
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The fixture of the benchmark's account: one shelf with one big book.
std::string writeFixtures() {
    const std::string fixtures = g_work + "fixtures/";
    std::filesystem::create_directories(fixtures + "accounts");
    std::filesystem::create_directories(fixtures + "files");
    std::ofstream(fixtures + "accounts/bench.account")
        << "password: pw\nshelf: 1 | Bench\nbook: Author | Big | big/1.fb2 | .fb2 | bytes="
        << g_size << "\n";
    return fixtures;
}

TUserData benchUser() {
    TUserData user{};
    user.Login.assign("bench");
    user.Password.assign("pw");
    return user;
}

TBook bigBook() {
    TBook book{};
    setFieldText(book.Author, "Author");
    setFieldText(book.Title, "Big");
    setFieldText(book.Id, "big/1.fb2");
    setFieldText(book.BookType, ".fb2");
    book.Size = static_cast<std::uint32_t>(g_size);
    setFieldText(book.ShelfName, "Bench");
    return book;
}

void BM_DownloadFile(benchmark::State& state) {
    const std::string folder = g_work + "Books/";
    const TBook book = bigBook();
    const TUserData user = benchUser();
    platform::BrowserStandIn browser;
    QuietApplication application;
    application.browser = &browser;
    QuietBar bar;
    QuietLabel label;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const Clock::time_point start = Clock::now();
        const std::uint8_t result =
            book::DownloadFile(book, folder, user, &application, &browser, &bar, &label, false);
        record("DownloadFile", Clock::now() - start, processCpuSeconds() - cpuStart, state);
        if (result != book::kDownloadDone) {
            state.SkipWithError("the download failed");
            break;
        }
        std::filesystem::remove(folder + "Bench/Big.fb2");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
    const auto perRun = [&state](long calls) {
        return static_cast<double>(calls) / static_cast<double>(state.iterations());
    };
    state.counters["bar_moves"] = perRun(bar.calls);
    state.counters["captions"] = perRun(label.calls);
    state.counters["message_processing"] = perRun(application.calls);
}

void BM_CurlCommandBook(benchmark::State& state) {
    const std::string target = g_work + "curl-book";
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpu =
            run({"curl", "-s", "-f", "-b", g_cookieFile, "-o", target, g_server + "big/1.fb2"});
        record("curl book", Clock::now() - start, cpu, state);
        if (std::filesystem::file_size(target) != g_size) {
            state.SkipWithError("curl fetched the wrong size");
            break;
        }
        std::filesystem::remove(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

// The same, with the file made as durable as DownloadFile makes its book.
void BM_CurlCommandBookSynced(benchmark::State& state) {
    const std::string target = g_work + "curl-book";
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpu =
            run({"curl", "-s", "-f", "-b", g_cookieFile, "-o", target, g_server + "big/1.fb2"}) +
            run({"sync", target});
        record("curl+sync book", Clock::now() - start, cpu, state);
        std::filesystem::remove(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

void BM_HttpGetToFile(benchmark::State& state) {
    const std::string target = g_work + "http-get";
    platform::HttpRequest request;
    request.url = g_server + "_size/" + std::to_string(g_size);
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const Clock::time_point start = Clock::now();
        std::FILE* file = std::fopen(target.c_str(), "wb");
        const Result<platform::HttpResponse> answer = platform::httpGet(
            request, [] {},
            [file](const char* data, std::size_t size) {
                return std::fwrite(data, 1, size, file) == size;
            });
        std::fclose(file);
        record("httpGet", Clock::now() - start, processCpuSeconds() - cpuStart, state);
        if (!answer || std::filesystem::file_size(target) != g_size) {
            state.SkipWithError("the GET failed");
            break;
        }
        std::filesystem::remove(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

void BM_CurlCommandPlain(benchmark::State& state) {
    const std::string target = g_work + "curl-plain";
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpu =
            run({"curl", "-s", "-f", "-o", target, g_server + "_size/" + std::to_string(g_size)});
        record("curl plain", Clock::now() - start, cpu, state);
        std::filesystem::remove(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

BENCHMARK(BM_DownloadFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CurlCommandBook)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CurlCommandBookSynced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HttpGetToFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CurlCommandPlain)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

double throughput(const std::string& name) {
    const Totals& totals = g_totals[name];
    return totals.wallSeconds > 0 ? totals.bytes / totals.wallSeconds / (1024.0 * 1024.0) : 0.0;
}

// Mean wall and CPU seconds of one run.
double meanWall(const std::string& name) {
    const Totals& totals = g_totals[name];
    return totals.runs > 0 ? totals.wallSeconds / totals.runs : 0.0;
}

double meanCpu(const std::string& name) {
    const Totals& totals = g_totals[name];
    return totals.runs > 0 ? totals.cpuSeconds / totals.runs : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--size=", 7) == 0) {
            g_size = std::stoull(argv[i] + 7);
        } else {
            rest.push_back(argv[i]);
        }
    }
    int restCount = static_cast<int>(rest.size());
    char pattern[] = "/tmp/quillbox-download-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    g_work = std::string(pattern) + "/";
    int status = 0;
    try {
        setenv("QUILLBOX_HOME", g_work.c_str(), 1);
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
        const quillbox::bench::StoreServerProcess store({"--fixtures", writeFixtures()});
        g_server = store.baseUrl();
        setenv("QUILLBOX_STORE_URL", g_server.c_str(), 1);
        // The curl command logs in once, as the browser would, and keeps the cookie.
        g_cookieFile = g_work + "cookies";
        run({"curl", "-s", "-f", "-c", g_cookieFile, "-o", "/dev/null",
             g_server + "bmanager/bookshelfuser_.php?login=bench&password=" +
                 book::AccountKey(book::localDayOfMonth(), "bench", "pw")});

        benchmark::Initialize(&restCount, rest.data());
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        std::printf("\nMean of one run of %.0f MiB:\n", static_cast<double>(g_size) / 1048576.0);
        std::printf("%-14s %10s %10s %10s\n", "", "wall s", "CPU s", "MiB/s");
        for (const char* name :
             {"DownloadFile", "curl book", "curl+sync book", "httpGet", "curl plain"}) {
            std::printf("%-14s %10.3f %10.3f %10.1f\n", name, meanWall(name), meanCpu(name),
                        throughput(name));
        }
        if (throughput("curl book") > 0 && throughput("curl plain") > 0 &&
            meanCpu("curl book") > 0 && meanCpu("curl plain") > 0) {
            std::printf("DownloadFile / curl (book with cookie): throughput %.3f, CPU %.3f\n",
                        throughput("DownloadFile") / throughput("curl book"),
                        meanCpu("DownloadFile") / meanCpu("curl book"));
            std::printf("DownloadFile / curl + sync of the file:  throughput %.3f\n",
                        throughput("DownloadFile") / throughput("curl+sync book"));
            std::printf("httpGet to a file / curl (plain body):  throughput %.3f, CPU %.3f\n",
                        throughput("httpGet") / throughput("curl plain"),
                        meanCpu("httpGet") / meanCpu("curl plain"));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "download_bench: %s\n", error.what());
        status = 1;
    }
    std::filesystem::remove_all(g_work);
    return status;
}
