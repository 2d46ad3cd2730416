#include "rss/RecordFormat.h"

#include <cstdio>
#include <cstdlib>

#include "rss/Files.h"

namespace quillbox::rss {
namespace {

constexpr std::size_t kMaxFields = 1000;
constexpr std::uint64_t kMaxFieldBytes = 64u << 20;

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool parseCount(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
}

bool unescapeField(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) {
            return false;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                if (i + 2 >= text.size()) {
                    return false;
                }
                const int high = hexValue(text[i + 1]);
                const int low = hexValue(text[i + 2]);
                if (high < 0 || low < 0) {
                    return false;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

std::string crcHex(std::string_view bytes) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", crc32Of(bytes));
    return text;
}

void RecordWriter::record(std::string_view tag, const std::vector<std::string>& fields) {
    m_out.append(tag);
    m_out += ' ';
    m_out += std::to_string(fields.size());
    m_out += '\n';
    for (const std::string& field : fields) {
        m_out += std::to_string(field.size());
        m_out += ':';
        m_out += field;
        m_out += '\n';
    }
}

bool RecordReader::line(std::string_view& text) {
    const std::size_t end = m_in.find('\n', m_at);
    if (end == std::string_view::npos) {
        m_at = m_in.size();
        return false;
    }
    text = m_in.substr(m_at, end - m_at);
    m_at = end + 1;
    return true;
}

bool RecordReader::next(std::string& tag, std::vector<std::string>& fields) {
    fields.clear();
    std::string_view header;
    if (!line(header)) {
        return false;
    }
    const std::size_t space = header.find(' ');
    std::uint64_t count = 0;
    if (space == std::string_view::npos || !parseCount(header.substr(space + 1), count) ||
        count > kMaxFields) {
        m_at = m_in.size();
        return false;
    }
    tag = std::string(header.substr(0, space));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t colon = m_in.find(':', m_at);
        std::uint64_t length = 0;
        if (colon == std::string_view::npos || colon - m_at > 12 ||
            !parseCount(m_in.substr(m_at, colon - m_at), length) || length > kMaxFieldBytes ||
            colon + 1 + length >= m_in.size() || m_in[colon + 1 + length] != '\n') {
            m_at = m_in.size();
            return false;
        }
        fields.emplace_back(m_in.substr(colon + 1, length));
        m_at = colon + 1 + length + 1;
    }
    return true;
}

std::string numberField(std::int64_t value) {
    return std::to_string(value);
}

bool parseNumberField(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtoll(copy.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

}  // namespace quillbox::rss
