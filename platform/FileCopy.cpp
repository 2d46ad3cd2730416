#include "platform/FileCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/DurableFile.h"
#include "platform/FileDescriptor.h"

namespace quillbox::platform {
namespace {

// Bytes moved per step: small enough for smooth progress and a prompt stop,
// large enough that the system calls cost nothing next to the copying.
constexpr std::size_t kChunkSize = 4u << 20;
// Data written but not yet on the drive is kept below this, so the progress
// shown follows the drive and the final sync is short even on a slow stick.
constexpr std::uint64_t kWritebackWindow = 32u << 20;
constexpr auto kKeepAliveInterval = std::chrono::milliseconds(10);

Error systemError(const std::string& what, const std::string& path, int code) {
    return Error{code, what + " " + path + ": " + std::strerror(code)};
}

Status writeAll(int fd, const char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Error{errno, std::string("write failed: ") + std::strerror(errno)};
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return Done{};
}

// Moves one chunk from in to out at the same offset: in the kernel where the
// file systems allow it, else through a buffer.
class ChunkCopier {
  public:
    Result<std::size_t> copy(int in, int out, std::uint64_t offset, std::size_t length) {
        while (m_inKernel) {
            loff_t inOffset = static_cast<loff_t>(offset);
            loff_t outOffset = static_cast<loff_t>(offset);
            const ssize_t moved = ::copy_file_range(in, &inOffset, out, &outOffset, length, 0);
            if (moved > 0) {
                return static_cast<std::size_t>(moved);
            }
            if (moved < 0 && errno == EINTR) {
                continue;
            }
            if (moved < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS &&
                errno != EOPNOTSUPP && errno != EBADF && errno != EPERM) {
                return Error{errno, std::string("copy failed: ") + std::strerror(errno)};
            }
            // Refused, or a zero some file systems answer before the real end:
            // the buffered path decides.
            m_inKernel = false;
        }
        m_buffer.resize(length);
        ssize_t read = 0;
        do {
            read = ::pread(in, m_buffer.data(), length, static_cast<off_t>(offset));
        } while (read < 0 && errno == EINTR);
        if (read < 0) {
            return Error{errno, std::string("read failed: ") + std::strerror(errno)};
        }
        const Status written =
            writeAll(out, m_buffer.data(), static_cast<std::size_t>(read), offset);
        if (!written) {
            return written.error();
        }
        return static_cast<std::size_t>(read);
    }

  private:
    bool m_inKernel = true;
    std::vector<char> m_buffer;
};

// Starts writing a range to the drive, and waits for older ranges, so that
// dirty data stays within the window.
class Writeback {
  public:
    explicit Writeback(int fd) : m_fd(fd) {}

    Status written(std::uint64_t end) {
        if (!m_works) {
            return Done{};
        }
        if (!call(m_started, end - m_started, SYNC_FILE_RANGE_WRITE)) {
            return failure();
        }
        m_started = end;
        if (m_works && end > m_waited + kWritebackWindow) {
            const std::uint64_t until = end - kWritebackWindow;
            if (!call(m_waited, until - m_waited,
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                          SYNC_FILE_RANGE_WAIT_AFTER)) {
                return failure();
            }
            m_waited = until;
        }
        return Done{};
    }

  private:
    // False only for a real write error; a file system without the call just
    // leaves the work to the final fsync.
    bool call(std::uint64_t offset, std::uint64_t length, unsigned flags) {
        if (::sync_file_range(m_fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                              flags) == 0) {
            return true;
        }
        if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP) {
            m_works = false;
            return true;
        }
        m_error = errno;
        return false;
    }
    Status failure() const {
        return Error{m_error, std::string("write-back failed: ") + std::strerror(m_error)};
    }

    int m_fd;
    bool m_works = true;
    int m_error = 0;
    std::uint64_t m_started = 0;
    std::uint64_t m_waited = 0;
};

// State shared by the caller's thread and the copying thread.
struct CopyState {
    enum class Phase { Copying, Written, Finished };

    std::mutex mutex;
    std::condition_variable changed;
    Phase phase = Phase::Copying;  // guarded by mutex
    bool commit = false;           // guarded by mutex
    Status outcome = Done{};       // guarded by mutex; read once Finished
    std::atomic<bool> cancelled{false};
    std::atomic<std::uint64_t> copied{0};
    std::atomic<std::uint64_t> total{0};

