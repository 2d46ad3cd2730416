#pragma once
// A file replaced all at once: the bytes go to `<target>.tmp` in the same
// folder, which is synced and renamed over the target only when complete. On
// failure the temporary file is removed and the target is left as it was.

#include <string>

#include "common/Result.h"

namespace quillbox::rss::fb2 {

class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates (or truncates) `target` + ".tmp". Fails when the folder is
    // missing or not writable, or when something that is not a regular file
    // (a folder, a link) holds the temporary name.
    Status open(const std::string& target);
    // Descriptor of the temporary file; valid between open() and commit().
    int fd() const { return m_fd; }
    // Syncs and closes the temporary file, renames it over the target and
    // syncs the folder. On failure the temporary file is removed.
    Status commit();
    // Closes and removes the temporary file; done by the destructor unless
    // commit() succeeded.
    void discard();

    const std::string& temporaryPath() const { return m_temporary; }

  private:
    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
};

}  // namespace quillbox::rss::fb2
