#pragma once
// Files of fixed-size records: reading every whole record, creating a missing
// file empty, and the checks and copying that replacing one (through
// platform::DurableFile) needs. All paths here are native paths.

#include <cstddef>
#include <functional>
#include <string>

#include "platform/DurableFile.h"

namespace quillbox::book {

// Calls onRecord with each whole record of the file, in order; a part record
// at the end is ignored, and a read error ends the reading. Returns false when
// the file cannot be opened for reading or is not a regular file.
bool readRecords(const std::string& path, std::size_t recordSize,
                 const std::function<void(const char* record)>& onRecord);

// Creates the file empty when nothing exists at path; never touches an
// existing file. Returns false when it could not be created.
bool createEmptyIfMissing(const std::string& path);

// True when a replacement can be moved to path: nothing is there yet, or a
// regular file (or a link) that the move will replace.
bool canReplace(const std::string& path);

// Appends to file the bytes of the file at source from offset on, when it has
// any. Returns false on a read or write error.
bool appendFileFrom(platform::DurableFile& file, const std::string& source, std::size_t offset);

}  // namespace quillbox::book
