#include "rss/FeedDiscovery.h"

#include <libxml/tree.h>

#include <cctype>

#include "rss/TextEncoding.h"
#include "rss/Urls.h"
#include "rss/XmlTree.h"

namespace quillbox::rss {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && lowerAscii(text.substr(0, start.size())) == start;
}

// The attribute's value, its name matched in any letter case.
std::string attributeNoCase(const xmlNode* node, std::string_view name) {
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (lowerAscii(reinterpret_cast<const char*>(attribute->name)) == name) {
            return textOf(reinterpret_cast<const xmlNode*>(attribute));
        }
    }
    return {};
}

bool hasToken(std::string_view list, std::string_view token) {
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t start = list.find_first_not_of(" \t\r\n\f", at);
        if (start == std::string_view::npos) {
            break;
        }
        std::size_t end = list.find_first_of(" \t\r\n\f", start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        if (lowerAscii(list.substr(start, end - start)) == token) {
            return true;
        }
        at = end;
    }
    return false;
}

bool isFeedMediaType(std::string_view type) {
    const std::string bare = lowerAscii(trimmed(type.substr(0, type.find(';'))));
    return bare == "application/rss+xml" || bare == "application/atom+xml";
}

// The node after this one in document order, or null.
const xmlNode* nextInDocument(const xmlNode* node) {
    if (node->children != nullptr && node->type == XML_ELEMENT_NODE) {
        return node->children;
    }
    while (node != nullptr && node->next == nullptr) {
        node = node->parent;
    }
    return node != nullptr ? node->next : nullptr;
}

}  // namespace

bool looksLikeHtmlPage(std::string_view body, std::string_view contentType) {
    if (lowerAscii(contentType).find("html") != std::string::npos) {
        return true;
    }
    std::string_view text = body;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    for (;;) {
        const std::size_t start = text.find_first_not_of(" \t\r\n");
        if (start == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(start);
        std::string_view close;
        if (text.substr(0, 4) == "<!--") {
            close = "-->";
        } else if (text.substr(0, 2) == "<?") {
            close = "?>";
        } else {
            break;
        }
        const std::size_t end = text.find(close);
        if (end == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(end + close.size());
    }
    return startsWithNoCase(text, "<!doctype html") || startsWithNoCase(text, "<html");
}

DeclaredFeed declaredFeed(std::string_view body, std::string_view contentType,
                          const std::string& pageUrl) {
    DeclaredFeed feed;
    const DecodedDocument decoded = decodeDocument(body, charsetOfContentType(contentType));
    const XmlDocPtr doc = parseHtmlDocument(decoded.utf8);
    if (doc == nullptr) {
        return feed;
    }
    for (const xmlNode* node = xmlDocGetRootElement(doc.get()); node != nullptr;
         node = nextInDocument(node)) {
        if (!isElement(node) || lowerAscii(localName(node)) != "link" ||
            !hasToken(attributeNoCase(node, "rel"), "alternate") ||
            !isFeedMediaType(attributeNoCase(node, "type"))) {
            continue;
        }
        const std::string href(trimmed(attributeNoCase(node, "href")));
        if (href.empty()) {
            continue;  // declares nothing
        }
        feed.found = true;
        feed.url = resolveUrl(pageUrl, href);
        return feed;
    }
    return feed;
}

}  // namespace quillbox::rss
