#pragma once
// The scratch folder of a file-based fuzzer: made once per process under
// $QUILLBOX_FUZZ_TMP (scripts/fuzz.sh points it at a folder it removes at the
// end, also after a crash) or /tmp, and removed with everything in it when the
// process exits normally. Helpers write and remove the files of one input.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace quillbox::fuzz {

// The process's scratch folder with a trailing '/'; traps when it cannot be made.
// The text lives for the whole process (never freed), so the exit handler that
// removes the folder can still read it.
inline const std::string& scratchFolder() {
    static const std::string* const folder = [] {
        const char* base = std::getenv("QUILLBOX_FUZZ_TMP");
        std::string pattern = (base != nullptr && *base == '/') ? base : "/tmp";
        pattern += "/quillbox-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            __builtin_trap();
        }
        return new std::string(pattern + "/");
    }();
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code error;
                                          std::filesystem::remove_all(*folder, error);
                                      }) == 0;
    (void)removedAtExit;
    return *folder;
}

// Replaces the file at path with bytes; traps when that fails, since every later
// check would then test the wrong file.
inline void writeWholeFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        __builtin_trap();
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            __builtin_trap();
        }
        done += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
}

// Empties the folder at path, keeping the folder itself.
inline void emptyFolder(const std::string& path) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        std::filesystem::remove_all(entry.path(), error);
    }
}

}  // namespace quillbox::fuzz
