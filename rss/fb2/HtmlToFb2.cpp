#include "HtmlToFb2.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

#include "XmlText.h"

namespace quillbox::rss::fb2 {

namespace {

// Larger item texts are cut; no feed item needs more.
constexpr std::size_t kMaxHtmlBytes = 16 * 1024 * 1024;
constexpr char32_t kNoBreakSpace = 0xA0;

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFree>;
using XmlDocument = std::unique_ptr<xmlDoc, XmlFree>;

const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

enum class Tag : unsigned char {
    Transparent,
    Drop,
    Block,
    Break,
    Rule,
    Heading,
    Quote,
    Pre,
    List,
    OrderedList,
    ListItem,
    Row,
    Cell,
    Strong,
    Emphasis,
    Strike,
    Sub,
    Sup,
    Code,
    Link,
    Image,
};

// Void elements the HTML parser does not know (embed, source, track, param,
// wbr) may take the content after them as children, so they stay transparent.
Tag classify(const xmlChar* name) {
    static const std::unordered_map<std::string_view, Tag> kTags = {
        {"script", Tag::Drop},    {"style", Tag::Drop},       {"iframe", Tag::Drop},
        {"frame", Tag::Drop},     {"frameset", Tag::Drop},    {"object", Tag::Drop},
        {"applet", Tag::Drop},    {"form", Tag::Drop},        {"noscript", Tag::Drop},
        {"template", Tag::Drop},  {"svg", Tag::Drop},         {"math", Tag::Drop},
        {"audio", Tag::Drop},     {"video", Tag::Drop},       {"canvas", Tag::Drop},
        {"button", Tag::Drop},    {"input", Tag::Drop},       {"select", Tag::Drop},
        {"textarea", Tag::Drop},  {"head", Tag::Drop},        {"title", Tag::Drop},
        {"meta", Tag::Drop},      {"link", Tag::Drop},        {"base", Tag::Drop},
        {"map", Tag::Drop},       {"p", Tag::Block},          {"div", Tag::Block},
        {"html", Tag::Block},     {"body", Tag::Block},       {"section", Tag::Block},
        {"article", Tag::Block},  {"header", Tag::Block},     {"footer", Tag::Block},
        {"aside", Tag::Block},    {"nav", Tag::Block},        {"main", Tag::Block},
        {"figure", Tag::Block},   {"figcaption", Tag::Block}, {"address", Tag::Block},
        {"center", Tag::Block},   {"details", Tag::Block},    {"summary", Tag::Block},
        {"dl", Tag::Block},       {"dt", Tag::Block},         {"dd", Tag::Block},
        {"table", Tag::Block},    {"thead", Tag::Block},      {"tbody", Tag::Block},
        {"tfoot", Tag::Block},    {"caption", Tag::Block},    {"fieldset", Tag::Block},
        {"legend", Tag::Block},   {"hgroup", Tag::Block},     {"br", Tag::Break},
        {"hr", Tag::Rule},        {"h1", Tag::Heading},       {"h2", Tag::Heading},
        {"h3", Tag::Heading},     {"h4", Tag::Heading},       {"h5", Tag::Heading},
        {"h6", Tag::Heading},     {"blockquote", Tag::Quote}, {"pre", Tag::Pre},
        {"listing", Tag::Pre},    {"xmp", Tag::Pre},          {"plaintext", Tag::Pre},
        {"ul", Tag::List},        {"menu", Tag::List},        {"dir", Tag::List},
        {"ol", Tag::OrderedList}, {"li", Tag::ListItem},      {"tr", Tag::Row},
        {"td", Tag::Cell},        {"th", Tag::Cell},          {"b", Tag::Strong},
        {"strong", Tag::Strong},  {"i", Tag::Emphasis},       {"em", Tag::Emphasis},
        {"cite", Tag::Emphasis},  {"dfn", Tag::Emphasis},     {"var", Tag::Emphasis},
        {"s", Tag::Strike},       {"strike", Tag::Strike},    {"del", Tag::Strike},
        {"sub", Tag::Sub},        {"sup", Tag::Sup},          {"code", Tag::Code},
        {"tt", Tag::Code},        {"kbd", Tag::Code},         {"samp", Tag::Code},
        {"a", Tag::Link},         {"img", Tag::Image},
    };
    const auto found = kTags.find(chars(name));
    return found == kTags.end() ? Tag::Transparent : found->second;
}

// Index of the style bit a tag sets, or -1.
int styleIndex(Tag tag) {
    switch (tag) {
        case Tag::Strong:
            return 0;
        case Tag::Emphasis:
            return 1;
        case Tag::Strike:
            return 2;
        case Tag::Sub:
            return 3;
        case Tag::Sup:
            return 4;
        case Tag::Code:
            return 5;
        default:
            return -1;
    }
}

// Characters that take room but show nothing: a paragraph of them is empty.
bool isBlank(char32_t c) {
    return c == ' ' || c == kNoBreakSpace || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

std::string attributeOf(xmlNode* node, const char* name) {
    XmlString value(xmlGetProp(node, xml(name)));
    return value ? std::string(chars(value.get())) : std::string();
}

class Converter {
  public:
    Converter(const std::string& baseUrl, const PictureLookup& pictures)
        : m_base(baseUrl), m_pictures(pictures) {}

    void walk(xmlNode* root);
    Fb2Content take() {
        flush();
        return std::move(m_content);
    }

  private:
    struct Frame {
        Tag tag;
        bool ownsLink;
    };
    struct List {
        bool ordered;
        long next;
    };

    bool enter(xmlNode* node);
    void leave();
    void enterList(xmlNode* node, bool ordered);
    void enterLink(xmlNode* node, Frame& frame);
    void addPicture(xmlNode* node);
    void addText(std::string_view text);
    void addPreText(std::string_view text);
    void preLineEnd();
    void append(char32_t c, bool visible);
    void appendRunStart();
    void appendSeparator();
    void appendPlain(std::string_view text);
    unsigned currentStyles() const;
    Run& currentRun();
    void softSpace();
    void blockBoundary();
    void lineBreak();
    void flush();
    void pushEmptyLine();
    void appendEmptyLine();

    const std::string& m_base;
    const PictureLookup& m_pictures;
    Fb2Content m_content;
    std::vector<Run> m_runs;  // the paragraph being built
    std::vector<Frame> m_frames;
    std::vector<List> m_lists;
    std::vector<int> m_rowCells;
    std::array<int, 6> m_styleDepth{};
    int m_link = -1;
    int m_headingDepth = 0;
    int m_quoteDepth = 0;
    int m_preDepth = 0;
    int m_cellDepth = 0;
    std::string m_prefix;  // list marker waiting for the item's first text
    bool m_pendingSpace = false;
    bool m_pendingSeparator = false;  // a cell separator before the next visible text
    bool m_visible = false;           // the paragraph holds more than blanks
    bool m_preHasLines = false;
    bool m_pendingEmptyLine = false;
};

void Converter::walk(xmlNode* root) {
    // Iterative, so that hostile nesting depth cannot exhaust the stack.
    xmlNode* node = root;
    while (node != nullptr) {
        const bool descended = enter(node);
        if (descended && node->children != nullptr) {
            node = node->children;
            continue;
        }
        if (descended) {
            leave();
        }
        while (node != root && node->next == nullptr) {
            node = node->parent;
            leave();
        }
        if (node == root) {
            break;
        }
        node = node->next;
    }
}

bool Converter::enter(xmlNode* node) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (node->content != nullptr) {
            const std::string_view text(chars(node->content));
            m_preDepth > 0 ? addPreText(text) : addText(text);
        }
        return false;
    }
    if (node->type != XML_ELEMENT_NODE || node->name == nullptr) {
        return false;
    }
    Frame frame{classify(node->name), false};
    switch (frame.tag) {
        case Tag::Drop:
            return false;
        case Tag::Break:
            lineBreak();
            return false;
        case Tag::Rule:
            m_cellDepth > 0 ? softSpace() : pushEmptyLine();
            return false;
        case Tag::Image:
            addPicture(node);
            return false;
        case Tag::Block:
            blockBoundary();
            break;
        case Tag::Heading:
            blockBoundary();
            ++m_headingDepth;
            break;
        case Tag::Quote:
            blockBoundary();
            ++m_quoteDepth;
            break;
        case Tag::Pre:
            blockBoundary();
            if (m_preDepth++ == 0) {
                m_preHasLines = false;
            }
            break;
        case Tag::List:
        case Tag::OrderedList:
            enterList(node, frame.tag == Tag::OrderedList);
            break;
        case Tag::ListItem:
            blockBoundary();
            if (m_cellDepth == 0) {
                const std::size_t level = m_lists.empty() ? 0 : m_lists.size() - 1;
                m_prefix.clear();
                for (std::size_t i = 0; i < level; ++i) {
                    appendUtf8(m_prefix, kNoBreakSpace);
                    appendUtf8(m_prefix, kNoBreakSpace);
                }
                if (!m_lists.empty() && m_lists.back().ordered) {
                    m_prefix += std::to_string(m_lists.back().next++) + ". ";
                } else {
                    m_prefix += "\u2022 ";
                }
            }
            break;
        case Tag::Row:
            blockBoundary();
            m_pendingSeparator = false;
            m_rowCells.push_back(0);
            break;
        case Tag::Cell:
            // Cells are joined by " | ", written before the next cell that
            // shows something, so that empty cells leave no trace.
            if (!m_rowCells.empty() && m_rowCells.back()++ > 0 && m_visible) {
                m_pendingSeparator = true;
            }
            softSpace();
            ++m_cellDepth;
            break;
        case Tag::Link:
            enterLink(node, frame);
            break;
        case Tag::Strong:
        case Tag::Emphasis:
        case Tag::Strike:
        case Tag::Sub:
        case Tag::Sup:
        case Tag::Code:
            ++m_styleDepth[static_cast<std::size_t>(styleIndex(frame.tag))];
            break;
        case Tag::Transparent:
            break;
    }
    m_frames.push_back(frame);
    return true;
}

void Converter::leave() {
    if (m_frames.empty()) {
        return;
    }
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    switch (frame.tag) {
        case Tag::Block:
            blockBoundary();
            break;
        case Tag::Heading:
            blockBoundary();
            --m_headingDepth;
            break;
        case Tag::Quote:
            blockBoundary();
            --m_quoteDepth;
            break;
        case Tag::Pre:
            blockBoundary();
            if (--m_preDepth == 0) {
                m_pendingEmptyLine = false;
            }
            break;
        case Tag::List:
        case Tag::OrderedList:
            blockBoundary();
            m_lists.pop_back();
            break;
        case Tag::ListItem:
            blockBoundary();
            m_prefix.clear();
            break;
        case Tag::Row:
            m_rowCells.pop_back();
            blockBoundary();
            break;
        case Tag::Cell:
            --m_cellDepth;
            softSpace();
            break;
        case Tag::Link:
            if (frame.ownsLink) {
                m_link = -1;
            }
            break;
        case Tag::Strong:
        case Tag::Emphasis:
        case Tag::Strike:
        case Tag::Sub:
        case Tag::Sup:
        case Tag::Code:
            --m_styleDepth[static_cast<std::size_t>(styleIndex(frame.tag))];
            break;
        default:
            break;
    }
}

void Converter::enterList(xmlNode* node, bool ordered) {
    blockBoundary();
    long start = 1;
    if (ordered) {
        const std::string value = attributeOf(node, "start");
        char* end = nullptr;
        const long parsed = std::strtol(value.c_str(), &end, 10);
        if (!value.empty() && end != nullptr && *end == '\0' && parsed > -1000000 &&
            parsed < 1000000) {
            start = parsed;
        }
    }
    m_lists.push_back(List{ordered, start});
}

void Converter::enterLink(xmlNode* node, Frame& frame) {
    if (m_link >= 0) {
        return;  // FB2 links cannot nest: the outer link keeps the text
    }
    const std::string url = resolveUrl(attributeOf(node, "href"), m_base);
    if (!isWebAddress(url, true)) {
        return;
    }
    m_content.links.push_back(url);
    m_link = static_cast<int>(m_content.links.size()) - 1;
    frame.ownsLink = true;
}

void Converter::addPicture(xmlNode* node) {
    if (!m_pictures) {
        return;
    }
    std::string id;
    for (const char* attribute : {"src", "data-src", "data-lazy-src"}) {
        const std::string source = cleanLine(attributeOf(node, attribute));
        if (source.empty()) {
            continue;
        }
        id = m_pictures(source);
        if (id.empty()) {
            const std::string absolute = resolveUrl(source, m_base);
            if (!absolute.empty() && absolute != source) {
                id = m_pictures(absolute);
            }
        }
        if (!id.empty()) {
            break;
        }
    }
    if (id.empty()) {
        return;
    }
    if (m_cellDepth > 0 || m_quoteDepth > 0 || m_headingDepth > 0) {
        // Citations, subtitles and table rows only hold pictures inline.
        appendSeparator();
        appendRunStart();
        m_runs.push_back(Run{{}, 0, m_link, id});
        m_visible = true;
        return;
    }
    flush();
    m_content.blocks.push_back(Block{BlockKind::Image, {}, id, false});
}

void Converter::addText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextCodePoint(text, pos);
        if (!isKeptCharacter(c)) {
            continue;
        }
        if (isCollapsibleSpace(c)) {
            softSpace();
            continue;
        }
        append(c, !isBlank(c));
    }
}

