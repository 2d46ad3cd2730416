#include "rss/XmlRepair.h"

#include <libxml/HTMLparser.h>

#include <cctype>
#include <set>

namespace quillbox::rss {
namespace {

bool isNameStart(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalpha(byte) || c == '_' || c == ':' || byte >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

bool allowedInXml(unsigned long code) {
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Characters that windows-1252 puts at 0x80-0x9F, for references written by
// tools that took those bytes for code points.
unsigned long windows1252Character(unsigned long code) {
    static const unsigned short table[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code >= 0x80 && code <= 0x9F && table[code - 0x80] != 0) {
        return table[code - 0x80];
    }
    return code;
}

class Repairer {
  public:
    explicit Repairer(std::string_view in) : m_in(in) { m_out.reserve(in.size() + 64); }

    std::string run() {
        skipLeadingBlanks();
        while (m_at < m_in.size()) {
            const char c = m_in[m_at];
            if (c == '<') {
                markup();
            } else if (c == '&') {
                reference();
            } else {
                character();
            }
        }
        return std::move(m_out);
    }

  private:
    bool startsWith(std::string_view text) const { return m_in.substr(m_at, text.size()) == text; }

    void skipLeadingBlanks() {
        for (;;) {
            if (startsWith("\xEF\xBB\xBF")) {
                m_at += 3;
            } else if (m_at < m_in.size() && std::isspace(static_cast<unsigned char>(m_in[m_at]))) {
                ++m_at;
            } else {
                return;
            }
        }
    }

    // Copies up to and including terminator; an unterminated construct takes
    // the rest of the document and gets the terminator appended when close.
    void copyThrough(std::string_view terminator, bool close) {
        const std::size_t end = m_in.find(terminator, m_at);
        if (end == std::string_view::npos) {
            copyChecked(m_in.substr(m_at));
            m_at = m_in.size();
            if (close) {
                m_out += terminator;
            }
            return;
        }
        copyChecked(m_in.substr(m_at, end + terminator.size() - m_at));
        m_at = end + terminator.size();
    }

    // Copies text, leaving out the control characters XML forbids.
    void copyChecked(std::string_view text) {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                continue;
            }
            m_out += c;
        }
    }

    void markup() {
        if (startsWith("<!--")) {
            copyThrough("-->", true);
        } else if (startsWith("<![CDATA[")) {
            copyThrough("]]>", true);
        } else if (startsWith("<?")) {
            const bool declaration = startsWith("<?xml") && m_at + 5 < m_in.size() &&
                                     std::isspace(static_cast<unsigned char>(m_in[m_at + 5])) &&
                                     !m_rootSeen;
            if (declaration) {
                const std::size_t end = m_in.find("?>", m_at);
                m_at = end == std::string_view::npos ? m_in.size() : end + 2;
            } else {
                copyThrough("?>", true);
            }
        } else if (startsWith("<!DOCTYPE") || startsWith("<!doctype")) {
            doctype();
        } else if (m_at + 1 < m_in.size() && (isNameStart(m_in[m_at + 1]) ||
                                              m_in[m_at + 1] == '/' || m_in[m_at + 1] == '!')) {
            if (m_in[m_at + 1] != '/' && m_in[m_at + 1] != '!') {
                m_rootSeen = true;
            }
            tag();
        } else {
            m_out += "&lt;";
            ++m_at;
        }
    }

    // A start or end tag: copied, with references inside attribute values mended.
    void tag() {
        char quote = 0;
        m_out += m_in[m_at++];
        while (m_at < m_in.size()) {
            const char c = m_in[m_at];
            if (quote == 0 && c == '>') {
                m_out += c;
                ++m_at;
                return;
            }
            if (quote == 0 && c == '<') {
                return;  // an unfinished tag; let the parser recover
            }
            if (c == '"' || c == '\'') {
                quote = quote == 0 ? c : (quote == c ? '\0' : quote);
            }
            if (c == '&') {
                reference();
            } else {
                character();
            }
        }
    }

    void doctype() {
        const std::size_t start = m_at;
        std::size_t at = m_at;
        int depth = 0;
        char quote = 0;
        while (at < m_in.size()) {
            const char c = m_in[at];
            if (quote != 0) {
                quote = c == quote ? '\0' : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++depth;
            } else if (c == ']') {
                --depth;
            } else if (c == '>' && depth <= 0) {
                break;
            }
            ++at;
        }
        const std::string_view text = m_in.substr(start, at - start + (at < m_in.size() ? 1 : 0));
        std::size_t found = 0;
        while ((found = text.find("<!ENTITY", found)) != std::string_view::npos) {
            found += 8;
            while (found < text.size() && std::isspace(static_cast<unsigned char>(text[found]))) {
                ++found;
            }
            std::size_t end = found;
            while (end < text.size() && isNameChar(text[end])) {
                ++end;
            }
            if (end > found) {
                m_declared.insert(std::string(text.substr(found, end - found)));
            }
        }
        copyChecked(text);
        m_at = start + text.size();
    }

    void reference() {
        std::size_t at = m_at + 1;
        if (at < m_in.size() && m_in[at] == '#') {
            ++at;
            const bool hex = at < m_in.size() && (m_in[at] == 'x' || m_in[at] == 'X');
            at += hex ? 1 : 0;
            const std::size_t digits = at;
            unsigned long code = 0;
            while (at < m_in.size() && at - digits < 8 &&
                   (hex ? std::isxdigit(static_cast<unsigned char>(m_in[at]))
                        : std::isdigit(static_cast<unsigned char>(m_in[at])))) {
                code = code * (hex ? 16 : 10) +
                       static_cast<unsigned long>(
                           std::isdigit(static_cast<unsigned char>(m_in[at]))
                               ? m_in[at] - '0'
                               : std::tolower(static_cast<unsigned char>(m_in[at])) - 'a' + 10);
                ++at;
            }
            if (at > digits && at < m_in.size() && m_in[at] == ';') {
                code = windows1252Character(code);
                if (allowedInXml(code)) {
                    m_out += "&#" + std::to_string(code) + ";";
                }
                m_at = at + 1;
                return;
            }
            m_out += "&amp;";
            ++m_at;
            return;
        }
        std::size_t end = at;
        while (end < m_in.size() && end - at < 64 && isNameChar(m_in[end])) {
            ++end;
        }
        if (end > at && isNameStart(m_in[at]) && end < m_in.size() && m_in[end] == ';') {
            const std::string name(m_in.substr(at, end - at));
            if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos" ||
                m_declared.count(name) > 0) {
                m_out += '&';
                m_out += name;
                m_out += ';';
                m_at = end + 1;
                return;
            }
            const htmlEntityDesc* entity =
                htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()));
            if (entity != nullptr) {
                m_out += "&#" + std::to_string(entity->value) + ";";
                m_at = end + 1;
                return;
            }
        }
        m_out += "&amp;";
        ++m_at;
    }

    void character() {
        const char c = m_in[m_at++];
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return;
        }
        // U+FFFE and U+FFFF are not characters in XML.
        if (byte == 0xEF && m_at + 1 < m_in.size() && m_in[m_at] == '\xBF' &&
            (m_in[m_at + 1] == '\xBE' || m_in[m_at + 1] == '\xBF')) {
            m_at += 2;
            return;
        }
        m_out += c;
    }

    std::string_view m_in;
    std::size_t m_at = 0;
    std::string m_out;
    std::set<std::string> m_declared;
    bool m_rootSeen = false;
};

}  // namespace

std::string repairXml(std::string_view utf8) {
    return Repairer(utf8).run();
}

}  // namespace quillbox::rss
