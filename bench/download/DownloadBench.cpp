// Download throughput from the store stand-in on 127.0.0.1: DownloadFile (the
// account request, the browser's visit and the book in 1024-byte blocks with
// progress, written to a temporary file, synced and renamed) and the plain
// HTTP layer writing to a file, each beside the curl command fetching the same
// bytes. Prints the throughput ratios at the end.
//
//   download_bench [--size=BYTES] [google benchmark flags]   (default 200 MiB)

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
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

// Seconds and bytes of every timed run, by benchmark.
std::map<std::string, std::pair<double, double>> g_totals;

void record(const std::string& name, Clock::duration elapsed, benchmark::State& state) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    state.SetIterationTime(seconds);
    g_totals[name].first += seconds;
    g_totals[name].second += static_cast<double>(g_size);
}

class QuietApplication : public TApplication {
  public:
    void ProcessMessages() override {
        if (browser != nullptr) {
            browser->pump();
        }
    }
    std::string ExeName() const override { return "/usr/bin/quillbox"; }
    platform::BrowserStandIn* browser = nullptr;
};

class QuietBar : public TProgressBar {
  public:
    void SetPosition(int position) override { benchmark::DoNotOptimize(position); }
};

class QuietLabel : public TLabel {
  public:
    void SetCaption(const char* caption) override { benchmark::DoNotOptimize(caption); }
};

// Runs a program to its end; throws when it fails.
void run(const std::vector<std::string>& arguments) {
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
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(arguments[0] + " failed");
    }
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
        const Clock::time_point start = Clock::now();
        const std::uint8_t result =
            book::DownloadFile(book, folder, user, &application, &browser, &bar, &label, false);
        record("DownloadFile", Clock::now() - start, state);
        if (result != book::kDownloadDone) {
            state.SkipWithError("the download failed");
            break;
        }
        std::filesystem::remove(folder + "Bench/Big.fb2");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

void BM_CurlCommandBook(benchmark::State& state) {
    const std::string target = g_work + "curl-book";
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        run({"curl", "-s", "-f", "-b", g_cookieFile, "-o", target, g_server + "big/1.fb2"});
        record("curl book", Clock::now() - start, state);
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
        run({"curl", "-s", "-f", "-b", g_cookieFile, "-o", target, g_server + "big/1.fb2"});
        run({"sync", target});
        record("curl+sync book", Clock::now() - start, state);
        std::filesystem::remove(target);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_size));
}

void BM_HttpGetToFile(benchmark::State& state) {
    const std::string target = g_work + "http-get";
    platform::HttpRequest request;
    request.url = g_server + "_size/" + std::to_string(g_size);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::FILE* file = std::fopen(target.c_str(), "wb");
        const Result<platform::HttpResponse> answer = platform::httpGet(
            request, [] {},
            [file](const char* data, std::size_t size) {
                return std::fwrite(data, 1, size, file) == size;
            });
        std::fclose(file);
        record("httpGet", Clock::now() - start, state);
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
        run({"curl", "-s", "-f", "-o", target, g_server + "_size/" + std::to_string(g_size)});
        record("curl plain", Clock::now() - start, state);
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
    const auto& [seconds, bytes] = g_totals[name];
    return seconds > 0 ? bytes / seconds / (1024.0 * 1024.0) : 0.0;
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
        std::printf("\n%-14s %10s\n", "", "MiB/s");
        for (const char* name :
             {"DownloadFile", "curl book", "curl+sync book", "httpGet", "curl plain"}) {
            std::printf("%-14s %10.1f\n", name, throughput(name));
        }
        if (throughput("curl book") > 0 && throughput("curl plain") > 0) {
            std::printf("DownloadFile / curl (book with cookie): %.3f\n",
                        throughput("DownloadFile") / throughput("curl book"));
            std::printf("DownloadFile / curl + sync of the file:  %.3f\n",
                        throughput("DownloadFile") / throughput("curl+sync book"));
            std::printf("httpGet to a file / curl (plain body):  %.3f\n",
                        throughput("httpGet") / throughput("curl plain"));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "download_bench: %s\n", error.what());
        status = 1;
    }
    std::filesystem::remove_all(g_work);
    return status;
}
