#pragma once
// Building blocks of the library's own text files: escaped fields for
// line-based files, length-prefixed fields for files holding arbitrary text,
// and CRC-32 check values.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::rss {

// '\', tab, line breaks and other control bytes as \\ \t \n \r \xHH.
void appendEscaped(std::string& out, std::string_view text);
// The inverse of appendEscaped; false on a malformed escape.
bool unescapeField(std::string_view text, std::string& out);

// CRC-32 of bytes as 8 lower-case hexadecimal digits.
std::string crcHex(std::string_view bytes);

// A record of length-prefixed fields: "<tag> <n>\n", then n times
// "<length>:<bytes>\n".
class RecordWriter {
  public:
    explicit RecordWriter(std::string& out) : m_out(out) {}
    void record(std::string_view tag, const std::vector<std::string>& fields);

  private:
    std::string& m_out;
};

// Reads what RecordWriter wrote. Every method fails (returns false) on damage
// and then stays failed.
class RecordReader {
  public:
    explicit RecordReader(std::string_view in) : m_in(in) {}
    bool atEnd() const { return m_at >= m_in.size(); }
    // The next record; false at damage.
    bool next(std::string& tag, std::vector<std::string>& fields);

  private:
    bool line(std::string_view& text);
    std::string_view m_in;
    std::size_t m_at = 0;
};

// Numbers inside fields.
std::string numberField(std::int64_t value);
bool parseNumberField(std::string_view text, std::int64_t& value);

}  // namespace quillbox::rss
