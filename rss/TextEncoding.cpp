#include "rss/TextEncoding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>

#include "platform/CodePage.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

std::string lowerLabel(std::string_view label) {
    std::string out;
    for (const char c : label) {
        if (c == '"' || c == '\'' || std::isspace(static_cast<unsigned char>(c))) {
            continue;
        }
        out += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool isSingleByte(std::string_view name) {
    return name.substr(0, 8) == "WINDOWS-" || name.substr(0, 5) == "KOI8-" ||
           name.substr(0, 9) == "ISO-8859-" || name == "CP866" || name == "MACCYRILLIC";
}

// One decoded character (UTF-8) per byte; empty where the code page has none.
using ByteTable = std::array<std::string, 256>;

const ByteTable& tableFor(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, ByteTable> tables;
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = tables.find(name);
    if (found != tables.end()) {
        return found->second;
    }
    ByteTable table;
    // ISO-8859-1 is read as windows-1252, as browsers do: feeds that say
    // Latin-1 use its quotes and dashes in 0x80-0x9F.
    const std::string source = name == "ISO-8859-1" ? "WINDOWS-1252" : name;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte < 0x80) {
            table[byte] = std::string(1, static_cast<char>(byte));
            continue;
        }
        Result<std::string> decoded =
            platform::toUtf8(std::string(1, static_cast<char>(byte)), source);
        if (decoded.ok()) {
            table[byte] = decoded.value();
        } else if (name == "ISO-8859-1") {
            const auto code = static_cast<unsigned>(byte);
            table[byte] = {static_cast<char>(0xC0 | (code >> 6)),
                           static_cast<char>(0x80 | (code & 0x3F))};
        }
    }
    return tables.emplace(name, std::move(table)).first->second;
}

// Decodes a single-byte code page; nullopt when a byte has no character there
// (unless lenient, then it becomes U+FFFD).
std::optional<std::string> decodeSingleByte(std::string_view bytes, const std::string& name,
                                            bool lenient) {
    const ByteTable& table = tableFor(name);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const std::string& decoded = table[static_cast<unsigned char>(c)];
        if (decoded.empty()) {
            if (!lenient) {
                return std::nullopt;
            }
            out += kReplacement;
        } else {
            out += decoded;
        }
    }
    return out;
}

std::optional<std::string> decodeStrict(std::string_view bytes, const std::string& name) {
    if (name == "UTF-8") {
        if (!isValidUtf8(bytes)) {
            return std::nullopt;
        }
        return std::string(bytes);
    }
    if (isSingleByte(name)) {
        return decodeSingleByte(bytes, name, false);
    }
    Result<std::string> decoded = platform::toUtf8(bytes, name);
    if (!decoded.ok()) {
        return std::nullopt;
    }
    return std::move(decoded).value();
}

// Removes every U+FEFF at the start: a document may repeat its mark, and the
// parser would take the next one for a mark as well.
std::string stripLeadingBom(std::string text) {
    std::size_t start = 0;
    while (text.compare(start, 3, "\xEF\xBB\xBF") == 0) {
        start += 3;
    }
    text.erase(0, start);
    return text;
}

// The encoding label of an XML declaration near the start of an
// ASCII-compatible document, or empty.
std::string declaredEncoding(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 2048);
    const std::size_t start = head.find("<?xml");
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t end = head.find("?>", start);
    if (end == std::string_view::npos) {
        return {};
    }
    const std::string_view declaration = head.substr(start, end - start);
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) {
        return {};
    }
    at += 8;
    while (at < declaration.size() && std::isspace(static_cast<unsigned char>(declaration[at]))) {
        ++at;
    }
    if (at >= declaration.size() || declaration[at] != '=') {
        return {};
    }
    ++at;
    while (at < declaration.size() && std::isspace(static_cast<unsigned char>(declaration[at]))) {
        ++at;
    }
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) {
        return {};
    }
    const char quote = declaration[at++];
    const std::size_t close = declaration.find(quote, at);
    if (close == std::string_view::npos) {
        return {};
    }
    return std::string(declaration.substr(at, close - at));
}

