#include "rss/XmlTree.h"

#include <libxml/HTMLparser.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <memory>
#include <set>

namespace quillbox::rss {
namespace {

// Declared entities may expand to at most this much text in one document; a
// document that wants more is refused, so the budget only bounds the work.
constexpr std::size_t kEntityBudget = std::size_t{1} << 20;
constexpr int kEntityDepth = 8;

xmlParserInputPtr refuseExternal(const char* /*url*/, const char* /*id*/,
                                 xmlParserCtxtPtr /*context*/) {
    return nullptr;
}

void appendCodePoint(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class EntityExpander {
  public:
    explicit EntityExpander(xmlDoc* doc) : m_doc(doc) {}

    // True once an entity nested too deeply or wanted more than the budget:
    // the document then holds less than it says.
    bool exceeded() const { return m_exceeded; }

    // The text an internal entity stands for; external entities give nothing.
    std::string expand(const xmlChar* name, int depth) {
        std::string out;
        xmlEntity* entity = xmlGetDocEntity(m_doc, name);
        if (entity == nullptr) {
            return out;
        }
        if (depth > kEntityDepth) {
            m_exceeded = true;
            return out;
        }
        if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY && entity->content != nullptr) {
            out = reinterpret_cast<const char*>(entity->content);
            return out;
        }
        if (entity->etype != XML_INTERNAL_GENERAL_ENTITY || entity->content == nullptr) {
            return out;
        }
        const std::string_view text(reinterpret_cast<const char*>(entity->content));
        for (std::size_t i = 0; i < text.size() && !m_exceeded; ++i) {
            if (m_used >= kEntityBudget) {
                m_exceeded = true;
                break;
            }
            if (text[i] != '&') {
                out += text[i];
                ++m_used;
                continue;
            }
            const std::size_t end = text.find(';', i);
            if (end == std::string_view::npos || end - i > 64) {
                out += text[i];
                ++m_used;
                continue;
            }
            const std::string inner(text.substr(i + 1, end - i - 1));
            if (!inner.empty() && inner[0] == '#') {
                const bool hex = inner.size() > 1 && (inner[1] == 'x' || inner[1] == 'X');
                const unsigned long code =
                    std::strtoul(inner.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
                appendCodePoint(out, code);
                ++m_used;
            } else {
                // The nested text was counted against the budget as it was built.
                out += expand(reinterpret_cast<const xmlChar*>(inner.c_str()), depth + 1);
            }
            i = end;
        }
        return out;
    }

    // Replaces every entity reference below node (attributes included) by text.
    void replaceReferences(xmlNode* node) {
        for (xmlNode* child = node->children; child != nullptr && !m_exceeded;) {
            xmlNode* next = child->next;
            if (child->type == XML_ENTITY_REF_NODE) {
                const std::string text = expand(child->name, 0);
                xmlNode* replacement =
                    xmlNewDocTextLen(m_doc, reinterpret_cast<const xmlChar*>(text.data()),
                                     static_cast<int>(text.size()));
                xmlReplaceNode(child, replacement);
                xmlFreeNode(child);
            } else if (child->type == XML_ELEMENT_NODE) {
                for (xmlAttr* attribute = child->properties; attribute != nullptr;
                     attribute = attribute->next) {
                    replaceReferences(reinterpret_cast<xmlNode*>(attribute));
                }
                replaceReferences(child);
            }
            child = next;
        }
    }

  private:
    xmlDoc* m_doc;
    std::size_t m_used = 0;
    bool m_exceeded = false;
};

struct ParserContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// Notes libxml2's own verdict on entities: its amplification check and its
// loop detection both report XML_ERR_ENTITY_LOOP and then stop the parse,
// which in recovery mode would hand back a document cut short.
void noteParserError(void* data, xmlErrorPtr error) {
    auto* context = static_cast<xmlParserCtxt*>(data);
    if (error != nullptr && error->code == XML_ERR_ENTITY_LOOP && context != nullptr &&
        context->_private != nullptr) {
        *static_cast<bool*>(context->_private) = true;
    }
}

bool isVoidElement(std::string_view name) {
    static const std::set<std::string_view> names = {"area",  "base",   "br",    "col",  "embed",
                                                     "hr",    "img",    "input", "link", "meta",
                                                     "param", "source", "track", "wbr"};
    std::string lower;
    for (const char c : name) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return names.count(lower) > 0;
}

void appendNodeText(const xmlNode* node, std::string& out) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            if (child->content != nullptr) {
                out += reinterpret_cast<const char*>(child->content);
            }
        } else if (child->type == XML_ELEMENT_NODE) {
            appendNodeText(child, out);
        }
    }
}

void appendAsHtml(const xmlNode* node, std::string& out) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (node->content != nullptr) {
            appendEscapedHtml(out, reinterpret_cast<const char*>(node->content), false);
        }
        return;
    }
    if (node->type != XML_ELEMENT_NODE) {
        return;
    }
    const std::string_view name = localName(node);
    out += '<';
    out += name;
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        out += ' ';
        out += reinterpret_cast<const char*>(attribute->name);
        out += "=\"";
        std::string value;
        appendNodeText(reinterpret_cast<const xmlNode*>(attribute), value);
        appendEscapedHtml(out, value, true);
        out += '"';
    }
    out += '>';
    if (isVoidElement(name)) {
        return;
    }
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        appendAsHtml(child, out);
    }
    out += "</";
    out += name;
    out += '>';
}

}  // namespace

