#include "rss/fb2/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillbox::rss::fb2 {

namespace {

Error systemError(int code, const std::string& what, const std::string& path) {
    return Error{code, what + " " + path + ": " + std::strerror(errno)};
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

AtomicFile::~AtomicFile() {
    discard();
}

Status AtomicFile::open(const std::string& target) {
    discard();
    m_target = target;
    m_temporary = target + ".tmp";
    // O_NOFOLLOW: a link planted at the temporary name must not redirect the write;
    // O_NONBLOCK: a FIFO there must not hang us (no effect on regular files).
    const int fd = ::open(m_temporary.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        Error error = systemError(1, "cannot create", m_temporary);
        m_temporary.clear();
        return error;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        Error error{1, "not a regular file: " + m_temporary};
        m_temporary.clear();
        return error;
    }
    m_fd = fd;
    return Done{};
}

Status AtomicFile::commit() {
    if (m_fd < 0) {
        return Error{2, "no file is open"};
    }
    if (::fsync(m_fd) != 0) {
        Error error = systemError(2, "cannot sync", m_temporary);
        discard();
        return error;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        Error error = systemError(2, "cannot close", m_temporary);
        discard();
        return error;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        Error error = systemError(2, "cannot rename to", m_target);
        discard();
        return error;
    }
    m_temporary.clear();
    // The rename is durable only once the folder itself is synced.
    const int folder = ::open(folderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return Done{};
}

void AtomicFile::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

}  // namespace quillbox::rss::fb2
