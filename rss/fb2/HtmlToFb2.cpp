#include "rss/fb2/HtmlToFb2.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "rss/fb2/BlockBuilder.h"
#include "rss/fb2/HtmlTags.h"
#include "rss/fb2/XmlText.h"

namespace quillbox::rss::fb2 {

namespace {

// Larger item texts are cut; no feed item needs more.
constexpr std::size_t kMaxHtmlBytes = std::size_t{16} * 1024 * 1024;

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

std::string attributeOf(xmlNode* node, const char* name) {
    XmlString value(xmlGetProp(node, xml(name)));
    return value ? std::string(chars(value.get())) : std::string();
}

// Walks the parsed HTML and tells the block builder what each element means.
class Converter {
  public:
    Converter(const std::string& baseUrl, const PictureLookup& pictures)
        : m_base(baseUrl), m_pictures(pictures) {}

    void walk(xmlNode* root);
    Fb2Content take() { return m_builder.take(); }

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
    void enterListItem();
    void enterLink(xmlNode* node, Frame& frame);
    void addPicture(xmlNode* node);
    void updateStyles();

    const std::string& m_base;
    const PictureLookup& m_pictures;
    BlockBuilder m_builder;
    TextContext& m_context = m_builder.context();
    std::vector<Frame> m_frames;
    std::vector<List> m_lists;
    std::vector<int> m_rowCells;  // cells seen so far in each open row
    std::array<int, 6> m_styleDepth{};
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
            m_builder.addText(chars(node->content));
        }
        return false;
    }
    if (node->type != XML_ELEMENT_NODE || node->name == nullptr) {
        return false;
    }
    Frame frame{classifyTag(chars(node->name)), false};
    switch (frame.tag) {
        case Tag::Drop:
            return false;
        case Tag::Break:
            m_builder.lineBreak();
            return false;
        case Tag::Rule:
            m_builder.rule();
            return false;
        case Tag::Image:
            addPicture(node);
            return false;
        case Tag::Block:
            m_builder.blockBoundary();
            break;
        case Tag::Heading:
            m_builder.blockBoundary();
            ++m_context.headingDepth;
            break;
        case Tag::Quote:
            m_builder.blockBoundary();
            ++m_context.quoteDepth;
            break;
        case Tag::Pre:
            ++m_context.preDepth;
            m_builder.startPreformatted();
            break;
        case Tag::List:
        case Tag::OrderedList:
            enterList(node, frame.tag == Tag::OrderedList);
            break;
        case Tag::ListItem:
            enterListItem();
            break;
        case Tag::Row:
            m_builder.startRow();
            m_rowCells.push_back(0);
            break;
        case Tag::Cell:
            m_builder.startCell(!m_rowCells.empty() && m_rowCells.back()++ > 0);
            ++m_context.cellDepth;
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
            ++m_styleDepth[static_cast<std::size_t>(std::countr_zero(styleBitOf(frame.tag)))];
            updateStyles();
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
            m_builder.blockBoundary();
            break;
        case Tag::Heading:
            m_builder.blockBoundary();
            --m_context.headingDepth;
            break;
        case Tag::Quote:
            m_builder.blockBoundary();
            --m_context.quoteDepth;
            break;
        case Tag::Pre:
            --m_context.preDepth;
            m_builder.endPreformatted();
            break;
        case Tag::List:
        case Tag::OrderedList:
            m_builder.blockBoundary();
            m_lists.pop_back();
            break;
        case Tag::ListItem:
            m_builder.blockBoundary();
            m_builder.clearListMarker();
            break;
        case Tag::Row:
            m_rowCells.pop_back();
            m_builder.blockBoundary();
            break;
        case Tag::Cell:
            m_builder.blockBoundary();
            --m_context.cellDepth;
            break;
        case Tag::Link:
            if (frame.ownsLink) {
                m_context.link = -1;
            }
            break;
        case Tag::Strong:
        case Tag::Emphasis:
        case Tag::Strike:
        case Tag::Sub:
        case Tag::Sup:
        case Tag::Code:
            --m_styleDepth[static_cast<std::size_t>(std::countr_zero(styleBitOf(frame.tag)))];
            updateStyles();
            break;
        default:
            break;
    }
}

