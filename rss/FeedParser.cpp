#include "rss/FeedParser.h"

#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "rss/Dates.h"
#include "rss/HtmlContent.h"
#include "rss/TextEncoding.h"
#include "rss/Urls.h"
#include "rss/XmlRepair.h"
#include "rss/XmlTree.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kAtom10 = "http://www.w3.org/2005/Atom";
constexpr std::string_view kAtom03 = "http://purl.org/atom/ns#";
constexpr std::string_view kRss090 = "http://my.netscape.com/rdf/simple/0.9/";
constexpr std::string_view kRss10 = "http://purl.org/rss/1.0/";
constexpr std::string_view kXhtml = "http://www.w3.org/1999/xhtml";
constexpr std::size_t kMaxImagesPerItem = 20;
constexpr std::size_t kFallbackTitleChars = 80;

std::string lower(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool isRssNamespace(std::string_view ns) {
    return ns.empty() || ns == kRss090 || ns == kRss10 ||
           ns.find("backend.userland.com/rss") != std::string_view::npos ||
           ns.find("blogs.law.harvard.edu/tech/rss") != std::string_view::npos;
}

bool isAtomNamespace(std::string_view ns) {
    return ns == kAtom10 || ns == kAtom03;
}

bool isMediaElement(const xmlNode* node) {
    const std::string_view ns = namespaceOf(node);
    return ns.find("search.yahoo.com/mrss") != std::string_view::npos ||
           (node->ns != nullptr && node->ns->prefix != nullptr &&
            std::string_view(reinterpret_cast<const char*>(node->ns->prefix)) == "media");
}

// The first child element with this local name in the given family of
// namespaces.
template <typename Predicate>
xmlNode* child(const xmlNode* parent, std::string_view name, Predicate inFamily) {
    for (xmlNode* node = parent ? parent->children : nullptr; node != nullptr; node = node->next) {
        if (isElement(node) && localName(node) == name && inFamily(namespaceOf(node))) {
            return node;
        }
    }
    return nullptr;
}

bool anyNamespace(std::string_view /*ns*/) {
    return true;
}

std::string cutText(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    std::size_t at = 0;
    while (at < text.size() && chars < maxChars) {
        const auto lead = static_cast<unsigned char>(text[at]);
        at += lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        ++chars;
    }
    if (at >= text.size()) {
        return std::string(text);
    }
    return std::string(text.substr(0, at)) + "\xE2\x80\xA6";
}

bool looksLikeImageAddress(std::string_view url) {
    std::string path = lower(url);
    const std::size_t cut = path.find_first_of("?#");
    if (cut != std::string::npos) {
        path.resize(cut);
    }
    for (const std::string_view ending : {".jpg", ".jpeg", ".png", ".jpe"}) {
        if (path.size() >= ending.size() &&
            path.compare(path.size() - ending.size(), ending.size(), ending) == 0) {
            return true;
        }
    }
    return false;
}

// The base address for links inside node: every xml:base from the root down,
// applied to fallback.
std::string baseFor(const xmlNode* node, const std::string& fallback) {
    std::vector<std::string> bases;
    for (const xmlNode* at = node; at != nullptr && at->type == XML_ELEMENT_NODE; at = at->parent) {
        xmlChar* value =
            xmlGetNsProp(at, reinterpret_cast<const xmlChar*>("base"), XML_XML_NAMESPACE);
        if (value != nullptr) {
            bases.emplace_back(reinterpret_cast<const char*>(value));
            xmlFree(value);
        }
    }
    std::string base = fallback;
    for (auto it = bases.rbegin(); it != bases.rend(); ++it) {
        std::string next = resolveUrl(base, *it);
        if (!next.empty()) {
            base = std::move(next);  // a refused xml:base changes nothing
        }
    }
    return base;
}

// Title texts are plain, but many feeds put markup or entities in them.
std::string plainTitle(std::string_view text) {
    if (text.find('<') != std::string_view::npos || text.find('&') != std::string_view::npos) {
        return plainTextOfHtml(text);
    }
    return collapseBlanks(text);
}

struct Construct {
    std::string html;
    bool isHtml = false;  // html holds markup; false: escaped plain text
};

// An Atom text construct (1.0 type text/html/xhtml; 0.3 mode xml/escaped/base64).
Construct atomConstruct(const xmlNode* node) {
    Construct result;
    if (node == nullptr) {
        return result;
    }
    const std::string type = lower(attributeOf(node, "type"));
    const std::string mode = lower(attributeOf(node, "mode"));
    const bool htmlType = type == "html" || type.find("html") != std::string::npos;
    if (mode == "base64" ||
        (!type.empty() && type != "text" && !htmlType && type.rfind("text/", 0) != 0 &&
         type.find("xml") == std::string::npos)) {
        // Atom 1.0 puts other media types in base64.
        // The decoded bytes may be anything; the item keeps UTF-8 only.
        const std::string data = repairUtf8(decodeBase64(textOf(node)));
        result.isHtml = htmlType;
        result.html = htmlType ? data : plainTextAsHtml(data);
        return result;
    }
    if (type == "xhtml" || type.find("xhtml") != std::string::npos || hasChildElements(node)) {
        const xmlNode* div = childNamed(node, "div");
        const bool wrapper = div != nullptr && (namespaceOf(div) == kXhtml || type == "xhtml");
        result.html = childrenAsHtml(wrapper ? div : node);
        result.isHtml = true;
        return result;
    }
    if (htmlType || mode == "escaped") {
        result.html = textOf(node);
        result.isHtml = true;
        return result;
    }
    result.html = plainTextAsHtml(textOf(node));
    return result;
}

std::string constructTitle(const xmlNode* node) {
    if (node == nullptr) {
        return {};
    }
    const Construct construct = atomConstruct(node);
    return construct.isHtml ? plainTextOfHtml(construct.html) : collapseBlanks(textOf(node));
}

class ItemBuilder {
  public:
    ItemBuilder(const xmlNode* item, const std::string& fallback)
        : m_fallback(fallback), m_base(baseFor(item, fallback)) {}

    void addImage(const std::string& address) {
        if (address.empty()) {
            return;
        }
        const std::string absolute = resolveUrl(m_base, address);
        if (isHttpUrl(absolute) && m_seenImages.insert(absolute).second &&
            m_item.images.size() < kMaxImagesPerItem) {
            m_item.images.push_back(absolute);
        }
    }

    // media:content, media:thumbnail and media:group below node.
    void addMedia(const xmlNode* node) {
        for (const xmlNode* at = node->children; at != nullptr; at = at->next) {
            if (!isElement(at) || !isMediaElement(at)) {
                continue;
            }
            const std::string_view name = localName(at);
            if (name == "group") {
                addMedia(at);
            } else if (name == "thumbnail") {
                addImage(attributeOf(at, "url"));
            } else if (name == "content") {
                const std::string url = attributeOf(at, "url");
                const std::string type = lower(attributeOf(at, "type"));
                const std::string medium = lower(attributeOf(at, "medium"));
                if (medium == "image" || type.rfind("image/", 0) == 0 ||
                    (type.empty() && medium.empty() && looksLikeImageAddress(url))) {
                    addImage(url);
                }
                addMedia(at);
            }
        }
    }

    void addEnclosure(const std::string& url, const std::string& type) {
        const std::string kind = lower(type);
        if (kind.rfind("image/", 0) == 0 || (kind.empty() && looksLikeImageAddress(url))) {
            addImage(url);
        }
    }

    // Takes the content, resolves its links against the base in force where
    // the content was found (its own xml:base counts) and adds its pictures
    // after the ones named by the feed itself.
    void setContent(const std::string& html, const xmlNode* from) {
        ItemHtml resolved =
            absoluteHtml(html, from != nullptr ? baseFor(from, m_fallback) : m_base);
        m_item.contentHtml = std::move(resolved.html);
        for (const std::string& image : resolved.images) {
            addImage(image);
        }
    }

    ParsedItem& item() { return m_item; }
    const std::string& base() const { return m_base; }

    // False for an item with nothing in it.
    bool finish() {
        if (m_item.title.empty()) {
            const std::string text = plainTextOfHtml(m_item.contentHtml);
            m_item.title = !text.empty() ? cutText(text, kFallbackTitleChars) : m_item.link;
        }
        return !m_item.title.empty() || !m_item.id.empty() || !m_item.contentHtml.empty();
    }

  private:
    std::string m_fallback;
    std::string m_base;
    ParsedItem m_item;
    std::set<std::string> m_seenImages;
};

std::int64_t firstDate(const xmlNode* item, std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        for (const xmlNode* node = item->children; node != nullptr; node = node->next) {
            if (isElement(node) && localName(node) == name) {
                const std::int64_t value = parseFeedDate(textOf(node));
                if (value > 0) {
                    return value;
                }
            }
        }
    }
    return 0;
}

