#include "hostkit/IniText.h"

#include <ini.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/CodePage.h"

namespace quillbox::hostkit {
namespace {

// inih reads lines of up to 200 bytes; values are cut into pieces well below.
constexpr std::size_t kLongestPiece = 120;

std::string hexEscape(unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
    return c <= '9' ? c - '0' : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Length of the UTF-8 sequence that starts at text[i] (at least 1).
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    std::size_t length = 1;
    if (static_cast<unsigned char>(text[i]) >= 0xC0) {
        while (i + length < text.size() &&
               (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
            ++length;
        }
    }
    return length;
}

// A character that would be invisible or would be trimmed by a reader in some
// locale: C1 controls and the no-break space. They are written as escapes.
bool isUnclearCharacter(std::string_view utf8) {
    return utf8.size() == 2 && static_cast<unsigned char>(utf8[0]) == 0xC2 &&
           static_cast<unsigned char>(utf8[1]) <= 0xA0;
}

// UTF-8 text of each byte of ansi that is 0x80 or above and defined in the
// code page; empty where the byte is to be escaped.
std::vector<std::string> textOfHighBytes(std::string_view ansi, const std::string& codePage) {
    std::vector<std::string> texts(ansi.size());
    if (isAscii(ansi)) {
        return texts;
    }
    // One conversion for the whole value when the code page is single-byte and
    // knows every byte; else byte by byte.
    const Result<std::string> whole = platform::toUtf8(ansi, codePage);
    if (whole) {
        std::vector<std::string> characters;
        const std::string& utf8 = whole.value();
        for (std::size_t i = 0; i < utf8.size();) {
            const std::size_t length = sequenceLength(utf8, i);
            characters.emplace_back(utf8.substr(i, length));
            i += length;
        }
        if (characters.size() == ansi.size()) {
            for (std::size_t i = 0; i < ansi.size(); ++i) {
                if (static_cast<unsigned char>(ansi[i]) >= 0x80) {
                    texts[i] = std::move(characters[i]);
                }
            }
            return texts;
        }
    }
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        if (static_cast<unsigned char>(ansi[i]) >= 0x80) {
            const Result<std::string> one = platform::toUtf8(ansi.substr(i, 1), codePage);
            if (one && !one.value().empty()) {
                texts[i] = one.value();
            }
        }
    }
    return texts;
}

std::string encodeWith(std::string_view ansi, const std::vector<std::string>& highTexts) {
    std::string text;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansi[i]);
        const bool atEdge = i == 0 || i + 1 == ansi.size();
        // Printable ASCII except the comment marks and a space at either end
        // (which a reader would trim) is written as is.
        const bool plain =
            byte >= 0x20 && byte < 0x7F && byte != ';' && byte != '#' && !(byte == ' ' && atEdge);
        const bool readableHigh =
            byte >= 0x80 && !highTexts[i].empty() && !isUnclearCharacter(highTexts[i]);
        if (byte == '\\') {
            text += "\\\\";
        } else if (plain) {
            text.push_back(static_cast<char>(byte));
        } else if (readableHigh) {
            text += highTexts[i];
        } else {
            text += hexEscape(byte);
        }
    }
    return text;
}

// Pieces of an encoded value that must stay whole: an escape or one UTF-8
// character.
std::vector<std::string_view> valueTokens(std::string_view value) {
    std::vector<std::string_view> tokens;
    for (std::size_t i = 0; i < value.size();) {
        std::size_t length = sequenceLength(value, i);
        if (value[i] == '\\' && i + 1 < value.size()) {
            if (value[i + 1] == '\\') {
                length = 2;
            } else if (value[i + 1] == 'x' && i + 3 < value.size() && isHexDigit(value[i + 2]) &&
                       isHexDigit(value[i + 3])) {
                length = 4;
            }
        }
        tokens.push_back(value.substr(i, length));
        i += length;
    }
    return tokens;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string documentKey(std::string_view section, std::string_view name) {
    return lowerCase(section) + '\n' + lowerCase(name);
}

}  // namespace

std::string encodeValue(std::string_view ansi, const std::string& codePage) {
    std::string text = encodeWith(ansi, textOfHighBytes(ansi, codePage));
    // A code page that maps two bytes to one character would lose one of them;
    // such values keep every high byte as an escape.
    const std::optional<std::string> back = decodeValue(text, codePage);
    if (!back || *back != ansi) {
        text = encodeWith(ansi, std::vector<std::string>(ansi.size()));
    }
    return text;
}

