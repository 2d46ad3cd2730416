#pragma once
// Finding the character encoding of a fetched document and decoding it to
// UTF-8 before it is parsed, so a document whose declaration lies is still
// read right.

#include <string>
#include <string_view>

namespace quillbox::rss {

struct DecodedDocument {
    std::string utf8;      // the document as UTF-8, without a byte-order mark
    std::string encoding;  // iconv name of the encoding it was decoded from
};

// Decodes a document, trying in this order: byte-order mark, the XML
// declaration, httpCharset (from Content-Type; may be empty), then detection
// (valid UTF-8; else Cyrillic text in windows-1251 or koi8-r; else
// windows-1252). A declared single-byte encoding loses to UTF-8 when the bytes
// are valid UTF-8 with non-ASCII characters, and any declaration loses when the
// bytes are invalid in it. Never fails: undecodable bytes become U+FFFD.
DecodedDocument decodeDocument(std::string_view bytes, std::string_view httpCharset);

// The iconv name for a charset label (aliases such as "utf8", "cp-1251",
// "win-1251", "koi8r", "latin1" understood); empty when unknown.
std::string canonicalCharset(std::string_view label);

// The charset parameter of a Content-Type value, or empty.
std::string charsetOfContentType(std::string_view contentType);

// True when bytes are valid UTF-8; hasNonAscii tells whether any byte >= 0x80.
bool isValidUtf8(std::string_view bytes, bool* hasNonAscii = nullptr);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD.
std::string repairUtf8(std::string_view bytes);

}  // namespace quillbox::rss
