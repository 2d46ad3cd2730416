#include "rss/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/PathNormaliser.h"

namespace quillbox::rss {

Result<std::string> readWholeFile(const std::string& path, std::uint64_t maxBytes) {
    const platform::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        const int error = errno;
        return Error{error == ENOENT ? kFileMissing : error, "cannot open " + path};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Error{EINVAL, "not a regular file: " + path};
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        return Error{EFBIG, "file too large: " + path};
    }
    std::string bytes;
    char block[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), block, sizeof block);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{errno, "cannot read " + path};
        }
        if (got == 0) {
            break;
        }
        bytes.append(block, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) {
            return Error{EFBIG, "file too large: " + path};
        }
    }
    return bytes;
}

Status writeFileAtomically(const std::string& path, std::string_view bytes) {
    return platform::writeFileAtomically(path, bytes, 0644);
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    std::string partial;
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) {
            slash = folder.size();
        }
        partial = folder.substr(0, slash);
        if (!partial.empty()) {
            if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
        start = slash + 1;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool keepDamagedFile(const std::string& path) {
    for (int n = 0; n < 1000; ++n) {
        const std::string aside = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
        if (fileExists(aside)) {
            continue;
        }
        return std::rename(path.c_str(), aside.c_str()) == 0;
    }
    return false;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    if (folder.empty()) {
        return std::string(name);
    }
    std::string joined = folder;
    if (joined.back() != '/') {
        joined += '/';
    }
    joined.append(name);
    return joined;
}

std::string nativeFolder(const char* folder) {
    std::string path = platform::toNativePath(folder ? folder : "");
    if (path.empty()) {
        path = "./";
    }
    if (path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string hashHex(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::uint32_t crc32Of(std::string_view bytes) {
    uLong crc = ::crc32(0L, Z_NULL, 0);
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        const uInt chunk = left > (1u << 30) ? (1u << 30) : static_cast<uInt>(left);
        crc = ::crc32(crc, data, chunk);
        data += chunk;
        left -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

}  // namespace quillbox::rss
