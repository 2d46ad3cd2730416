#pragma once
// The pictures of one book. Each stored file is checked once by its leading
// bytes (JPEG or PNG, within the size cap), given an id ("img1", "img2", ...)
// and, at the end of the book, written as a <binary> in base64.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rss/fb2/XmlOut.h"

namespace quillbox::rss::fb2 {

enum class PictureType { None, Jpeg, Png };

// Type told by the first bytes of a file; None for anything but JPEG and PNG.
PictureType sniffPicture(std::string_view leadingBytes);
// "image/jpeg" or "image/png"; nullptr for None.
const char* contentTypeOf(PictureType type);

class PictureStore {
  public:
    explicit PictureStore(std::uint64_t maxBytes) : m_maxBytes(maxBytes) {}

    // Binary id for the picture in `file`, registering it on first use; empty
    // when the file cannot be read, is empty or too large, or is not JPEG/PNG.
    std::string idFor(const std::string& file);

    // Writes one <binary> per registered picture. Returns false, with the
    // reason in `error`, when a file can no longer be read.
    bool writeBinaries(XmlOut& out, std::string& error) const;

    std::size_t count() const { return m_pictures.size(); }

  private:
    struct Picture {
        std::string file;
        std::string id;
        PictureType type = PictureType::None;
    };

    std::uint64_t m_maxBytes;
    std::vector<Picture> m_pictures;
    std::unordered_map<std::string, std::string> m_idByFile;  // "" for refused files
};

}  // namespace quillbox::rss::fb2