std::optional<std::string> decodeValue(std::string_view text, const std::string& codePage) {
    std::string bytes;
    std::string run;  // plain text waiting for conversion
    auto flush = [&]() -> bool {
        if (isAscii(run)) {
            bytes += run;
        } else {
            const Result<std::string> converted = platform::fromUtf8(run, codePage);
            if (!converted) {
                return false;
            }
            bytes += converted.value();
        }
        run.clear();
        return true;
    };
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            if (!flush()) {
                return std::nullopt;
            }
            bytes.push_back('\\');
            i += 2;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                   isHexDigit(text[i + 2]) && isHexDigit(text[i + 3])) {
            if (!flush()) {
                return std::nullopt;
            }
            bytes.push_back(static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3])));
            i += 4;
        } else {
            run.push_back(text[i]);
            ++i;
        }
    }
    if (!flush()) {
        return std::nullopt;
    }
    return bytes;
}

IniDocument IniDocument::parse(const std::string& text) {
    // inih reads the lines through this reader, which knows which line the
    // handler is being called for: an indented line continues the value above.
    // A line longer than inih takes is dropped whole, so that its value reads
    // as missing rather than cut short.
    struct Parse {
        IniDocument document;
        std::string_view rest;
        bool indented = false;
        std::string lastKey;
    } parse;
    parse.rest = text;

    auto reader = [](char* line, int size, void* stream) -> char* {
        auto* self = static_cast<Parse*>(stream);
        if (self->rest.empty() || size < 2) {
            return nullptr;
        }
        const std::size_t newline = self->rest.find('\n');
        const std::size_t length =
            newline == std::string_view::npos ? self->rest.size() : newline + 1;
        const std::string_view current = self->rest.substr(0, length);
        self->rest.remove_prefix(length);
        if (current.size() > static_cast<std::size_t>(size - 1)) {
            std::memcpy(line, "\n", 2);
            self->indented = false;
            return line;
        }
        std::memcpy(line, current.data(), current.size());
        line[current.size()] = '\0';
        self->indented = current[0] == ' ' || current[0] == '\t';
        return line;
    };
    auto handler = [](void* user, const char* section, const char* name, const char* value) -> int {
        auto* self = static_cast<Parse*>(user);
        std::string key = documentKey(section, name);
        if (self->indented && key == self->lastKey) {
            self->document.m_values[key] += value;
        } else {
            self->document.m_values[key] = value;
            self->lastKey = std::move(key);
        }
        return 1;
    };
    // Lines inih cannot read are reported through the result and skipped;
    // every field they would have held keeps its default.
    ini_parse_stream(reader, &parse, handler, &parse);
    return std::move(parse.document);
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
    const auto found = m_values.find(documentKey(section, key));
    if (found == m_values.end()) {
        return std::nullopt;
    }
    return found->second;
}

void IniWriter::comment(std::string_view text) {
    m_text += "# ";
    m_text += text;
    m_text += '\n';
}

void IniWriter::section(std::string_view name) {
    if (!m_text.empty()) {
        m_text += '\n';
    }
    m_text += '[';
    m_text += name;
    m_text += "]\n";
}

void IniWriter::entry(std::string_view key, std::string_view encodedValue) {
    std::vector<std::vector<std::string_view>> pieces(1);
    std::size_t pieceSize = 0;
    for (const std::string_view token : valueTokens(encodedValue)) {
        if (pieceSize + token.size() > kLongestPiece && pieceSize > 0) {
            pieces.emplace_back();
            pieceSize = 0;
        }
        pieces.back().push_back(token);
        pieceSize += token.size();
    }
    m_text += key;
    m_text += " =";
    for (std::size_t index = 0; index < pieces.size(); ++index) {
        const std::vector<std::string_view>& piece = pieces[index];
        if (piece.empty()) {
            continue;
        }
        m_text += index == 0 ? " " : "\n    ";
        // The reader trims each line, so a space at either end of a piece is escaped.
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const bool atEdge = i == 0 || i + 1 == piece.size();
            m_text += (piece[i] == " " && atEdge) ? std::string_view("\\x20") : piece[i];
        }
    }
    m_text += '\n';
}

}  // namespace quillbox::hostkit