void Converter::updateStyles() {
    m_context.styles = 0;
    for (std::size_t bit = 0; bit < m_styleDepth.size(); ++bit) {
        if (m_styleDepth[bit] > 0) {
            m_context.styles |= 1U << bit;
        }
    }
}

void Converter::enterList(xmlNode* node, bool ordered) {
    m_builder.blockBoundary();
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

void Converter::enterListItem() {
    m_builder.blockBoundary();
    if (m_context.cellDepth > 0) {
        return;  // a list inside a table cell stays within the row's text
    }
    std::string marker;
    // Nested lists are indented by two no-break spaces per level.
    for (std::size_t level = 1; level < m_lists.size(); ++level) {
        marker += "\u00A0\u00A0";
    }
    if (!m_lists.empty() && m_lists.back().ordered) {
        marker += std::to_string(m_lists.back().next++) + ". ";
    } else {
        marker += "\u2022 ";
    }
    m_builder.setListMarker(std::move(marker));
}

void Converter::enterLink(xmlNode* node, Frame& frame) {
    if (m_context.link >= 0) {
        return;  // FB2 links cannot nest: the outer link keeps the text
    }
    // resolveUrl refuses script and data addresses, which therefore never
    // turn into a link relative to the item.
    std::string url = resolveUrl(attributeOf(node, "href"), m_base);
    if (!isWebAddress(url, true)) {
        return;
    }
    m_context.link = m_builder.addLink(std::move(url));
    frame.ownsLink = true;
}

void Converter::addPicture(xmlNode* node) {
    if (!m_pictures) {
        return;
    }
    for (const char* attribute : {"src", "data-src", "data-lazy-src"}) {
        const std::string written = attributeOf(node, attribute);
        const std::string source = cleanLine(written);
        if (source.empty() || isScriptOrDataAddress(written)) {
            continue;
        }
        std::string id = m_pictures(source);
        if (id.empty()) {
            const std::string absolute = resolveUrl(source, m_base);
            if (!absolute.empty() && absolute != source) {
                id = m_pictures(absolute);
            }
        }
        if (!id.empty()) {
            m_builder.addPicture(id);
            return;
        }
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
    // The parser keeps its default nesting limit: deeper hostile markup is cut
    // there rather than costing time that grows with the square of the depth.
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
    if (trimmed.empty() || isScriptOrDataAddress(reference)) {
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

bool isScriptOrDataAddress(std::string_view url) {
    // Parsers and readers drop some of these on the way, so a scheme spelt
    // with any of them inside is judged as the scheme it would become.
    static constexpr std::string_view kInvisible[] = {
        "\xC2\xA0",      // no-break space
        "\xE2\x80\x8B",  // zero width space
        "\xE2\x80\x8C",  // zero width non-joiner
        "\xE2\x80\x8D",  // zero width joiner
        "\xE2\x81\xA0",  // word joiner
        "\xEF\xBB\xBF",  // byte order mark
    };
    static constexpr std::string_view kSchemes[] = {"javascript", "vbscript", "data"};
    std::string scheme;
    std::size_t at = 0;
    while (at < url.size()) {
        const auto byte = static_cast<unsigned char>(url[at]);
        if (byte <= 0x20 || byte == 0x7F) {
            ++at;
            continue;
        }
        bool skipped = false;
        for (const std::string_view invisible : kInvisible) {
            if (url.substr(at, invisible.size()) == invisible) {
                at += invisible.size();
                skipped = true;
                break;
            }
        }
        if (skipped) {
            continue;
        }
        if (url[at] == ':') {
            for (const std::string_view wanted : kSchemes) {
                if (scheme == wanted) {
                    return true;
                }
            }
            return false;
        }
        const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (!letter || scheme.size() >= 10) {
            return false;  // no scheme of the three can come out of this
        }
        scheme += static_cast<char>(byte | 0x20);
        ++at;
    }
    return false;
}

}  // namespace quillbox::rss::fb2
