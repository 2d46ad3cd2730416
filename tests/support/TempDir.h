#pragma once
// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes away.

#include <string>

namespace quillbox::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, with a trailing '/'.
    const std::string& path() const { return m_path; }
    // path() + relative.
    std::string file(const std::string& relative) const { return m_path + relative; }

  private:
    std::string m_path;
};

// Whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
// Writes the bytes, replacing the file; fails the current test on error.
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// Size in bytes, or -1 when the file does not exist.
long long fileSize(const std::string& path);

}  // namespace quillbox::test
