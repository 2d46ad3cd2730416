// OPML feed lists. What is read:
//
//   <opml [version="1.0" | "2.0"]>
//     <head>...</head>                       ignored
//     <body>
//       <outline text="Folder">              folders nest to any depth
//         <outline type="rss" text="..." title="..." xmlUrl="http://..."/>
//       </outline>
//     </body>
//   </opml>
//
// An outline is a feed when it has a non-empty xmlUrl (attribute names match
// in any letter case, as exporters differ) and its type is absent, "rss" or
// "atom"; other outlines (type="link", folders) are passed through, never
// counted. What is written: OPML 2.0 in UTF-8, a head with a title, and one
// <outline type="rss" text title xmlUrl/> per list entry, in list order.

#include "rss/Opml.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_set>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/CodePage.h"
#include "rss/FeedFetcher.h"
#include "rss/FeedList.h"
#include "rss/Files.h"
#include "rss/HtmlContent.h"
#include "rss/TextEncoding.h"
#include "rss/Urls.h"
#include "rss/XmlTree.h"

namespace quillbox::rss {
namespace {

struct ParserContextFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

// libxml2 reports entities that loop or expand too far as XML_ERR_ENTITY_LOOP
// and stops, which in recovery mode would leave a document cut short.
void noteEntityRefusal(void* data, xmlErrorPtr error) {
    auto* context = static_cast<xmlParserCtxt*>(data);
    if (error != nullptr && error->code == XML_ERR_ENTITY_LOOP && context != nullptr &&
        context->_private != nullptr) {
        *static_cast<bool*>(context->_private) = true;
    }
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The text of the attribute whose name matches in any letter case; references
// to declared entities stay out of it, unexpanded.
std::string attributeText(const xmlNode* node, std::string_view name) {
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (sameName(reinterpret_cast<const char*>(attribute->name), name)) {
            return textOf(reinterpret_cast<const xmlNode*>(attribute));
        }
    }
    return {};
}

bool isFeedType(std::string_view type) {
    const std::string_view text = trimmed(type);
    return text.empty() || sameName(text, "rss") || sameName(text, "atom");
}

xmlNode* childElement(const xmlNode* parent, std::string_view name) {
    for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (isElement(child) && sameName(localName(child), name)) {
            return child;
        }
    }
    return nullptr;
}

// Depth is bounded by libxml2's nesting limit.
void collectFeeds(const xmlNode* parent, std::vector<OpmlFeed>& feeds) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (!isElement(child) || !sameName(localName(child), "outline")) {
            continue;
        }
        const std::string url(trimmed(attributeText(child, "xmlUrl")));
        if (!url.empty() && isFeedType(attributeText(child, "type"))) {
            std::string title = collapseBlanks(attributeText(child, "title"));
            if (title.empty()) {
                title = collapseBlanks(attributeText(child, "text"));
            }
            feeds.push_back({url, std::move(title)});
        }
        collectFeeds(child, feeds);
    }
}

void count(std::uint16_t& counter) {
    if (counter < std::numeric_limits<std::uint16_t>::max()) {
        ++counter;
    }
}

// An entry's ANSI text as UTF-8 that XML 1.0 can hold: control characters
// other than tab and line breaks become blanks.
std::string xmlText(std::string_view ansi) {
    std::string text = addressText(ansi);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            c = ' ';
        }
    }
    return text;
}

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

