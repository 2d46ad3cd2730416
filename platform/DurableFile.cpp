#include "platform/DurableFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <memory>
#include <random>

namespace quillbox::platform {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;
constexpr std::size_t kLongestStem = 200;
constexpr std::size_t kTagLength = 8;
constexpr std::string_view kSuffix = ".qbtmp";
constexpr std::string_view kTagCharacters = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kCreateAttempts = 100;

Error systemError(const std::string& what, const std::string& path, int code) {
    return Error{code, what + " " + path + ": " + std::strerror(code)};
}

// The folder part of path with its trailing '/', or "" for a bare name.
std::string folderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string openableFolder(const std::string& folder) {
    return folder.empty() ? std::string(".") : folder;
}

bool isTagCharacter(char c) {
    return kTagCharacters.find(c) != std::string_view::npos;
}

// The process id in a name of our temporary scheme; nullopt for any other name.
std::optional<pid_t> temporaryOwner(std::string_view name) {
    if (name.size() < 1 + 1 + 1 + 1 + 1 + kTagLength + kSuffix.size() || name.front() != '.' ||
        !name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_suffix(kSuffix.size());
    const std::string_view tag = name.substr(name.size() - kTagLength);
    name.remove_suffix(kTagLength);
    if (name.back() != '.') {
        return std::nullopt;
    }
    for (const char c : tag) {
        if (!isTagCharacter(c)) {
            return std::nullopt;
        }
    }
    name.remove_suffix(1);
    const std::size_t dot = name.rfind('.');
    // At least one character of the target's name lies between the dots.
    if (dot == std::string_view::npos || dot < 2 || dot + 1 == name.size()) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(dot + 1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.front() == '0' ||
        pid <= 1) {
        return std::nullopt;
    }
    return pid;
}

bool processIsGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the regular files of our scheme in folder whose process has ended.
// Best effort: a folder that cannot be read is simply left as it is.
void removeStaleTemporaries(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> stream(::opendir(openableFolder(folder).c_str()),
                                                     &::closedir);
    if (!stream) {
        return;
    }
    const int folderFd = ::dirfd(stream.get());
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::optional<pid_t> owner = temporaryOwner(entry->d_name);
        if (!owner || *owner == ::getpid() || !processIsGone(*owner)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
    }
}

std::string randomTag() {
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kTagCharacters.size() - 1);
    std::string tag(kTagLength, ' ');
    for (char& c : tag) {
        c = kTagCharacters[pick(random)];
    }
    return tag;
}

// Flushes the folder entry of a renamed file. A folder that cannot be synced
// does not undo a rename that has happened, so errors are not reported.
void syncFolder(const std::string& folder) {
    const FileDescriptor fd(
        ::open(openableFolder(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

}  // namespace

std::string temporaryPathFor(const std::string& target, std::string_view tag) {
    const std::string folder = folderPart(target);
    std::string name = target.substr(folder.size());
    if (name.size() > kLongestStem) {
        // Keep whole UTF-8 characters: some drives refuse broken names.
        std::size_t cut = kLongestStem;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        name.resize(cut);
    }
    return folder + "." + name + "." + std::to_string(::getpid()) + "." + std::string(tag) +
           std::string(kSuffix);
}

DurableFile::~DurableFile() {
    discard();
}

Status DurableFile::create(const std::string& target, const DurableOptions& options) {
    discard();
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return systemError("cannot replace", target, EISDIR);
    }
    const std::string folder = folderPart(target);
    removeStaleTemporaries(folder);

    const auto mode = static_cast<mode_t>(options.mode & 07777);
    const int attempts = options.fixedTag ? 1 : kCreateAttempts;
    std::string temporary;
    int created = -1;
    for (int attempt = 0; attempt < attempts && created < 0; ++attempt) {
        temporary = temporaryPathFor(target, options.fixedTag ? *options.fixedTag : randomTag());
        // O_EXCL and O_NOFOLLOW: whatever lies at the name (a link, a file of
        // someone else) is never opened, followed or truncated.
        created =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (created < 0 && errno != EEXIST) {
            break;
        }
    }
    if (created < 0) {
        return systemError("cannot create", temporary, errno);
    }
    FileDescriptor fd(created);
    // The umask may have narrowed the bits; the file gets exactly mode.
    if (options.exactMode && ::fchmod(fd.get(), mode) != 0) {
        const int code = errno;
        fd.reset();
        ::unlink(temporary.c_str());
        return systemError("cannot set the mode of", temporary, code);
    }
    m_target = target;
    m_temporary = std::move(temporary);
    m_fd = std::move(fd);
    m_options = options;
    return Done{};
}

Status DurableFile::fail(Error error) {
    m_failure = error;
    return error;
}

Status DurableFile::writeOut(const char* data, std::size_t size) {
    std::size_t left = size;
    while (left > 0) {
        const ssize_t written = ::write(m_fd.get(), data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return fail(systemError("cannot write", m_temporary, written < 0 ? errno : EIO));
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    m_written += size;
    if (m_options.durable && m_options.writebackStep > 0 &&
        m_written - m_writebackFrom >= m_options.writebackStep) {
        // Only a hint: a failure here shows up in the sync at the end.
        (void)::sync_file_range(m_fd.get(), static_cast<off64_t>(m_writebackFrom),
                                static_cast<off64_t>(m_written - m_writebackFrom),
                                SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_written;
    }
    return Done{};
}

Status DurableFile::write(const void* data, std::size_t size) {
    if (m_failure) {
        return *m_failure;
    }
    if (!m_fd.valid()) {
        return Error{EBADF, "no file is open for writing"};
    }
    const auto* bytes = static_cast<const char*>(data);
    // Large blocks go straight to the file when nothing waits before them.
    if (m_buffer.empty() && size >= kBufferSize) {
        return writeOut(bytes, size);
    }
    while (size > 0) {
        if (m_buffer.capacity() < kBufferSize) {
            m_buffer.reserve(kBufferSize);
        }
        const std::size_t part = std::min(size, kBufferSize - m_buffer.size());
        m_buffer.insert(m_buffer.end(), bytes, bytes + part);
        bytes += part;
        size -= part;
        if (m_buffer.size() == kBufferSize) {
            if (Status flushed = flush(); !flushed) {
                return flushed;
            }
        }
    }
    return Done{};
}

Status DurableFile::flush() {
    if (m_failure) {
        return *m_failure;
    }
    if (m_buffer.empty()) {
        return Done{};
    }
    if (!m_fd.valid()) {
        return Error{EBADF, "no file is open for writing"};
    }
    Status written = writeOut(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return written;
}

Status DurableFile::finish() {
    if (m_failure) {
        return *m_failure;
    }
    if (m_finished) {
        return Done{};
    }
    if (!m_fd.valid()) {
        return Error{EBADF, "no file is open"};
    }
    if (Status flushed = flush(); !flushed) {
        return flushed;
    }
    if (m_options.durable && ::fsync(m_fd.get()) != 0) {
        return fail(systemError("cannot sync", m_temporary, errno));
    }
    if (m_fd.close() != 0) {
        return fail(systemError("cannot close", m_temporary, errno));
    }
    m_finished = true;
    return Done{};
}

Status DurableFile::commit() {
    if (m_temporary.empty()) {
        return Error{EBADF, "no file to commit"};
    }
    if (Status finished = finish(); !finished) {
        discard();
        return finished;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const Error error = systemError("cannot replace", m_target, errno);
        discard();
        return error;
    }
    m_temporary.clear();
    m_finished = false;
    if (m_options.durable) {
        syncFolder(folderPart(m_target));
    }
    return Done{};
}

void DurableFile::discard() {
    m_fd.reset();
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    m_buffer.clear();
    m_written = 0;
    m_writebackFrom = 0;
    m_finished = false;
    m_failure.reset();
}

}  // namespace quillbox::platform