void Converter::addPreText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextCodePoint(text, pos);
        if (c == '\n') {
            preLineEnd();
        } else if (c == '\t' || c == ' ') {
            // Leading blanks of a code line become no-break spaces so that
            // readers keep the indentation.
            const int count = c == '\t' ? 4 : 1;
            for (int i = 0; i < count; ++i) {
                append(m_visible ? U' ' : kNoBreakSpace, false);
            }
        } else if (isKeptCharacter(c) && c != '\r') {
            append(c, !isBlank(c));
        }
    }
}

void Converter::preLineEnd() {
    if (m_visible) {
        flush();
        m_preHasLines = true;
        return;
    }
    m_runs.clear();
    m_pendingSpace = false;
    if (m_preHasLines) {
        m_pendingEmptyLine = true;
    }
}

void Converter::appendSeparator() {
    if (m_pendingSeparator) {
        m_pendingSeparator = false;
        m_pendingSpace = false;
        appendPlain(" | ");
    }
}

void Converter::appendRunStart() {
    if (m_runs.empty() && !m_prefix.empty()) {
        appendPlain(m_prefix);
        m_prefix.clear();
    }
    if (m_pendingSpace) {
        // A space between two styles or links belongs to neither, unless it
        // continues the run before it.
        const unsigned styles = currentStyles();
        if (!m_runs.empty() && m_runs.back().imageId.empty() && m_runs.back().styles == styles &&
            m_runs.back().link == m_link) {
            m_runs.back().text.push_back(' ');
        } else {
            appendPlain(" ");
        }
        m_pendingSpace = false;
    }
}

