#include "rss/fb2/Fb2Writer.h"

#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <unordered_set>

#include "platform/Clock.h"
#include "platform/DurableFile.h"
#include "rss/fb2/Fb2Blocks.h"
#include "rss/fb2/HtmlToFb2.h"
#include "rss/fb2/Pictures.h"
#include "rss/fb2/XmlOut.h"
#include "rss/fb2/XmlText.h"

namespace quillbox::rss {

namespace {

using fb2::Block;
using fb2::BlockKind;
using fb2::Fb2Content;
using fb2::Run;
using fb2::XmlOut;

constexpr const char* kFictionBookNamespace = "http://www.gribuser.ru/xml/fictionbook/2.0";
constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";

// Local time as "2026-12-07" (withTime false) or "2026-12-07 09:30".
std::string formatLocalTime(std::int64_t seconds, bool withTime) {
    std::tm local{};
    if (!platform::localCalendar(seconds, local)) {
        return {};
    }
    char text[64] = {};
    if (withTime) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
    }
    return text;
}

std::uint64_t fnv1a(std::uint64_t hash, const std::string& text) {
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash ^ 0xFF;
}

// A UUID-shaped id from the time, the book's content and a random part, so
// that two books made in the same second still differ.
std::string documentId(const NewsBook& book) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    hash = fnv1a(hash, book.bookTitle);
    for (const FeedNews& feed : book.feeds) {
        hash = fnv1a(hash, feed.url);
        for (const NewsItem& item : feed.items) {
            hash = fnv1a(hash, item.key);
        }
    }
    const auto now = platform::clockNow().time_since_epoch();
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    std::random_device random;
    const std::uint64_t high =
        (static_cast<std::uint64_t>(book.created) << 32) ^ static_cast<std::uint64_t>(nanoseconds);
    const std::uint64_t low = hash ^ (static_cast<std::uint64_t>(random()) << 32) ^ random();
    char text[40] = {};
    std::snprintf(text, sizeof text, "%08x-%04x-4%03x-%04x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFF),
                  static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

void writeAuthor(XmlOut& out, const std::string& nickname) {
    out.startElement("author");
    out.element("nickname", nickname);
    out.endElement();
}

void writeDate(XmlOut& out, std::int64_t seconds) {
    out.startElement("date");
    out.attribute("value", formatLocalTime(seconds, false));
    out.text(formatLocalTime(seconds, true));
    out.endElement();
}

void writeTitle(XmlOut& out, const std::string& cleanTitle) {
    out.startElement("title");
    out.element("p", cleanTitle);
    out.endElement();
    out.newline();
}

void writeDescription(XmlOut& out, const NewsBook& book, std::int64_t created,
                      const Fb2Options& options) {
    std::string program = fb2::cleanLine(options.programName);
    if (program.empty()) {
        program = "Quillbox";
    }
    std::string title = fb2::cleanLine(book.bookTitle);
    if (title.empty()) {
        title = program + " " + formatLocalTime(created, true);
    }
    std::string language = fb2::cleanLine(book.language);
    if (language.empty()) {
        language = "ru";
    }
    out.startElement("description");
    out.newline();
    out.startElement("title-info");
    out.element("genre", "periodic");
    writeAuthor(out, program);
    out.element("book-title", title);
    writeDate(out, created);
    out.element("lang", language);
    out.endElement();
    out.newline();
    out.startElement("document-info");
    writeAuthor(out, program);
    out.element("program-used", program);
    writeDate(out, created);
    out.element("id", documentId(book));
    out.element("version", "1.0");
    out.endElement();
    out.newline();
    out.endElement();
    out.newline();
}

Block paragraph(std::vector<Run> runs) {
    Block block;
    block.runs = std::move(runs);
    return block;
}

void writeItem(XmlOut& out, const NewsItem& item, fb2::PictureStore& pictures,
               const Fb2Options& options) {
    std::unordered_set<std::string> usedFiles;
    fb2::PictureLookup lookup;
    if (options.includeImages && !item.images.empty()) {
        lookup = [&](const std::string& address) -> std::string {
            for (const StoredImage& image : item.images) {
                if (image.sourceUrl == address) {
                    std::string id = pictures.idFor(image.file);
                    if (!id.empty()) {
                        usedFiles.insert(image.file);
                    }
                    return id;
                }
            }
            return {};
        };
    }
    Fb2Content text = fb2::htmlToFb2(item.contentHtml, item.link, lookup);

    Fb2Content content;
    content.links = std::move(text.links);
    const std::int64_t when = item.published != 0 ? item.published : item.firstSeen;
    const std::string date = when != 0 ? formatLocalTime(when, true) : std::string();
    const std::string author = fb2::cleanLine(item.author);
    std::string dateLine = date;
    if (!author.empty()) {
        dateLine += (dateLine.empty() ? "" : " \u00B7 ") + author;
    }
    if (!dateLine.empty()) {
        content.blocks.push_back(paragraph({Run{dateLine, fb2::kEmphasis, -1, {}}}));
    }
    // Pictures of the item that its text does not show (enclosures, thumbnails)
    // lead the text.
    if (options.includeImages) {
        for (const StoredImage& image : item.images) {
            if (usedFiles.insert(image.file).second) {
                const std::string id = pictures.idFor(image.file);
                if (!id.empty()) {
                    content.blocks.push_back(Block{BlockKind::Image, {}, id, false});
                }
            }
        }
    }
    for (Block& block : text.blocks) {
        content.blocks.push_back(std::move(block));
    }
    const std::string link = fb2::cleanLine(item.link);
    if (options.includeItemLinks && fb2::isWebAddress(link, false)) {
        content.links.push_back(link);
        const int index = static_cast<int>(content.links.size()) - 1;
        content.blocks.push_back(paragraph({Run{link, 0, index, {}}}));
    }
    // A section's content may not start with a picture, nor be empty.
    if (content.blocks.empty() || content.blocks.front().kind == BlockKind::Image) {
        Block emptyLine;
        emptyLine.kind = BlockKind::EmptyLine;
        content.blocks.insert(content.blocks.begin(), std::move(emptyLine));
    }

    std::string title = fb2::cleanLine(item.title);
    if (title.empty()) {
        title = !link.empty() ? link : (!date.empty() ? date : std::string("\u2014"));
    }
    out.startElement("section");
    out.newline();
    writeTitle(out, title);
    fb2::writeBlocks(out, content);
    out.endElement();
    out.newline();
}

void writeFeed(XmlOut& out, const FeedNews& feed, fb2::PictureStore& pictures,
               const Fb2Options& options) {
    std::string title = fb2::cleanLine(feed.title);
    if (title.empty()) {
        title = fb2::cleanLine(feed.url);
    }
    if (title.empty()) {
        title = "\u2014";
    }
    out.startElement("section");
    out.newline();
    writeTitle(out, title);
    for (const NewsItem& item : feed.items) {
        writeItem(out, item, pictures, options);
    }
    out.endElement();
    out.newline();
}

void writeFailures(XmlOut& out, const std::vector<FeedFailure>& failures,
                   const Fb2Options& options) {
    std::string title = fb2::cleanLine(options.failuresTitle);
    if (title.empty()) {
        title = "\u2014";
    }
    Fb2Content content;
    for (const FeedFailure& failure : failures) {
        const std::string name = fb2::cleanLine(failure.title);
        const std::string url = fb2::cleanLine(failure.url);
        const std::string reason = fb2::cleanLine(failure.reason);
        std::vector<Run> runs;
        runs.push_back(
            Run{!name.empty() ? name : (!url.empty() ? url : "\u2014"), fb2::kStrong, -1, {}});
        std::string rest;
        if (!name.empty() && !url.empty() && name != url) {
            rest += " (" + url + ")";
        }
        if (!reason.empty()) {
            rest += ": " + reason;
        }
        if (!rest.empty()) {
            runs.push_back(Run{rest, 0, -1, {}});
        }
        content.blocks.push_back(paragraph(std::move(runs)));
    }
    out.startElement("section");
    out.newline();
    writeTitle(out, title);
    fb2::writeBlocks(out, content);
    out.endElement();
    out.newline();
}

}  // namespace

Status writeNewsBook(const NewsBook& book, const std::string& path, const Fb2Options& options) {
    bool hasNews = false;
    for (const FeedNews& feed : book.feeds) {
        hasNews = hasNews || !feed.items.empty();
    }
    if (!hasNews && book.failures.empty()) {
        return Error{kFb2NothingToWrite, "no news and no failed feed: nothing to write"};
    }
    xmlInitParser();

    platform::DurableFile file;
    if (Status opened = file.create(path, {.mode = 0644}); !opened) {
        return Error{kFb2CannotCreate, opened.error().message};
    }
    // The description's dates must be valid xs:date values: years 1970 to 9999.
    constexpr std::int64_t kLastSecondOf9999 = 253402300799;
    const std::int64_t created = book.created > 0 && book.created <= kLastSecondOf9999
                                     ? book.created
                                     : platform::clockSeconds();
    fb2::PictureStore pictures(options.maxImageBytes);
    XmlOut out(file.fd());
    out.startElement("FictionBook");
    out.attribute("xmlns", kFictionBookNamespace);
    out.attribute("xmlns:l", kXlinkNamespace);
    out.newline();
    writeDescription(out, book, created, options);
    out.startElement("body");
    out.newline();
    for (const FeedNews& feed : book.feeds) {
        if (!feed.items.empty()) {
            writeFeed(out, feed, pictures, options);
        }
    }
    if (!book.failures.empty()) {
        writeFailures(out, book.failures, options);
    }
    out.endElement();
    out.newline();
    std::string pictureError;
    if (!pictures.writeBinaries(out, pictureError)) {
        out.finish();
        file.discard();
        return Error{kFb2WriteFailed, pictureError};
    }
    out.endElement();
    out.newline();
    if (!out.finish()) {
        file.discard();
        return Error{kFb2WriteFailed, out.errorText() + " (" + path + ")"};
    }
    if (Status committed = file.commit(); !committed) {
        return Error{kFb2WriteFailed, committed.error().message};
    }
    return Done{};
}

}  // namespace quillbox::rss