// The href of the first alternate (or unmarked) Atom link.
std::string alternateLink(const xmlNode* parent, bool atomOnly) {
    std::string fallback;
    for (const xmlNode* node = parent->children; node != nullptr; node = node->next) {
        if (!isElement(node) || localName(node) != "link" ||
            (atomOnly && !isAtomNamespace(namespaceOf(node)))) {
            continue;
        }
        const std::string rel = lower(attributeOf(node, "rel"));
        std::string href = attributeOf(node, "href");
        if (href.empty() || !(rel.empty() || rel == "alternate")) {
            continue;
        }
        const std::string type = lower(attributeOf(node, "type"));
        if (type.empty() || type.find("html") != std::string::npos) {
            return href;
        }
        if (fallback.empty()) {
            fallback = href;
        }
    }
    return fallback;
}

bool readRssItem(const xmlNode* node, const std::string& fallbackBase, ParsedItem& out) {
    ItemBuilder builder(node, fallbackBase);
    ParsedItem& item = builder.item();
    if (const xmlNode* title = child(node, "title", isRssNamespace)) {
        item.title = plainTitle(textOf(title));
    }
    const xmlNode* guid = child(node, "guid", isRssNamespace);
    item.id = std::string(trimmed(guid ? textOf(guid) : attributeOf(node, "about")));
    std::string link(trimmed(textOf(child(node, "link", isRssNamespace))));
    if (link.empty()) {
        link = alternateLink(node, true);
    }
    if (link.empty() && guid != nullptr && lower(attributeOf(guid, "isPermaLink")) != "false" &&
        isHttpUrl(item.id)) {
        link = item.id;
    }
    item.link = link.empty() ? std::string() : resolveUrl(builder.base(), link);
    item.published = firstDate(node, {"pubDate", "date", "published", "updated", "issued"});
    if (const xmlNode* author = child(node, "author", isRssNamespace)) {
        item.author = collapseBlanks(textOf(author));
    }
    if (item.author.empty()) {
        item.author = collapseBlanks(textOf(child(node, "creator", anyNamespace)));
    }
    for (const xmlNode* at = node->children; at != nullptr; at = at->next) {
        if (isElement(at) && localName(at) == "enclosure") {
            builder.addEnclosure(attributeOf(at, "url"), attributeOf(at, "type"));
        } else if (isElement(at) && localName(at) == "link" && isAtomNamespace(namespaceOf(at)) &&
                   lower(attributeOf(at, "rel")) == "enclosure") {
            builder.addEnclosure(attributeOf(at, "href"), attributeOf(at, "type"));
        }
    }
    builder.addMedia(node);
    std::string html;
    const xmlNode* source = child(node, "encoded", anyNamespace);
    if (source != nullptr) {
        html = textOf(source);
    }
    if (trimmed(html).empty()) {
        source = child(node, "body", [](std::string_view ns) { return ns == kXhtml; });
        if (source != nullptr) {
            html = childrenAsHtml(source);
        }
    }
    if (trimmed(html).empty()) {
        source = child(node, "description", isRssNamespace);
        if (source != nullptr) {
            html = hasChildElements(source) ? childrenAsHtml(source) : textOf(source);
        }
    }
    builder.setContent(html, source);
    if (!builder.finish()) {
        return false;
    }
    out = std::move(item);
    return true;
}

