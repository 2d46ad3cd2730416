#pragma once
// One open file descriptor, owned: closed when the object goes, moved but never
// copied. -1 stands for "none".

#include <unistd.h>

#include <utility>

namespace quillbox::platform {

class FileDescriptor {
  public:
    FileDescriptor() noexcept = default;
    // Takes ownership of fd (which may be -1, e.g. a failed open()).
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // The descriptor, still owned by this object; -1 when there is none.
    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }

    // Gives up ownership: returns the descriptor, which the caller must close.
    int release() noexcept { return std::exchange(m_fd, -1); }

    // Closes the current descriptor (if any) and takes ownership of fd.
    void reset(int fd = -1) noexcept {
        const int old = std::exchange(m_fd, fd);
        if (old >= 0) {
            ::close(old);
        }
    }

    // Closes now and returns what close() says (0 when there was nothing to
    // close): on some file systems (network, FAT on a pulled drive) a failed
    // write only shows up here.
    int close() noexcept {
        const int old = release();
        return old >= 0 ? ::close(old) : 0;
    }

  private:
    int m_fd = -1;
};

}  // namespace quillbox::platform
