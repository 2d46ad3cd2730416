#pragma once
// libxml2 documents as the feed parser uses them: parsed safely, walked by
// local name, and written back out as HTML text.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace quillbox::rss {

struct XmlDocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;

// Error codes of parseXmlDocument.
inline constexpr int kXmlUnreadable = 1;   // nothing could be parsed
inline constexpr int kXmlEntityLimit = 2;  // declared entities expand too far or loop

// Parses UTF-8 XML with recovery from errors. Nothing outside the text is ever
// loaded (no DTD, no external entity, no network); entities declared inside
// the document are replaced by their text. A document whose entities loop,
// nest too deeply or expand beyond a small budget (libxml2's amplification
// check or ours) is refused whole with kXmlEntityLimit, never returned cut
// short. Never a null document on success.
Result<XmlDocPtr> parseXmlDocument(std::string_view utf8, const std::string& url);

// Parses UTF-8 HTML (a whole page or a fragment) with recovery; never null for
// input under 2 GiB.
XmlDocPtr parseHtmlDocument(std::string_view utf8);

// Element name without its prefix.
std::string_view localName(const xmlNode* node);
// Namespace address of the element, or empty.
std::string_view namespaceOf(const xmlNode* node);
bool isElement(const xmlNode* node);
// The first child element with this local name (any namespace), or null.
xmlNode* childNamed(const xmlNode* parent, std::string_view name);
// Value of the attribute with this local name (any namespace), or empty.
std::string attributeOf(const xmlNode* node, std::string_view name);
bool hasAttribute(const xmlNode* node, std::string_view name);
// All text below the node, in document order.
std::string textOf(const xmlNode* node);
// True when the node has element children.
bool hasChildElements(const xmlNode* node);
// The node's children written as HTML: element names without prefixes, text
// escaped, comments and processing instructions left out.
std::string childrenAsHtml(const xmlNode* node);

// Text escaped for HTML content and attribute values.
void appendEscapedHtml(std::string& out, std::string_view text, bool attribute);

// Keeps libxml2 from opening anything (external entities, DTDs) while one
// document is parsed; the previous loader comes back when it goes.
class NoExternalLoads {
  public:
    NoExternalLoads();
    ~NoExternalLoads();
    NoExternalLoads(const NoExternalLoads&) = delete;
    NoExternalLoads& operator=(const NoExternalLoads&) = delete;

  private:
    xmlExternalEntityLoader m_previous;
};

}  // namespace quillbox::rss