const xmlChar* xml(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

struct BufferFree {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
struct WriterFree {
    void operator()(xmlTextWriter* writer) const { xmlFreeTextWriter(writer); }
};

}  // namespace

Result<std::vector<OpmlFeed>> readOpmlFeeds(std::string_view bytes) {
    const Error notOpml{kNotOpml, "not an OPML document"};
    const DecodedDocument decoded = decodeDocument(bytes, {});
    if (decoded.utf8.empty() || decoded.utf8.size() > INT_MAX) {
        return notOpml;
    }
    xmlInitParser();
    const std::unique_ptr<xmlParserCtxt, ParserContextFree> context(xmlNewParserCtxt());
    if (context == nullptr || context->sax == nullptr) {
        return notOpml;
    }
    bool entitiesRefused = false;
    context->_private = &entitiesRefused;
    context->sax->serror = noteEntityRefusal;
    XmlDocPtr doc;
    {
        const NoExternalLoads guard;
        // Never XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities
        // stay references and libxml2's size and expansion limits stay on.
        const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                            XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
        doc.reset(xmlCtxtReadMemory(context.get(), decoded.utf8.data(),
                                    static_cast<int>(decoded.utf8.size()), nullptr, "UTF-8",
                                    options));
    }
    context->_private = nullptr;
    if (entitiesRefused || doc == nullptr) {
        return notOpml;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || !sameName(localName(root), "opml")) {
        return notOpml;
    }
    const xmlNode* body = childElement(root, "body");
    if (body == nullptr) {
        return notOpml;
    }
    std::vector<OpmlFeed> feeds;
    collectFeeds(body, feeds);
    return feeds;
}

std::uint8_t importOpml(const std::string& path, TRSSList& list, TOPMLReport& report) {
    report = TOPMLReport{};
    Result<std::string> bytes = readWholeFile(path, kMaxOpmlBytes);
    if (!bytes.ok()) {
        return kRssFileError;
    }
    const Result<std::vector<OpmlFeed>> feeds = readOpmlFeeds(bytes.value());
    if (!feeds.ok()) {
        return kRssNotAFeed;
    }
    const std::string codePage = platform::systemAnsiCodePage();
    std::unordered_set<std::string> listed;
    for (std::size_t i = 0; i < std::min<std::size_t>(list.Count, kMaxFeeds); ++i) {
        if (list.Items[i] != nullptr) {
            listed.emplace(fieldText(list.Items[i]->URL));
        }
    }
    for (const OpmlFeed& feed : feeds.value()) {
        if (list.Count >= kMaxFeeds) {
            count(report.BeyondLimit);
            continue;
        }
        Result<std::string> url = platform::fromUtf8(feed.url, codePage);
        if (!url.ok()) {
            count(report.NotRepresentable);
            continue;
        }
        if (url.value().size() >= sizeof(TRSSItem::URL)) {
            count(report.TooLong);
            continue;
        }
        if (listed.count(url.value()) != 0) {
            count(report.AlreadyListed);
            continue;
        }
        TRSSItem entry;
        std::memset(&entry, 0, sizeof entry);
        setFieldText(entry.URL, url.value());
        // Titles are only labels until the first fetch: a lost character is
        // better than a lost feed.
        setFieldText(entry.Title, platform::fromUtf8Lossy(feed.title, codePage));
        if (insertFeed(list, static_cast<std::uint16_t>(list.Count + 1), entry) != kRssOk) {
            count(report.BeyondLimit);
            continue;
        }
        listed.insert(std::move(url).value());
        count(report.Added);
    }
    return kRssOk;
}

Result<std::string> formatOpml(const TRSSList& list) {
    const Error failed{1, "the OPML document could not be written"};
    const std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (buffer == nullptr) {
        return failed;
    }
    std::unique_ptr<xmlTextWriter, WriterFree> writer(xmlNewTextWriterMemory(buffer.get(), 0));
    if (writer == nullptr) {
        return failed;
    }
    xmlTextWriter* out = writer.get();
    bool ok = xmlTextWriterSetIndent(out, 1) >= 0 &&
              xmlTextWriterSetIndentString(out, xml("  ")) >= 0 &&
              xmlTextWriterStartDocument(out, "1.0", "UTF-8", nullptr) >= 0 &&
              xmlTextWriterStartElement(out, xml("opml")) >= 0 &&
              xmlTextWriterWriteAttribute(out, xml("version"), xml("2.0")) >= 0 &&
              xmlTextWriterStartElement(out, xml("head")) >= 0 &&
              xmlTextWriterWriteElement(out, xml("title"), xml("Quillbox feeds")) >= 0 &&
              xmlTextWriterEndElement(out) >= 0 && xmlTextWriterStartElement(out, xml("body")) >= 0;
    const std::size_t entries = std::min<std::size_t>(list.Count, kMaxFeeds);
    for (std::size_t i = 0; ok && i < entries; ++i) {
        const TRSSItem* entry = list.Items[i];
        if (entry == nullptr) {
            continue;
        }
        const std::string url = xmlText(fieldText(entry->URL));
        const std::string_view ansiTitle = fieldText(entry->Title);
        const std::string title = ansiTitle.empty() ? url : xmlText(ansiTitle);
        ok = xmlTextWriterStartElement(out, xml("outline")) >= 0 &&
             xmlTextWriterWriteAttribute(out, xml("type"), xml("rss")) >= 0 &&
             xmlTextWriterWriteAttribute(out, xml("text"), xml(title)) >= 0 &&
             xmlTextWriterWriteAttribute(out, xml("title"), xml(title)) >= 0 &&
             xmlTextWriterWriteAttribute(out, xml("xmlUrl"), xml(url)) >= 0 &&
             xmlTextWriterEndElement(out) >= 0;
    }
    ok = ok && xmlTextWriterEndDocument(out) >= 0;
    writer.reset();  // flushes into the buffer
    if (!ok) {
        return failed;
    }
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

std::uint8_t exportOpml(const TRSSList& list, const std::string& path) {
    const Result<std::string> document = formatOpml(list);
    if (!document.ok() || path.empty()) {
        return kRssFileError;
    }
    return writeFileAtomically(path, document.value()).ok() ? kRssOk : kRssFileError;
}

}  // namespace quillbox::rss