bool readAtomEntry(const xmlNode* node, const std::string& fallbackBase,
                   const std::string& feedAuthor, ParsedItem& out) {
    ItemBuilder builder(node, fallbackBase);
    ParsedItem& item = builder.item();
    const auto core = [](std::string_view ns) { return ns.empty() || isAtomNamespace(ns); };
    item.title = constructTitle(child(node, "title", core));
    item.id = std::string(trimmed(textOf(child(node, "id", core))));
    const std::string link = alternateLink(node, false);
    item.link = link.empty() ? std::string() : resolveUrl(builder.base(), link);
    item.published =
        firstDate(node, {"published", "issued", "updated", "modified", "created", "date"});
    if (const xmlNode* author = child(node, "author", core)) {
        item.author = collapseBlanks(textOf(childNamed(author, "name")));
    }
    if (item.author.empty()) {
        item.author = feedAuthor;
    }
    for (const xmlNode* at = node->children; at != nullptr; at = at->next) {
        if (isElement(at) && localName(at) == "link" &&
            lower(attributeOf(at, "rel")) == "enclosure") {
            builder.addEnclosure(attributeOf(at, "href"), attributeOf(at, "type"));
        }
    }
    builder.addMedia(node);
    std::string html;
    const xmlNode* source = child(node, "content", core);
    if (source != nullptr) {
        const std::string address = attributeOf(source, "src");
        const std::string target =
            address.empty() ? std::string() : resolveUrl(baseFor(source, fallbackBase), address);
        if (!target.empty()) {
            html = "<p><a href=\"";
            appendEscapedHtml(html, target, true);
            html += "\">";
            appendEscapedHtml(html, target, false);
            html += "</a></p>";
        } else if (address.empty()) {
            html = atomConstruct(source).html;
        }
    }
    if (trimmed(html).empty()) {
        source = child(node, "summary", core);
        html = atomConstruct(source).html;
    }
    builder.setContent(html, source);
    if (!builder.finish()) {
        return false;
    }
    out = std::move(item);
    return true;
}

