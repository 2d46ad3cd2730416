#include "rss/fb2/Pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillbox::rss::fb2 {

namespace {

// Base64 turns 3 bytes into 4 characters, so chunks of a multiple of 3 bytes
// can be encoded one after another as a single value.
constexpr std::size_t kChunkBytes = std::size_t{3} * 16 * 1024;

class FileDescriptor {
  public:
    explicit FileDescriptor(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

// Reads until `size` bytes are in or the file ends; -1 on error.
ssize_t readFully(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, size - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
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

PictureType sniffPicture(std::string_view leadingBytes) {
    static constexpr std::string_view kJpeg("\xFF\xD8\xFF", 3);
    static constexpr std::string_view kPng("\x89PNG\r\n\x1A\n", 8);
    if (leadingBytes.substr(0, kJpeg.size()) == kJpeg) {
        return PictureType::Jpeg;
    }
    if (leadingBytes.substr(0, kPng.size()) == kPng) {
        return PictureType::Png;
    }
    return PictureType::None;
}

const char* contentTypeOf(PictureType type) {
    switch (type) {
        case PictureType::Jpeg:
            return "image/jpeg";
        case PictureType::Png:
            return "image/png";
        case PictureType::None:
            break;
    }
    return nullptr;
}

std::string PictureStore::idFor(const std::string& file) {
    if (const auto known = m_idByFile.find(file); known != m_idByFile.end()) {
        return known->second;
    }
    std::string id;
    PictureType type = PictureType::None;
    FileDescriptor fd(file);
    struct stat info {};
    if (fd.get() >= 0 && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) <= m_maxBytes) {
        char leading[8] = {};
        const ssize_t got = readFully(fd.get(), leading, sizeof leading);
        if (got > 0) {
            type = sniffPicture(std::string_view(leading, static_cast<std::size_t>(got)));
        }
    }
    if (type != PictureType::None) {
        id = "img" + std::to_string(m_pictures.size() + 1);
        m_pictures.push_back(Picture{file, id, type});
    }
    m_idByFile.emplace(file, id);
    return id;
}

bool PictureStore::writeBinaries(XmlOut& out, std::string& error) const {
    std::string chunk(kChunkBytes, '\0');
    for (const Picture& picture : m_pictures) {
        FileDescriptor fd(picture.file);
        if (fd.get() < 0) {
            error = "cannot open picture " + picture.file + ": " + std::strerror(errno);
            return false;
        }
        out.startElement("binary");
        out.attribute("id", picture.id);
        out.attribute("content-type", contentTypeOf(picture.type));
        std::uint64_t total = 0;
        for (;;) {
            const ssize_t got = readFully(fd.get(), chunk.data(), chunk.size());
            if (got < 0) {
                error = "cannot read picture " + picture.file + ": " + std::strerror(errno);
                return false;
            }
            total += static_cast<std::uint64_t>(got);
            if (total > m_maxBytes) {
                error = "picture grew past the size cap: " + picture.file;
                return false;
            }
            out.base64(chunk.data(), static_cast<std::size_t>(got));
            if (static_cast<std::size_t>(got) < chunk.size()) {
                break;
            }
        }
        if (total == 0) {
            error = "picture became empty: " + picture.file;
            return false;
        }
        out.endElement();
        out.newline();
    }
    return true;
}

}  // namespace quillbox::rss::fb2
