#pragma once
// UTF-8 to the single-byte code page of a language, for the characters the
// language texts use: ASCII, the Cyrillic letters (windows-1251 only), « » – —
// and № (windows-1251 only). Exact: a character the table lacks is an error,
// never a '?'. Everything is constexpr, so a module's texts are checked when it
// is compiled.

#include <cstddef>
#include <string_view>

namespace quillbox::languages {

enum class CodePage { Windows1252, Windows1251 };

// The byte of code point c in page, or -1 when the table has no place for it.
constexpr int codePageByte(char32_t c, CodePage page) {
    if (c < 0x80) {
        return static_cast<int>(c);
    }
    switch (c) {
        case 0x00AB:  // «
        case 0x00BB:  // »
            return static_cast<int>(c);
        case 0x2013:  // –
            return 0x96;
        case 0x2014:  // —
            return 0x97;
        default:
            break;
    }
    if (page == CodePage::Windows1251) {
        if (c >= 0x0410 && c <= 0x044F) {  // А..я
            return static_cast<int>(c - 0x0410 + 0xC0);
        }
        switch (c) {
            case 0x0401:  // Ё
                return 0xA8;
            case 0x0451:  // ё
                return 0xB8;
            case 0x2116:  // №
                return 0xB9;
            default:
                break;
        }
    }
    return -1;
}

// Encodes utf8 into page, handing each byte to put(char). Returns false at the
// first malformed or overlong sequence or character outside the table; the
// bytes before it have been handed out.
template <class Put>
constexpr bool encodeText(std::string_view utf8, CodePage page, Put&& put) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        char32_t c = lead;
        std::size_t length = 1;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                c = lead & 0x1F;
                length = 2;
            } else if ((lead & 0xF0) == 0xE0) {
                c = lead & 0x0F;
                length = 3;
            } else {
                return false;  // a continuation byte, or a four-byte sequence
            }
            if (i + length > utf8.size()) {
                return false;
            }
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(utf8[i + k]);
                if ((next & 0xC0) != 0x80) {
                    return false;
                }
                c = (c << 6) | (next & 0x3F);
            }
            if (c < (length == 2 ? 0x80u : 0x800u)) {
                return false;
            }
        }
        const int byte = codePageByte(c, page);
        if (byte < 0) {
            return false;
        }
        put(static_cast<char>(byte));
        i += length;
    }
    return true;
}

// Whether every character of utf8 has a place in page.
constexpr bool encodes(std::string_view utf8, CodePage page) {
    return encodeText(utf8, page, [](char) {});
}

}  // namespace quillbox::languages
