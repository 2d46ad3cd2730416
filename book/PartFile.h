#pragma once
// A downloaded file that is written under a temporary name beside its target
// (platform::DurableFile) and takes the target's name only when it is complete
// (and, when durable, on the disk); until then (and when it is abandoned)
// nothing lies under the target's name.

#include <cstddef>
#include <string>

#include "platform/DurableFile.h"

namespace quillbox::book {

class PartFile {
  public:
    PartFile();
    // Removes the temporary file unless it was committed.
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates a new hidden file beside nativeTarget (a path the system
    // understands) that commit() will move onto it. A durable file is on the
    // disk before it takes the name: for the reader, which may be unplugged
    // as soon as the program says a book is there.
    bool open(const std::string& nativeTarget, bool durable);
    // Appends the bytes (buffered); false on a write error.
    bool write(const char* data, std::size_t size);
    // Writes what is buffered, for a durable file waits until the bytes are on
    // the disk, and closes the file; false when any of that failed.
    bool finish();
    // Moves the finished file onto the target, replacing it.
    bool commit();

  private:
    platform::DurableFile m_file;
};

}  // namespace quillbox::book
