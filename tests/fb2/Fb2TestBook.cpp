#include "tests/fb2/Fb2TestBook.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/Fb2Schema.h"

namespace quillbox::test {

namespace {

struct XPathResult {
    xmlXPathContextPtr context = nullptr;
    xmlXPathObjectPtr object = nullptr;
    ~XPathResult() {
        xmlXPathFreeObject(object);
        xmlXPathFreeContext(context);
    }
    int size() const {
        return object != nullptr && object->nodesetval != nullptr ? object->nodesetval->nodeNr : 0;
    }
};

void evaluate(xmlDocPtr document, const std::string& xpath, XPathResult& result) {
    if (document == nullptr) {
        return;
    }
    result.context = xmlXPathNewContext(document);
    xmlXPathRegisterNs(
        result.context, reinterpret_cast<const xmlChar*>("f"),
        reinterpret_cast<const xmlChar*>("http://www.gribuser.ru/xml/fictionbook/2.0"));
    xmlXPathRegisterNs(result.context, reinterpret_cast<const xmlChar*>("l"),
                       reinterpret_cast<const xmlChar*>("http://www.w3.org/1999/xlink"));
    result.object =
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), result.context);
}

}  // namespace

rss::NewsBook bookWithItem(const std::string& html, const std::string& link,
                           std::vector<rss::StoredImage> images) {
    rss::NewsItem item;
    item.key = "item-1";
    item.title = "Item";
    item.link = link;
    item.contentHtml = html;
    item.images = std::move(images);
    rss::FeedNews feed;
    feed.title = "Feed";
    feed.url = "https://example.org/feed";
    feed.items.push_back(std::move(item));
    rss::NewsBook book;
    book.bookTitle = "News";
    book.created = 1764000000;
    book.feeds.push_back(std::move(feed));
    return book;
}

std::string jpegBytes() {
    static const char kBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01 jpeg body";
    return std::string(kBytes, sizeof kBytes - 1);
}

std::string pngBytes() {
    static const char kBytes[] = "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR png body";
    return std::string(kBytes, sizeof kBytes - 1);
}

std::string gifBytes() {
    return "GIF89a gif body";
}

rss::Fb2Options textOnlyOptions() {
    rss::Fb2Options options;
    options.includeItemLinks = false;
    return options;
}

void writeValidBook(const rss::NewsBook& book, const std::string& path,
                    const rss::Fb2Options& options) {
    const Status written = rss::writeNewsBook(book, path, options);
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_THAT(validateFb2(path), ::testing::IsEmpty()) << path;
}

Fb2Document::Fb2Document(const std::string& path)
    : m_document(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR),
                 &xmlFreeDoc) {}

int Fb2Document::count(const std::string& xpath) const {
    XPathResult result;
    evaluate(m_document.get(), xpath, result);
    return result.size();
}

std::vector<std::string> Fb2Document::texts(const std::string& xpath) const {
    XPathResult result;
    evaluate(m_document.get(), xpath, result);
    std::vector<std::string> values;
    for (int i = 0; i < result.size(); ++i) {
        xmlChar* value = xmlNodeGetContent(result.object->nodesetval->nodeTab[i]);
        values.emplace_back(value != nullptr ? reinterpret_cast<const char*>(value) : "");
        xmlFree(value);
    }
    return values;
}

std::vector<std::string> Fb2Document::names(const std::string& xpath) const {
    XPathResult result;
    evaluate(m_document.get(), xpath, result);
    std::vector<std::string> values;
    for (int i = 0; i < result.size(); ++i) {
        const xmlNode* node = result.object->nodesetval->nodeTab[i];
        values.emplace_back(node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "");
    }
    return values;
}

std::string Fb2Document::text(const std::string& xpath) const {
    const std::vector<std::string> values = texts(xpath);
    return values.empty() ? std::string() : values.front();
}

}  // namespace quillbox::test
