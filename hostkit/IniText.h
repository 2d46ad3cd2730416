#pragma once
// Reading and writing the INI text of the settings files, and the escaping
// that lets any ANSI bytes live in a readable UTF-8 value.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillbox::hostkit {

// Turns ANSI bytes (in codePage) into the text of an INI value: readable UTF-8,
// with "\\" for a backslash and "\xHH" for a byte that the code page does not
// define, a control character, ';', '#', and a space at either end.
// decodeValue(encodeValue(x)) == x for every x.
std::string encodeValue(std::string_view ansi, const std::string& codePage);

// Turns value text back into ANSI bytes; nullopt when it holds a character that
// the code page cannot carry. A backslash that starts no escape stays itself.
std::optional<std::string> decodeValue(std::string_view text, const std::string& codePage);

// An INI document as read by inih: values by section and key (both compared
// without regard to case); continuation lines of a value are joined.
class IniDocument {
  public:
    // Never fails: lines that cannot be read are left out.
    static IniDocument parse(const std::string& text);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

  private:
    std::map<std::string, std::string> m_values;  // "section\nkey" (lower case) -> value
};

// Builds INI text. Long values are split over indented continuation lines so
// that no line exceeds what the reader handles.
class IniWriter {
  public:
    void comment(std::string_view text);
    void section(std::string_view name);
    // encodedValue: the result of encodeValue, or a plain number or switch.
    void entry(std::string_view key, std::string_view encodedValue);

    const std::string& text() const { return m_text; }

  private:
    std::string m_text;
};

}  // namespace quillbox::hostkit
