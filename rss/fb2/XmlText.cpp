#include "rss/fb2/XmlText.h"

namespace quillbox::rss::fb2 {

namespace {

int continuationBytes(unsigned char lead, char32_t& initial, char32_t& minimum) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        initial = lead & 0x1F;
        minimum = 0x80;
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        initial = lead & 0x0F;
        minimum = 0x800;
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        initial = lead & 0x07;
        minimum = 0x10000;
        return 3;
    }
    return -1;
}

}  // namespace

char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    char32_t value = 0;
    char32_t minimum = 0;
    const int extra = continuationBytes(lead, value, minimum);
    if (extra < 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return kReplacementCharacter;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kReplacementCharacter;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return kReplacementCharacter;
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return value;
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool isKeptCharacter(char32_t codePoint) {
    if (codePoint == '\t' || codePoint == '\n' || codePoint == '\r') {
        return true;
    }
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)) {
        return false;
    }
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
        return false;
    }
    return codePoint != 0xFFFE && codePoint != 0xFFFF && codePoint <= 0x10FFFF;
}

std::string cleanText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(static_cast<char>(byte));
            ++pos;
            continue;
        }
        const char32_t codePoint = nextCodePoint(bytes, pos);
        if (isKeptCharacter(codePoint)) {
            appendUtf8(out, codePoint);
        }
    }
    return out;
}

std::string cleanLine(std::string_view bytes) {
    const std::string clean = cleanText(bytes);
    std::string out;
    out.reserve(clean.size());
    bool pendingSpace = false;
    for (const char c : clean) {
        if (isCollapsibleSpace(static_cast<unsigned char>(c))) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) {
            out.push_back(' ');
            pendingSpace = false;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace quillbox::rss::fb2