void Converter::appendPlain(std::string_view text) {
    if (m_runs.empty() || !m_runs.back().imageId.empty() || m_runs.back().styles != 0 ||
        m_runs.back().link != -1) {
        m_runs.push_back(Run{{}, 0, -1, {}});
    }
    m_runs.back().text += text;
}

unsigned Converter::currentStyles() const {
    unsigned styles = m_preDepth > 0 ? kCode : 0U;
    for (std::size_t bit = 0; bit < m_styleDepth.size(); ++bit) {
        if (m_styleDepth[bit] > 0) {
            styles |= 1U << bit;
        }
    }
    return styles;
}

Run& Converter::currentRun() {
    const unsigned styles = currentStyles();
    if (m_runs.empty() || !m_runs.back().imageId.empty() || m_runs.back().styles != styles ||
        m_runs.back().link != m_link) {
        m_runs.push_back(Run{{}, styles, m_link, {}});
    }
    return m_runs.back();
}

void Converter::append(char32_t c, bool visible) {
    if (visible) {
        appendSeparator();
    }
    appendRunStart();
    appendUtf8(currentRun().text, c);
    m_visible = m_visible || visible;
}

void Converter::softSpace() {
    if (!m_runs.empty()) {
        m_pendingSpace = true;
    }
}

void Converter::blockBoundary() {
    m_cellDepth > 0 ? softSpace() : flush();
}

