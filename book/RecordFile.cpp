#include "book/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

namespace quillbox::book {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

class Descriptor {
  public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor() {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_descriptor; }

  private:
    int m_descriptor;
};

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

bool writeFully(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(descriptor, data, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

bool readRecords(const std::string& path, std::size_t recordSize,
                 const std::function<void(const char* record)>& onRecord) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
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
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    return file.get() >= 0;
}

bool canReplace(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

ReplacementFile::ReplacementFile(std::string target) : m_target(std::move(target)) {}

ReplacementFile::~ReplacementFile() {
    discard();
}

bool ReplacementFile::create() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    // O_EXCL on a fresh random name: never opens someone else's file, and the
    // file gets the same permissions (after the umask) as any new file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = m_target + ".~";
        for (int i = 0; i < 8; ++i) {
            name.push_back(kLetters[pick(random)]);
        }
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            m_descriptor = descriptor;
            m_temporary = std::move(name);
            m_buffer.reserve(kBufferSize);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
    if (m_descriptor < 0) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const std::size_t room = kBufferSize - m_buffer.size();
        const std::size_t part = size < room ? size : room;
        m_buffer.insert(m_buffer.end(), bytes, bytes + part);
        bytes += part;
        size -= part;
        if (m_buffer.size() == kBufferSize && !flush()) {
            return false;
        }
    }
    return true;
}

bool ReplacementFile::appendTargetFrom(std::size_t offset) {
    const Descriptor source(::open(m_target.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (source.get() < 0 || ::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) <= offset) {
        return true;
    }
    if (::lseek(source.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return false;
    }
    std::vector<char> chunk(kBufferSize);
    for (;;) {
        const ssize_t got = readFully(source.get(), chunk.data(), chunk.size());
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!write(chunk.data(), static_cast<std::size_t>(got))) {
            return false;
        }
    }
}

bool ReplacementFile::flush() {
    const bool written = writeFully(m_descriptor, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return written;
}

bool ReplacementFile::finish() {
    if (m_descriptor < 0 || !flush() || ::fsync(m_descriptor) != 0) {
        return false;
    }
    const int descriptor = std::exchange(m_descriptor, -1);
    return ::close(descriptor) == 0;
}

bool ReplacementFile::replaceTarget() {
    if (m_descriptor >= 0 || m_temporary.empty() || m_moved) {
        return false;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return false;
    }
    m_moved = true;
    return true;
}

void ReplacementFile::discard() {
    if (m_descriptor >= 0) {
        ::close(std::exchange(m_descriptor, -1));
    }
    if (!m_temporary.empty() && !m_moved) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

void syncFolder(const std::string& path) {
    const Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
}

}  // namespace quillbox::book