// UTF-16 without a byte-order mark: every other byte of ASCII markup is zero.
std::string guessUtf16(std::string_view bytes) {
    // Markup starts with '<' or a blank, whatever the text holds later.
    if (bytes.size() >= 4) {
        const auto markupStart = [](char c) {
            return c == '<' || c == ' ' || c == '\n' || c == '\r' || c == '\t';
        };
        if (markupStart(bytes[0]) && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0) {
            return "UTF-16LE";
        }
        if (bytes[0] == 0 && markupStart(bytes[1]) && bytes[2] == 0 && bytes[3] != 0) {
            return "UTF-16BE";
        }
    }
    const std::size_t sample = std::min<std::size_t>(bytes.size(), 512) & ~std::size_t{1};
    if (sample < 4) {
        return {};
    }
    std::size_t zeroEven = 0;
    std::size_t zeroOdd = 0;
    for (std::size_t i = 0; i < sample; ++i) {
        if (bytes[i] == 0) {
            (i % 2 == 0 ? zeroEven : zeroOdd) += 1;
        }
    }
    const std::size_t half = sample / 2;
    if (zeroOdd * 10 >= half * 6 && zeroEven * 10 < half) {
        return "UTF-16LE";
    }
    if (zeroEven * 10 >= half * 6 && zeroOdd * 10 < half) {
        return "UTF-16BE";
    }
    return {};
}

// Text with long runs of bytes 0xC0-0xFF is Cyrillic in one of the two common
// code pages; which one shows in the case of the letters: running text is
// mostly lower case, which is 0xE0-0xFF in windows-1251 and 0xC0-0xDF in koi8-r.
std::string detectSingleByte(std::string_view bytes) {
    std::size_t high = 0;
    std::size_t inRuns = 0;
    std::size_t upperHalf = 0;
    std::size_t lowerHalf = 0;
    std::size_t run = 0;
    auto closeRun = [&] {
        if (run >= 3) {
            inRuns += run;
        }
        run = 0;
    };
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            ++high;
            if (byte >= 0xC0) {
                ++run;
                (byte >= 0xE0 ? upperHalf : lowerHalf) += 1;
            } else if (byte != 0xA0 && byte != 0xB8 && byte != 0xA8 && byte != 0xA3 &&
                       byte != 0xB3) {
                closeRun();
            }
        } else if (c != ' ' || run == 0) {
            closeRun();
        }
    }
    closeRun();
    if (high > 0 && inRuns * 2 >= high) {
        return upperHalf >= lowerHalf ? "WINDOWS-1251" : "KOI8-R";
    }
    return "WINDOWS-1252";
}

// Accepts a candidate encoding for the bytes, or not (see decodeDocument).
std::optional<std::string> tryCandidate(std::string_view bytes, const std::string& name,
                                        bool validUtf8, bool nonAscii) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.substr(0, 6) == "UTF-16" || name.substr(0, 6) == "UTF-32") {
        return std::nullopt;  // the bytes are ASCII-compatible, so this cannot be right
    }
    if (name != "UTF-8" && validUtf8 && nonAscii) {
        // Non-ASCII text in a single-byte or legacy code page is practically
        // never valid UTF-8 by accident: the declaration is wrong.
        return std::string(bytes);
    }
    return decodeStrict(bytes, name);
}

}  // namespace

bool isValidUtf8(std::string_view bytes, bool* hasNonAscii) {
    bool nonAscii = false;
    std::size_t i = 0;
    const std::size_t size = bytes.size();
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        std::size_t length = 0;
        unsigned minimum = 0;
        unsigned code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (i + length > size) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    if (hasNonAscii != nullptr) {
        *hasNonAscii = nonAscii;
    }
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += bytes[i++];
            continue;
        }
        std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (length > 1 && i + length <= bytes.size() && isValidUtf8(bytes.substr(i, length))) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string canonicalCharset(std::string_view label) {
    const std::string name = lowerLabel(label);
    if (name.empty()) {
        return {};
    }
    static const std::map<std::string, std::string> aliases = {
        {"utf-8", "UTF-8"},
        {"utf8", "UTF-8"},
        {"unicode-1-1-utf-8", "UTF-8"},
        {"utf-16", "UTF-16"},
        {"utf16", "UTF-16"},
        {"utf-16le", "UTF-16LE"},
        {"utf-16be", "UTF-16BE"},
        {"koi8-r", "KOI8-R"},
        {"koi8r", "KOI8-R"},
        {"koi8", "KOI8-R"},
        {"cskoi8r", "KOI8-R"},
        {"koi8-u", "KOI8-U"},
        {"koi8u", "KOI8-U"},
        {"latin1", "ISO-8859-1"},
        {"latin-1", "ISO-8859-1"},
        {"l1", "ISO-8859-1"},
        {"iso-ir-100", "ISO-8859-1"},
        {"latin2", "ISO-8859-2"},
        {"us-ascii", "ISO-8859-1"},
        {"ascii", "ISO-8859-1"},
        {"ansi-x3.4-1968", "ISO-8859-1"},
        {"cp866", "CP866"},
        {"ibm866", "CP866"},
        {"x-mac-cyrillic", "MACCYRILLIC"},
        {"euc-kr", "EUC-KR"},
        {"ks-c-5601-1987", "EUC-KR"},
        {"gb2312", "GBK"},
        {"gbk", "GBK"},
        {"gb18030", "GB18030"},
        {"big5", "BIG5"},
        {"shift-jis", "SHIFT_JIS"},
        {"sjis", "SHIFT_JIS"},
        {"euc-jp", "EUC-JP"},
    };
    const auto found = aliases.find(name);
    if (found != aliases.end()) {
        return found->second;
    }
    // windows-1251, cp1251, cp-1251, win-1251, win1251, x-cp1251 ...
    for (const std::string_view prefix :
         {"windows-", "windows", "x-cp", "cp-", "cp", "win-", "win"}) {
        if (name.size() == prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(prefix.size(), 3, "125") == 0 &&
            std::isdigit(static_cast<unsigned char>(name.back()))) {
            return "WINDOWS-125" + std::string(1, name.back());
        }
    }
    // iso-8859-5, iso8859-5, iso-8859_5, iso88595
    for (const std::string_view prefix : {"iso-8859-", "iso8859-", "iso8859", "iso-8859"}) {
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            const std::string number = name.substr(prefix.size());
            if (number.size() <= 2 && std::all_of(number.begin(), number.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c));
                })) {
                return "ISO-8859-" + number;
            }
        }
    }
    // Anything else iconv knows by that name.
    std::string upper;
    for (const char c : name) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (upper.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.:") == std::string::npos &&
        platform::toUtf8("a", upper).ok()) {
        return upper;
    }
    return {};
}

