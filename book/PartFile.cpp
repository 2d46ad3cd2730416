#include "book/PartFile.h"

#include <cstdint>

namespace quillbox::book {
namespace {

// Every this many bytes the system is asked to start writing them to the
// disk, so that the final sync does not wait for the whole file at once.
constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
// A downloaded book is readable by the user alone, as it always was.
constexpr unsigned kPartFileMode = 0600;

}  // namespace

PartFile::PartFile() = default;

PartFile::~PartFile() = default;

bool PartFile::open(const std::string& nativeTarget, bool durable) {
    return m_file
        .create(nativeTarget, {.mode = kPartFileMode,
                               .durable = durable,
                               .writebackStep = durable ? kWritebackStep : 0})
        .ok();
}

bool PartFile::write(const char* data, std::size_t size) {
    return m_file.write(data, size).ok();
}

bool PartFile::finish() {
    return m_file.finish().ok();
}

bool PartFile::commit() {
    return m_file.commit().ok();
}

}  // namespace quillbox::book
