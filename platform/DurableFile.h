#pragma once
// Replacing a file so that a crash, a full disk or a pulled-out drive never
// leaves half a file under its name: the bytes go to a temporary file beside
// the target, which commit() flushes, syncs, renames over the target and makes
// lasting by syncing the folder. Until then the target is untouched, and a
// file that is not committed is removed.
//
// Temporary names, the one scheme for every file the program replaces:
//   "." + target name + "." + process id + "." + tag + ".qbtmp"
// e.g. ".news.fb2.4711.k3x9q0ab.qbtmp", where the tag is 8 random characters
// from [a-z0-9] and a target name longer than 200 bytes is cut to 200 at a
// UTF-8 character boundary. A process that dies leaves such files behind:
// whenever a DurableFile is created in a folder, the regular files of this
// scheme in that folder whose process is no longer running are removed.
// Nothing else in the folder is ever touched.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "platform/FileDescriptor.h"

namespace quillbox::platform {

struct DurableOptions {
    // Permission bits of the new file, narrowed by the umask unless exactMode.
    unsigned mode = 0666;
    // Gives the file exactly mode whatever the umask; the bits are never wider
    // than mode at any moment.
    bool exactMode = false;
    // Syncs the file before the rename and the folder after it. Without it the
    // file still never appears half-written, but a system crash may lose it.
    bool durable = true;
    // For a durable file: every this many bytes written through write(), the
    // system is asked to start putting them on the disk, so that the sync in
    // commit() is short. 0: no early writeback.
    std::uint64_t writebackStep = 0;
    // The tag of the temporary name instead of a random one; create() then
    // fails rather than trying another name. For tests that plant something
    // at the name.
    std::optional<std::string> fixedTag = std::nullopt;
};

// The temporary name that DurableFile uses for target with tag (see above);
// in target's folder.
std::string temporaryPathFor(const std::string& target, std::string_view tag);

class DurableFile {
  public:
    DurableFile() = default;
    // Discards the temporary file unless it was committed.
    ~DurableFile();
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Creates the temporary file for target (a native path), first removing
    // stale temporary files in its folder; discards any file this object held.
    // Fails when the folder is missing or not writable or a folder is at target.
    Status create(const std::string& target, const DurableOptions& options = {});

    // Appends the bytes through a buffer. A failure is final: every later call
    // but discard() reports it.
    Status write(const void* data, std::size_t size);
    Status write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }
    // Hands the buffered bytes to the system.
    Status flush();

    // The temporary file's descriptor, owned by this object, for code that
    // writes itself; -1 before create() and after finish(). Call flush() first
    // when write() was used too.
    int fd() const { return m_fd.get(); }

    // Flushes, syncs (when durable) and closes the temporary file; commit()
    // does this when it was not done. For callers that replace several files
    // together only once every one of them is complete.
    Status finish();
    // finish() if needed, then renames the file over the target and syncs the
    // folder (when durable). On failure the target is as before and the
    // temporary file is removed.
    Status commit();
    // Closes and removes the temporary file; the target is untouched.
    void discard();

    // The temporary file's path; empty when there is none.
    const std::string& temporaryPath() const { return m_temporary; }

  private:
    Status fail(Error error);
    Status writeOut(const char* data, std::size_t size);

    std::string m_target;
    std::string m_temporary;
    FileDescriptor m_fd;
    DurableOptions m_options;
    std::vector<char> m_buffer;
    std::uint64_t m_written = 0;        // bytes handed to the system
    std::uint64_t m_writebackFrom = 0;  // first byte not yet sent towards the disk
    bool m_finished = false;
    std::optional<Error> m_failure;
};

}  // namespace quillbox::platform