// Calls take for every element named name below root in document order, not
// looking inside those elements: items usually sit right in the channel, but an
// unclosed element before them (recovered by the parser) nests them deeper.
template <typename Take>
void collectItems(const xmlNode* root, std::string_view name, Take take) {
    std::size_t found = 0;
    const auto walk = [&](const auto& self, const xmlNode* parent, int depth) -> void {
        for (const xmlNode* node = parent->children; node != nullptr; node = node->next) {
            if (found >= kMaxParsedItems) {
                return;
            }
            if (!isElement(node)) {
                continue;
            }
            if (localName(node) == name) {
                ++found;
                take(node);
            } else if (depth < 8) {
                self(self, node, depth + 1);
            }
        }
    };
    walk(walk, root, 0);
}

void readRss(const xmlNode* root, const std::string& url, ParsedFeed& feed) {
    const std::string_view rootName = localName(root);
    const xmlNode* channel = rootName == "channel" ? root : childNamed(root, "channel");
    if (rootName == "RDF") {
        bool netscape = namespaceOf(channel) == kRss090;
        for (const xmlNs* ns = root->nsDef; ns != nullptr && !netscape; ns = ns->next) {
            netscape = ns->href != nullptr &&
                       std::string_view(reinterpret_cast<const char*>(ns->href)) == kRss090;
        }
        feed.format = netscape ? "RSS 0.90" : "RSS 1.0";
    } else {
        const std::string version = attributeOf(root, "version");
        feed.format = version.empty() ? "RSS" : "RSS " + version;
    }
    if (channel != nullptr) {
        feed.title = plainTitle(textOf(child(channel, "title", isRssNamespace)));
        std::string link(trimmed(textOf(child(channel, "link", isRssNamespace))));
        if (link.empty()) {
            link = alternateLink(channel, true);
        }
        if (!link.empty()) {
            feed.link = resolveUrl(baseFor(channel, url), link);
        }
    }
    // Relative item links are read against xml:base, else the site's address,
    // else the feed's own.
    const std::string fallback = isHttpUrl(feed.link) ? feed.link : url;
    collectItems(root, "item", [&](const xmlNode* node) {
        if (!isRssNamespace(namespaceOf(node))) {
            return;
        }
        ParsedItem item;
        if (readRssItem(node, fallback, item)) {
            feed.items.push_back(std::move(item));
        }
    });
}

void readAtom(const xmlNode* root, const std::string& url, ParsedFeed& feed) {
    const std::string_view ns = namespaceOf(root);
    feed.format = ns == kAtom03 ? "Atom 0.3" : "Atom 1.0";
    const auto core = [ns](std::string_view at) {
        return at.empty() || at == ns || isAtomNamespace(at);
    };
    feed.title = constructTitle(child(root, "title", core));
    const std::string base = baseFor(root, url);
    const std::string link = alternateLink(root, false);
    feed.link = link.empty() ? std::string() : resolveUrl(base, link);
    std::string author;
    if (const xmlNode* node = child(root, "author", core)) {
        author = collapseBlanks(textOf(childNamed(node, "name")));
    }
    collectItems(root, "entry", [&](const xmlNode* node) {
        if (!core(namespaceOf(node))) {
            return;
        }
        ParsedItem item;
        if (readAtomEntry(node, url, author, item)) {
            feed.items.push_back(std::move(item));
        }
    });
}

}  // namespace

Result<ParsedFeed> parseFeed(std::string_view bytes, std::string_view httpCharset,
                             const std::string& url) {
    const DecodedDocument decoded = decodeDocument(bytes, httpCharset);
    const std::string text = repairXml(decoded.utf8);
    Result<XmlDocPtr> doc = parseXmlDocument(text, url);
    if (!doc.ok()) {
        // A feed whose entities run past the limit would lose part of its
        // news without a word, so it fails as a whole.
        return Error{kNotAFeed, doc.error().code == kXmlEntityLimit
                                    ? "The feed's entities expand beyond the allowed size."
                                    : "The document is not XML."};
    }
    const xmlNode* root = xmlDocGetRootElement(doc.value().get());
    ParsedFeed feed;
    const std::string_view name = localName(root);
    if (name == "rss" || name == "RDF" || name == "channel") {
        readRss(root, url, feed);
    } else if (name == "feed") {
        readAtom(root, url, feed);
    } else {
        return Error{kNotAFeed, "The document is not a feed."};
    }
    return feed;
}

}  // namespace quillbox::rss