void Converter::lineBreak() {
    if (m_preDepth > 0) {
        preLineEnd();
    } else {
        blockBoundary();
    }
}

void Converter::flush() {
    if (m_visible) {
        if (m_pendingEmptyLine) {
            appendEmptyLine();
            m_pendingEmptyLine = false;
        }
        while (!m_runs.empty() && m_runs.back().imageId.empty() && !m_runs.back().text.empty() &&
               m_runs.back().text.back() == ' ') {
            m_runs.back().text.pop_back();
            if (m_runs.back().text.empty()) {
                m_runs.pop_back();
            }
        }
        Block block;
        block.kind = m_headingDepth > 0 ? BlockKind::Subtitle : BlockKind::Paragraph;
        block.runs = std::move(m_runs);
        block.quoted = m_quoteDepth > 0;
        m_content.blocks.push_back(std::move(block));
    }
    m_runs.clear();
    m_pendingSpace = false;
    m_pendingSeparator = false;
    m_visible = false;
}

void Converter::pushEmptyLine() {
    flush();
    appendEmptyLine();
}

void Converter::appendEmptyLine() {
    if (!m_content.blocks.empty() && m_content.blocks.back().kind != BlockKind::EmptyLine) {
        Block block;
        block.kind = BlockKind::EmptyLine;
        block.quoted = m_quoteDepth > 0;
        m_content.blocks.push_back(std::move(block));
    }
}

