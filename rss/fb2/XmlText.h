#pragma once
// Text made safe for an XML document: valid UTF-8 holding only characters that
// XML 1.0 allows and that a reader can show (no control characters).

#include <cstddef>
#include <string>
#include <string_view>

namespace quillbox::rss::fb2 {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at `pos` and moves `pos` past it. A byte that does not
// start a valid, shortest-form sequence gives U+FFFD and advances one byte.
// Requires pos < text.size().
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of `codePoint` (a valid scalar value) to `out`.
void appendUtf8(std::string& out, char32_t codePoint);

// True for the characters we keep in text: XML 1.0 characters without the C0
// and C1 controls, except tab, line feed and carriage return.
bool isKeptCharacter(char32_t codePoint);

// True for the whitespace that HTML and our text layout collapse.
inline bool isCollapsibleSpace(char32_t codePoint) {
    return codePoint == ' ' || codePoint == '\t' || codePoint == '\n' || codePoint == '\r' ||
           codePoint == '\f' || codePoint == '\v';
}

// Invalid UTF-8 becomes U+FFFD; characters that are not kept are dropped.
std::string cleanText(std::string_view bytes);

// cleanText, then every run of whitespace becomes one space, trimmed at both ends.
std::string cleanLine(std::string_view bytes);

}  // namespace quillbox::rss::fb2
