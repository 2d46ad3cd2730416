#pragma once
// Conversion between the single-byte ANSI code pages of the shared records and
// UTF-8, through iconv. The only place in the program that converts text.

#include <string>
#include <string_view>

#include "common/Result.h"

namespace quillbox::platform {

// iconv name of the system ANSI code page: QUILLBOX_ANSI_CODEPAGE when set,
// else "WINDOWS-1251".
std::string systemAnsiCodePage();

// iconv name of the code page for a font character set: 0 windows-1252,
// 1 the system ANSI code page, 204 windows-1251, 238 windows-1250; any other
// value gives the system ANSI code page.
std::string codePageForCharset(int charset);

// Decodes bytes in codePage to UTF-8. Fails on bytes that are invalid there or
// on an unknown code page name.
Result<std::string> toUtf8(std::string_view bytes, std::string_view codePage);

// Encodes UTF-8 text into codePage. Fails when a character has no place in it:
// nothing is silently replaced.
Result<std::string> fromUtf8(std::string_view utf8, std::string_view codePage);

// As fromUtf8, but characters that have no place in the code page become '?'
// and invalid input bytes are skipped. For texts from outside (feed titles)
// where losing a rare character beats losing the whole text.
std::string fromUtf8Lossy(std::string_view utf8, std::string_view codePage);

}  // namespace quillbox::platform
