#include "tools/store-server/Bodies.h"

#include <fcntl.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "tools/store-server/ServerControl.h"

namespace storeserver {

namespace {

class FileHandle {
  public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() { ::close(m_fd); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

constexpr std::size_t kBlock = std::size_t{16} * 1024;

}  // namespace

BodySource stringBody(std::string bytes) {
    auto shared = std::make_shared<const std::string>(std::move(bytes));
    BodySource body;
    body.size = shared->size();
    body.read = [shared](std::uint64_t offset, char* out, std::size_t length) {
        if (offset >= shared->size()) {
            return std::size_t{0};
        }
        const std::size_t count = std::min<std::size_t>(length, shared->size() - offset);
        std::copy_n(shared->data() + offset, count, out);
        return count;
    };
    return body;
}

std::optional<BodySource> fileBody(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    auto file = std::make_shared<FileHandle>(fd);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) {
        return std::nullopt;
    }
    BodySource body;
    body.size = static_cast<std::uint64_t>(size);
    body.read = [file](std::uint64_t offset, char* out, std::size_t length) {
        const ssize_t count = ::pread(file->fd(), out, length, static_cast<off_t>(offset));
        return count > 0 ? static_cast<std::size_t>(count) : std::size_t{0};
    };
    return body;
}

BodySource patternBody(std::uint64_t size) {
    BodySource body;
    body.size = size;
    body.read = [size](std::uint64_t offset, char* out, std::size_t length) {
        static const char kPattern[] = "Quillbox store stand-in generated book content.\n";
        constexpr std::size_t kPatternLength = sizeof(kPattern) - 1;
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>(length, offset < size ? size - offset : 0));
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = kPattern[(offset + i) % kPatternLength];
        }
        return count;
    };
    return body;
}

void sendBody(httplib::Response& response, BodySource body, const std::string& contentType,
              const AnswerRules& rules) {
    if (body.size == 0 && rules.shortBytes < 0) {
        response.set_content(std::string(), contentType);
        return;
    }
    struct State {
        BodySource body;
        std::uint64_t limit;
        std::int64_t bytesPerSecond;
        std::chrono::steady_clock::time_point start;
        std::vector<char> buffer;
    };
    auto state = std::make_shared<State>();
    state->body = std::move(body);
    state->limit = rules.shortBytes >= 0
                       ? std::min<std::uint64_t>(state->body.size,
                                                 static_cast<std::uint64_t>(rules.shortBytes))
                       : state->body.size;
    state->bytesPerSecond = rules.bytesPerSecond;
    state->buffer.resize(kBlock);
    const std::uint64_t size = state->body.size;
    response.set_content_provider(
        static_cast<std::size_t>(size), contentType,
        [state](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset >= state->limit) {
                return false;  // stops short: the connection is closed
            }
            std::size_t chunk = std::min<std::size_t>(
                {length, kBlock, static_cast<std::size_t>(state->limit - offset)});
            if (state->bytesPerSecond > 0) {
                if (offset == 0) {
                    state->start = std::chrono::steady_clock::now();
                }
                chunk = std::min<std::size_t>(
                    chunk, std::max<std::int64_t>(1, state->bytesPerSecond / 20));
                // Offsets and rates are far below 2^53: exact as doubles.
                const double dueMicroseconds =
                    static_cast<double>(offset) * 1e6 / static_cast<double>(state->bytesPerSecond);
                const auto due = state->start + std::chrono::microseconds(
                                                    static_cast<std::int64_t>(dueMicroseconds));
                const auto now = std::chrono::steady_clock::now();
                if (due > now && !waitFor(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     due - now + std::chrono::milliseconds(1)))) {
                    return false;
                }
            }
            const std::size_t count = state->body.read(offset, state->buffer.data(), chunk);
            return count > 0 && sink.write(state->buffer.data(), count);
        });
}

void sendChunked(httplib::Response& response, PieceSource pieces, const std::string& contentType) {
    auto source = std::make_shared<PieceSource>(std::move(pieces));
    response.set_chunked_content_provider(
        contentType, [source](std::size_t /*offset*/, httplib::DataSink& sink) {
            if (stopRequested()) {
                return false;
            }
            std::optional<std::string> piece = (*source)();
            if (!piece) {
                return false;
            }
            if (piece->empty()) {
                sink.done();
                return true;
            }
            return sink.write(piece->data(), piece->size());
        });
}

}  // namespace storeserver