Result<XmlDocPtr> parseXmlDocument(std::string_view utf8, const std::string& url) {
    const Error unreadable{kXmlUnreadable, "nothing could be parsed"};
    const Error entityLimit{kXmlEntityLimit, "declared entities expand beyond the limit"};
    if (utf8.empty() || utf8.size() > INT_MAX) {
        return unreadable;
    }
    xmlInitParser();
    const std::unique_ptr<xmlParserCtxt, ParserContextFree> context(xmlNewParserCtxt());
    if (context == nullptr || context->sax == nullptr) {
        return unreadable;
    }
    bool libxmlLimit = false;
    context->_private = &libxmlLimit;
    context->sax->serror = noteParserError;
    XmlDocPtr doc;
    {
        const NoExternalLoads guard;
        // Never XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities
        // stay references and libxml2's expansion limits stay on.
        const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                            XML_PARSE_NOWARNING | XML_PARSE_NOCDATA | XML_PARSE_IGNORE_ENC;
        doc.reset(xmlCtxtReadMemory(context.get(), utf8.data(), static_cast<int>(utf8.size()),
                                    url.empty() ? nullptr : url.c_str(), "UTF-8", options));
    }
    context->_private = nullptr;
    if (libxmlLimit) {
        return entityLimit;
    }
    if (doc == nullptr || xmlDocGetRootElement(doc.get()) == nullptr) {
        return unreadable;
    }
    EntityExpander expander(doc.get());
    expander.replaceReferences(reinterpret_cast<xmlNode*>(doc.get()));
    if (expander.exceeded()) {
        return entityLimit;
    }
    return doc;
}

XmlDocPtr parseHtmlDocument(std::string_view utf8) {
    xmlInitParser();
    const NoExternalLoads guard;
    const int options =
        HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;
    const std::string_view text = utf8.empty() ? std::string_view(" ") : utf8;
    return XmlDocPtr(htmlReadMemory(text.data(),
                                    static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX)),
                                    nullptr, "UTF-8", options));
}

std::string_view localName(const xmlNode* node) {
    if (node == nullptr || node->name == nullptr) {
        return {};
    }
    std::string_view name(reinterpret_cast<const char*>(node->name));
    // The HTML parser keeps prefixes as part of the name.
    if (node->ns == nullptr) {
        const std::size_t colon = name.find(':');
        if (colon != std::string_view::npos) {
            name.remove_prefix(colon + 1);
        }
    }
    return name;
}

std::string_view namespaceOf(const xmlNode* node) {
    if (node == nullptr || node->ns == nullptr || node->ns->href == nullptr) {
        return {};
    }
    return reinterpret_cast<const char*>(node->ns->href);
}

bool isElement(const xmlNode* node) {
    return node != nullptr && node->type == XML_ELEMENT_NODE;
}

xmlNode* childNamed(const xmlNode* parent, std::string_view name) {
    if (parent == nullptr) {
        return nullptr;
    }
    for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (isElement(child) && localName(child) == name) {
            return child;
        }
    }
    return nullptr;
}

std::string attributeOf(const xmlNode* node, std::string_view name) {
    if (!isElement(node)) {
        return {};
    }
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (std::string_view(reinterpret_cast<const char*>(attribute->name)) == name) {
            std::string value;
            appendNodeText(reinterpret_cast<const xmlNode*>(attribute), value);
            return value;
        }
    }
    return {};
}

bool hasAttribute(const xmlNode* node, std::string_view name) {
    if (!isElement(node)) {
        return false;
    }
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (std::string_view(reinterpret_cast<const char*>(attribute->name)) == name) {
            return true;
        }
    }
    return false;
}

std::string textOf(const xmlNode* node) {
    std::string out;
    if (node != nullptr) {
        appendNodeText(node, out);
    }
    return out;
}

bool hasChildElements(const xmlNode* node) {
    for (const xmlNode* child = node ? node->children : nullptr; child != nullptr;
         child = child->next) {
        if (isElement(child)) {
            return true;
        }
    }
    return false;
}

std::string childrenAsHtml(const xmlNode* node) {
    std::string out;
    for (const xmlNode* child = node ? node->children : nullptr; child != nullptr;
         child = child->next) {
        appendAsHtml(child, out);
    }
    return out;
}

void appendEscapedHtml(std::string& out, std::string_view text, bool attribute) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                if (attribute) {
                    out += "&quot;";
                    break;
                }
                out += c;
                break;
            default:
                out += c;
        }
    }
}

NoExternalLoads::NoExternalLoads() : m_previous(xmlGetExternalEntityLoader()) {
    xmlSetExternalEntityLoader(refuseExternal);
}

NoExternalLoads::~NoExternalLoads() {
    xmlSetExternalEntityLoader(m_previous);
}

}  // namespace quillbox::rss
