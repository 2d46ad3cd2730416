#pragma once
// Writing whole files so that a crash, a full disk or a pulled-out drive never
// leaves half a file behind, built on DurableFile (temporary file beside the
// target, sync, rename, folder sync; see platform/DurableFile.h for the names).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace quillbox::platform {

// Replaces the file at path with bytes: temporary file, fsync, rename, folder
// fsync. A file that did not exist is created with permission bits mode (never
// wider at any moment); an existing file gets mode too. On failure the old file
// is untouched and no temporary file is left.
Status writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode);

// What copyFileDurably calls on the calling thread while it copies.
struct CopyCallbacks {
    // Bytes written so far and the size of the source; called at least once,
    // and with copied == total before the copy is committed.
    std::function<void(std::uint64_t copied, std::uint64_t total)> onProgress;
    // Called at least every 10 ms for the whole call, so the caller's window
    // stays alive however slow the drive is.
    std::function<void()> keepAlive;
    // Asked after every keepAlive until the copy is committed; true stops the
    // copy as a failure (ECANCELED) that leaves the destination as it was.
    std::function<bool()> cancelled;
};

// Copies source to destination (native paths; the destination folder must
// exist). The bytes are copied on a worker thread into a temporary file in the
// destination folder, synced, and renamed over destination only after the
// callbacks have seen the copy complete; an existing destination is replaced
// only then. On any failure (cancelled included), destination is as before and
// no temporary file remains. An exception from a callback stops the copy,
// cleans up and is rethrown.
Status copyFileDurably(const std::string& source, const std::string& destination,
                       const CopyCallbacks& callbacks);

}  // namespace quillbox::platform
