#include "book/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/FileDescriptor.h"

namespace quillbox::book {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// Reads up to size bytes; fewer only at the end of the file. -1 on error.
ssize_t readFully(int descriptor, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(descriptor, data + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool readRecords(const std::string& path, std::size_t recordSize,
                 const std::function<void(const char* record)>& onRecord) {
    const platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const std::size_t recordsPerChunk = kBufferSize / recordSize + 1;
    std::vector<char> chunk(recordsPerChunk * recordSize);
    for (;;) {
        const ssize_t got = readFully(file.get(), chunk.data(), chunk.size());
        if (got <= 0) {
            break;
        }
        const std::size_t whole = static_cast<std::size_t>(got) / recordSize;
        for (std::size_t i = 0; i < whole; ++i) {
            onRecord(chunk.data() + i * recordSize);
        }
        if (static_cast<std::size_t>(got) < chunk.size()) {
            break;
        }
    }
    return true;
}

bool createEmptyIfMissing(const std::string& path) {
    const platform::FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    return file.get() >= 0;
}

bool canReplace(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

bool appendFileFrom(platform::DurableFile& file, const std::string& source, std::size_t offset) {
    const platform::FileDescriptor input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!input.valid() || ::fstat(input.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) <= offset) {
        return true;
    }
    if (::lseek(input.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return false;
    }
    std::vector<char> chunk(kBufferSize);
    for (;;) {
        const ssize_t got = readFully(input.get(), chunk.data(), chunk.size());
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!file.write(chunk.data(), static_cast<std::size_t>(got))) {
            return false;
        }
    }
}

}  // namespace quillbox::book