std::string charsetOfContentType(std::string_view contentType) {
    std::string lower;
    for (const char c : contentType) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::size_t at = lower.find("charset=");
    if (at == std::string::npos) {
        return {};
    }
    std::string_view value = contentType.substr(at + 8);
    const std::size_t end = value.find(';');
    if (end != std::string_view::npos) {
        value = value.substr(0, end);
    }
    return std::string(value);
}

DecodedDocument decodeDocument(std::string_view bytes, std::string_view httpCharset) {
    // 1. Byte-order mark.
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return {stripLeadingBom(repairUtf8(bytes.substr(3))), "UTF-8"};
    }
    struct Mark {
        std::string_view bytes;
        const char* name;
    };
    for (const Mark& mark : {Mark{std::string_view("\xFF\xFE\0\0", 4), "UTF-32LE"},
                             Mark{std::string_view("\0\0\xFE\xFF", 4), "UTF-32BE"},
                             Mark{std::string_view("\xFF\xFE", 2), "UTF-16LE"},
                             Mark{std::string_view("\xFE\xFF", 2), "UTF-16BE"}}) {
        if (bytes.substr(0, mark.bytes.size()) == mark.bytes) {
            std::string_view body = bytes.substr(mark.bytes.size());
            if (std::optional<std::string> decoded = decodeStrict(body, mark.name)) {
                return {stripLeadingBom(std::move(*decoded)), mark.name};
            }
            // Cut-off or damaged: keep what decodes, up to an even length.
            const std::size_t unit = mark.name[4] == '3' ? 4 : 2;
            body = body.substr(0, body.size() - body.size() % unit);
            Result<std::string> partial = platform::toUtf8(body, mark.name);
            return {partial.ok() ? stripLeadingBom(std::move(partial).value()) : std::string(),
                    mark.name};
        }
    }
    // UTF-16 without a mark.
    const std::string wide = guessUtf16(bytes);
    if (!wide.empty()) {
        std::string_view body = bytes.substr(0, bytes.size() & ~std::size_t{1});
        if (std::optional<std::string> decoded = decodeStrict(body, wide)) {
            return {stripLeadingBom(std::move(*decoded)), wide};
        }
    }
    bool nonAscii = false;
    const bool validUtf8 = isValidUtf8(bytes, &nonAscii);
    // 2. The XML declaration, 3. the HTTP charset.
    for (const std::string& label : {declaredEncoding(bytes), std::string(httpCharset)}) {
        const std::string name = canonicalCharset(label);
        if (std::optional<std::string> decoded = tryCandidate(bytes, name, validUtf8, nonAscii)) {
            return {std::move(*decoded), validUtf8 && nonAscii ? "UTF-8" : name};
        }
    }
    // 4. Detection.
    if (validUtf8) {
        return {std::string(bytes), "UTF-8"};
    }
    const std::string guess = detectSingleByte(bytes);
    return {*decodeSingleByte(bytes, guess == "WINDOWS-1252" ? "ISO-8859-1" : guess, true), guess};
}

}  // namespace quillbox::rss
