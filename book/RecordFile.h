#pragma once
// Files of fixed-size records: reading every whole record, creating a missing
// file empty, and writing a replacement beside a file that is moved over it
// only once it is complete and on disk. All paths here are native paths.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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

// A new file in the target's folder that takes the target's place only when
// replaceTarget() is called; otherwise it is removed when the object goes.
class ReplacementFile {
  public:
    explicit ReplacementFile(std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the temporary file (target + ".~" + 8 random letters). Returns
    // false on failure.
    bool create();
    // Appends bytes through a buffer. Returns false on any write error.
    bool write(const void* data, std::size_t size);
    // Appends the target's current bytes from offset on, when it has any.
    // Returns false on a read or write error.
    bool appendTargetFrom(std::size_t offset);
    // Writes out the buffer, syncs the file to disk and closes it.
    bool finish();
    // Moves the finished file over the target.
    bool replaceTarget();

  private:
    bool flush();
    void discard();

    std::string m_target;
    std::string m_temporary;
    int m_descriptor = -1;
    bool m_moved = false;
    std::vector<char> m_buffer;
};

// Syncs a folder so that the names moved into it are on disk. Best effort.
void syncFolder(const std::string& path);

}  // namespace quillbox::book
