#include "book/PartFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillbox::book {
namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;
// Every this many bytes the system is asked to start writing them to the
// disk, so that the final sync does not wait for the whole file at once.
constexpr std::uint64_t kWritebackStep = 8 * 1024 * 1024;

}  // namespace

PartFile::PartFile() : m_buffer(new char[kBufferBytes]) {}

PartFile::~PartFile() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
    if (!m_path.empty() && !m_committed) {
        ::unlink(m_path.c_str());
    }
}

bool PartFile::open(const std::string& nativeTarget, bool durable) {
    m_durable = durable;
    const std::size_t slash = nativeTarget.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string pattern =
        nativeTarget.substr(0, nameStart) + "." + nativeTarget.substr(nameStart) + ".XXXXXX";
    m_descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_descriptor < 0) {
        return false;
    }
    m_path = pattern;
    m_target = nativeTarget;
    return true;
}

bool PartFile::write(const char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t taken = std::min(size, kBufferBytes - m_buffered);
        std::memcpy(m_buffer.get() + m_buffered, data, taken);
        m_buffered += taken;
        data += taken;
        size -= taken;
        if (m_buffered == kBufferBytes && !flushBuffer()) {
            return false;
        }
    }
    return true;
}

bool PartFile::flushBuffer() {
    const char* data = m_buffer.get();
    std::size_t left = m_buffered;
    while (left > 0) {
        const ssize_t written = ::write(m_descriptor, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    m_written += m_buffered;
    m_buffered = 0;
    if (m_durable && m_written - m_writebackFrom >= kWritebackStep) {
        // Only a hint: a failure here shows up in the final sync.
        (void)::sync_file_range(m_descriptor, static_cast<off64_t>(m_writebackFrom),
                                static_cast<off64_t>(m_written - m_writebackFrom),
                                SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_written;
    }
    return true;
}

bool PartFile::finish() {
    if (m_descriptor < 0) {
        return false;
    }
    bool written = flushBuffer() && (!m_durable || ::fsync(m_descriptor) == 0);
    written = ::close(m_descriptor) == 0 && written;
    m_descriptor = -1;
    return written;
}

bool PartFile::commit() {
    m_committed = ::rename(m_path.c_str(), m_target.c_str()) == 0;
    return m_committed;
}

}  // namespace quillbox::book
