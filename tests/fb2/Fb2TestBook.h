#pragma once
// Helpers of the FB2 tests: books built around one item, pictures written as
// files, and a parsed book queried with XPath (prefix f: FictionBook, l: xlink).

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "rss/NewsTypes.h"
#include "rss/fb2/Fb2Writer.h"

namespace quillbox::test {

// A book with one feed ("Feed", https://example.org/feed) holding one item
// with this HTML and no date or author, so that the item section holds only
// the converted text.
rss::NewsBook bookWithItem(const std::string& html,
                           const std::string& link = "https://example.org/news/item.html",
                           std::vector<rss::StoredImage> images = {});

// Bytes that start like the named kind of picture.
std::string jpegBytes();
std::string pngBytes();
std::string gifBytes();

// Options for tests that look at the converted text only: no closing link paragraph.
rss::Fb2Options textOnlyOptions();

// Writes the book to `path`, failing the current test when writing fails or
// when the file does not validate (schema and internal links).
void writeValidBook(const rss::NewsBook& book, const std::string& path,
                    const rss::Fb2Options& options = textOnlyOptions());

class Fb2Document {
  public:
    // Parses the file; loaded() is false when it is not well-formed.
    explicit Fb2Document(const std::string& path);
    bool loaded() const { return m_document != nullptr; }

    // Number of nodes the expression selects.
    int count(const std::string& xpath) const;
    // String value of each selected node, in document order.
    std::vector<std::string> texts(const std::string& xpath) const;
    // Local names of the selected nodes, in document order.
    std::vector<std::string> names(const std::string& xpath) const;
    // String value of the first selected node; empty when none.
    std::string text(const std::string& xpath) const;

  private:
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> m_document;
};

// Paragraph texts (p and subtitle, in order) of the first item of a book made
// by bookWithItem, written without the item's link paragraph.
inline constexpr const char* kItemBlocks =
    "/f:FictionBook/f:body/f:section[1]/f:section[1]/*[self::f:p or self::f:subtitle]";

}  // namespace quillbox::test
