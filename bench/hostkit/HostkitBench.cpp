// CopyFileToDevice against cp for a 200 MB file, and the settings round trip.
// The copy is durable (synced before it counts), so cp is timed both alone and
// followed by an fsync of the copy. Between runs the written data is flushed
// outside the timing so that every run starts with a clean page cache.
//
// QUILLBOX_BENCH_DIR picks the folder for the files (default: the system's
// temporary folder); point it at a mounted stick to measure a real reader.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "contracts/Hostkit.h"

extern char** environ;

namespace {

constexpr std::size_t kFileSize = 200u * 1024 * 1024;

struct BenchFolder {
    std::string root;
    std::string source;
    std::string reader;

    BenchFolder() {
        const char* configured = std::getenv("QUILLBOX_BENCH_DIR");
        const std::filesystem::path base = configured != nullptr
                                               ? std::filesystem::path(configured)
                                               : std::filesystem::temp_directory_path();
        root = (base / ("quillbox-bench-" + std::to_string(::getpid()))).string();
        reader = root + "/reader";
        source = root + "/source.fb2";
        std::filesystem::create_directories(reader + "/News");
        std::ofstream out(source, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t written = 0; written < kFileSize; written += block.size()) {
            for (std::size_t i = 0; i < block.size(); ++i) {
                block[i] = static_cast<char>((written + i * 7) % 253);
            }
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        out.close();
        ::setenv("QUILLBOX_DRIVES", ("E=" + reader).c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        ::sync();
    }
    ~BenchFolder() {
        std::error_code error;
        std::filesystem::remove_all(root, error);
    }
};

BenchFolder& folder() {
    static BenchFolder instance;
    return instance;
}

void removeCopyAndFlush(const std::string& path) {
    std::filesystem::remove(path);
    ::sync();
}

void fsyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool runCp(const std::string& from, const std::string& to) {
    std::string program = "cp";
    std::vector<char*> argv = {program.data(), const_cast<char*>(from.c_str()),
                               const_cast<char*>(to.c_str()), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, "cp", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class GapMeter : public TApplication {
  public:
    void ProcessMessages() override {
        const auto now = std::chrono::steady_clock::now();
        longestGap =
            std::max(longestGap, std::chrono::duration<double, std::milli>(now - m_last).count());
        m_last = now;
        ++calls;
    }
    std::string ExeName() const override { return "quillbox"; }
    void start() { m_last = std::chrono::steady_clock::now(); }

    double longestGap = 0;
    long calls = 0;

  private:
    std::chrono::steady_clock::time_point m_last;
};

void BM_CopyFileToDevice(benchmark::State& state) {
    BenchFolder& files = folder();
    const std::string target = files.reader + "/News/copy.fb2";
    double longestGap = 0;
    for (auto _ : state) {
        GapMeter application;
        application.start();
        if (!CopyFileToDevice(files.source.c_str(), "E:\\News\\copy.fb2", &application, nullptr,
                              nullptr)) {
            state.SkipWithError("copy failed");
            break;
        }
        longestGap = std::max(longestGap, application.longestGap);
        state.PauseTiming();
        removeCopyAndFlush(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
    state.counters["longest_wait_ms"] = longestGap;
}

void BM_Cp(benchmark::State& state) {
    BenchFolder& files = folder();
    const std::string target = files.reader + "/News/cp.fb2";
    for (auto _ : state) {
        if (!runCp(files.source, target)) {
            state.SkipWithError("cp failed");
            break;
        }
        state.PauseTiming();
        removeCopyAndFlush(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_CpThenFsync(benchmark::State& state) {
    BenchFolder& files = folder();
    const std::string target = files.reader + "/News/cp.fb2";
    for (auto _ : state) {
        if (!runCp(files.source, target)) {
            state.SkipWithError("cp failed");
            break;
        }
        fsyncFile(target);
        state.PauseTiming();
        removeCopyAndFlush(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_SaveAndLoadUserData(benchmark::State& state) {
    folder();
    TUserData data{};
    data.Login.assign("\xC8\xE2\xE0\xED");
    data.Password.assign(std::string(200, '\xE0'));
    for (auto _ : state) {
        SaveUserData(data);
        TUserData loaded{};
        LoadUserData(&loaded);
        benchmark::DoNotOptimize(loaded);
    }
}

}  // namespace

BENCHMARK(BM_CopyFileToDevice)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_Cp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);
BENCHMARK(BM_CpThenFsync)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_SaveAndLoadUserData)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