    void cancel() {
        cancelled = true;
        const std::lock_guard<std::mutex> lock(mutex);
        changed.notify_all();
    }
};

// Copies source into file (created for the destination) and finishes it.
Status writeTemporaryCopy(const std::string& source, const std::string& destination,
                          DurableFile& file, CopyState& state) {
    const FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        return systemError("cannot open", source, errno);
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) {
        return systemError("cannot read", source, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return systemError("not a file:", source, EINVAL);
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    state.total = size;

    if (Status created = file.create(destination); !created) {
        return created;
    }
    const int out = file.fd();
    // A drive that is plainly too full fails before any copying. (Reserving the
    // space instead would make FAT write the whole file twice, zeros first.)
    struct statvfs drive {};
    if (::fstatvfs(out, &drive) == 0 && drive.f_frsize > 0) {
        const std::uint64_t blocks = ::geteuid() == 0 ? drive.f_bfree : drive.f_bavail;
        if (blocks < size / drive.f_frsize) {
            return systemError("no room for", destination, ENOSPC);
        }
    }
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    ChunkCopier copier;
    Writeback writeback(out);
    std::uint64_t offset = 0;
    for (;;) {
        if (state.cancelled) {
            return Error{ECANCELED, "copy cancelled"};
        }
        const Result<std::size_t> moved = copier.copy(in.get(), out, offset, kChunkSize);
        if (!moved) {
            return moved.error();
        }
        if (moved.value() == 0) {
            break;
        }
        offset += moved.value();
        Status flushed = writeback.written(offset);
        if (!flushed) {
            return flushed;
        }
        state.copied = offset;
    }
    // The source may have changed size while it was read; the copy is what was read.
    if (offset != size && ::ftruncate(out, static_cast<off_t>(offset)) != 0) {
        return systemError("cannot size the copy of", destination, errno);
    }
    if (Status finished = file.finish(); !finished) {
        return finished;
    }
    state.total = offset;
    state.copied = offset;
    return Done{};
}

// Runs on the worker thread. The temporary file is removed on any failure when
// file goes out of scope.
Status copyThenCommit(const std::string& source, const std::string& destination, CopyState& state) {
    DurableFile file;
    Status written = writeTemporaryCopy(source, destination, file, state);
    if (!written) {
        return written;
    }
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        state.phase = CopyState::Phase::Written;
        state.changed.notify_all();
        state.changed.wait(lock, [&] { return state.commit || state.cancelled; });
    }
    if (state.cancelled) {
        return Error{ECANCELED, "copy cancelled"};
    }
    return file.commit();
}

void copyWorker(const std::string& source, const std::string& destination, CopyState& state) {
    Status outcome = Done{};
    try {
        outcome = copyThenCommit(source, destination, state);
    } catch (const std::exception& error) {
        outcome = Error{EIO, error.what()};
    } catch (...) {
        outcome = Error{EIO, "copy failed"};
    }
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.outcome = std::move(outcome);
    state.phase = CopyState::Phase::Finished;
    state.changed.notify_all();
}

}  // namespace

Status writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    DurableFile file;
    if (Status created = file.create(path, {.mode = mode, .exactMode = true}); !created) {
        return created;
    }
    if (Status written = file.write(bytes); !written) {
        return written;
    }
    return file.commit();
}

Status copyFileDurably(const std::string& source, const std::string& destination,
                       const CopyCallbacks& callbacks) {
    CopyState state;
    std::thread worker([&] { copyWorker(source, destination, state); });
    std::exception_ptr callbackFailure;
    bool cancelledByCaller = false;
    try {
        bool commitGiven = false;
        CopyState::Phase seen = CopyState::Phase::Copying;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(state.mutex);
                state.changed.wait_for(lock, kKeepAliveInterval,
                                       [&] { return state.phase != seen; });
                seen = state.phase;
            }
            if (callbacks.onProgress) {
                callbacks.onProgress(state.copied, state.total);
            }
            if (callbacks.keepAlive) {
                callbacks.keepAlive();
            }
            if (seen == CopyState::Phase::Finished) {
                break;
            }
            // Once the commit is given the copy is complete and only its
            // rename is left: too late to take it back.
            if (!commitGiven && callbacks.cancelled && callbacks.cancelled()) {
                cancelledByCaller = true;
                state.cancel();
                break;
            }
            // The callbacks have now seen the whole copy; only then may it replace
            // the destination, so anything they do to the folder counts.
            if (seen == CopyState::Phase::Written && !commitGiven) {
                const std::lock_guard<std::mutex> lock(state.mutex);
                state.commit = true;
                state.changed.notify_all();
                commitGiven = true;
            }
        }
    } catch (...) {
        callbackFailure = std::current_exception();
        state.cancel();
    }
    worker.join();
    if (callbackFailure) {
        std::rethrow_exception(callbackFailure);
    }
    if (cancelledByCaller) {
        return Error{ECANCELED, "copy cancelled"};
    }
    return state.outcome;
}

}  // namespace quillbox::platform
