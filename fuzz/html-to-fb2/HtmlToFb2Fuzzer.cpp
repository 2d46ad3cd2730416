// Any bytes as an item's HTML text: converted to FB2 blocks, then written as a
// one-item book to a file in the scratch folder, which must be well-formed XML.
// Checks what the converter promises: runs are UTF-8 and a picture run has no
// text, links are in range and are web or mail addresses, and no picture block
// is quoted. One stored PNG picture stands at an address that items may name.

#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz/support/FuzzFolder.h"
#include "rss/NewsTypes.h"
#include "rss/TextEncoding.h"
#include "rss/fb2/Fb2Writer.h"
#include "rss/fb2/HtmlToFb2.h"

namespace {

using namespace quillbox::rss;

const std::string kItemUrl = "http://news.example.test/2024/item.html";
const std::string kPictureUrl = "http://news.example.test/2024/picture.png";

// The bytes of a small PNG: signature, then the start of an IHDR chunk.
constexpr std::string_view kPngBytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02",
                                     24);

void check(const fb2::Fb2Content& content) {
    for (const std::string& link : content.links) {
        if (!fb2::isWebAddress(link, true) || !isValidUtf8(link)) {
            __builtin_trap();
        }
    }
    for (const fb2::Block& block : content.blocks) {
        if (block.kind == fb2::BlockKind::Image && (block.quoted || block.imageId.empty())) {
            __builtin_trap();
        }
        for (const fb2::Run& run : block.runs) {
            const bool linkInRange =
                run.link >= -1 && run.link < static_cast<int>(content.links.size());
            if (!linkInRange || !isValidUtf8(run.text) ||
                (!run.imageId.empty() && !run.text.empty())) {
                __builtin_trap();
            }
        }
    }
}

// Writes the item as a book and requires a well-formed file, when one was written.
void writeBook(const std::string& html) {
    const std::string& folder = quillbox::fuzz::scratchFolder();
    const std::string picture = folder + "picture.png";
    const std::string path = folder + "news.fb2";
    static const bool pictureStored = (quillbox::fuzz::writeWholeFile(picture, kPngBytes), true);
    (void)pictureStored;

    NewsBook book;
    book.bookTitle = "News";
    book.created = 1700000000;
    NewsItem item;
    item.key = "1";
    item.title = "Item";
    item.link = kItemUrl;
    item.published = 1700000000;
    item.contentHtml = html;
    item.images.push_back({kPictureUrl, picture, "image/png"});
    book.feeds.push_back({"Feed", "http://news.example.test/feed.xml", {item}});
    if (!writeNewsBook(book, path).ok()) {
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    xmlDocPtr document =
        xmlReadMemory(written.data(), static_cast<int>(written.size()), path.c_str(), nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr) {
        __builtin_trap();
    }
    xmlFreeDoc(document);
    std::remove(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    // Pictures at addresses of odd length count as stored, so both sides of
    // every picture rule are reached.
    const fb2::PictureLookup lookup = [](const std::string& address) {
        return address.size() % 2 == 1 ? "pic" + std::to_string(address.size()) : std::string();
    };
    check(fb2::htmlToFb2(html, kItemUrl, lookup));
    check(fb2::htmlToFb2(html, "", {}));
    writeBook(html);
    return 0;
}