// Plain text keeps its line structure: every line becomes a paragraph.
std::string plainTextAsHtml(const std::string& text) {
    std::string html;
    html.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n') {
            html += "<br>";
        } else {
            html.push_back(c);
        }
    }
    return html;
}

}  // namespace

Fb2Content htmlToFb2(std::string_view html, const std::string& baseUrl,
                     const PictureLookup& pictures) {
    std::string clean = cleanText(html.substr(0, std::min(html.size(), kMaxHtmlBytes)));
    if (clean.find('<') == std::string::npos) {
        clean = plainTextAsHtml(clean);
    }
    Converter converter(baseUrl, pictures);
    if (clean.empty() || clean.size() > static_cast<std::size_t>(INT_MAX)) {
        return converter.take();
    }
    const XmlDocument document(
        htmlReadMemory(clean.data(), static_cast<int>(clean.size()), nullptr, "UTF-8",
                       HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_RECOVER | HTML_PARSE_COMPACT));
    if (document) {
        xmlNode* root = xmlDocGetRootElement(document.get());
        if (root != nullptr) {
            converter.walk(root);
        }
    }
    return converter.take();
}

std::string resolveUrl(std::string_view reference, const std::string& base) {
    const std::string trimmed = cleanLine(reference);
    if (trimmed.empty()) {
        return {};
    }
    const xmlChar* baseText = base.empty() ? nullptr : xml(base.c_str());
    XmlString built(xmlBuildURI(xml(trimmed.c_str()), baseText));
    if (!built) {
        // Addresses with spaces or other raw characters parse once escaped.
        const XmlString escaped(xmlURIEscapeStr(xml(trimmed.c_str()), xml(":/?#[]@!$&'()*+,;=%~")));
        if (escaped) {
            built.reset(xmlBuildURI(escaped.get(), baseText));
        }
    }
    return built ? std::string(chars(built.get())) : std::string();
}

bool isWebAddress(std::string_view url, bool allowMail) {
    const auto startsWith = [url](std::string_view prefix) {
        if (url.size() <= prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            const char c = url[i];
            const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (lower != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWith("http://") || startsWith("https://") || (allowMail && startsWith("mailto:"));
}

}  // namespace quillbox::rss::fb2
