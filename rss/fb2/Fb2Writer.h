#pragma once
// Writes a NewsBook as one FictionBook 2.0 file (UTF-8) that validates against
// the FictionBook 2.0 schema:
//
//   <FictionBook xmlns=".../fictionbook/2.0" xmlns:l="http://www.w3.org/1999/xlink">
//     <description> title-info (genre "periodic", author, book title, date, lang)
//                   document-info (author, program-used, date, id, version 1.0)
//     <body> one <section> per feed with news (title = feed title), holding one
//            <section> per item: title, a date line, the text as paragraphs;
//            then one <section> listing the feeds whose last fetch failed
//     <binary id="imgN" content-type="image/jpeg|image/png"> per picture used
//
// Pictures are embedded only when their bytes are JPEG or PNG (the content type
// is taken from the bytes, not from the name), and each is referenced as
// <image l:href="#imgN"/>; nothing else links inside the book.

#include <cstdint>
#include <string>

#include "common/Result.h"
#include "rss/NewsTypes.h"

namespace quillbox::rss {

struct Fb2Options {
    // Author nickname of the book and of the document, and program-used.
    std::string programName = "Quillbox";
    // Title of the last section, which lists the feeds that failed.
    std::string failuresTitle = "Feeds that could not be updated";
    // Embed the items' stored pictures; when false no picture file is read.
    bool includeImages = true;
    // Pictures larger than this are left out.
    std::uint64_t maxImageBytes = std::uint64_t{8} * 1024 * 1024;
    // End each item with a paragraph linking to the item's page.
    bool includeItemLinks = true;
};

// Error codes of writeNewsBook.
enum Fb2Error : int {
    kFb2NothingToWrite = 1,  // no feed has news and no feed failed: no file is written
    kFb2CannotCreate = 2,    // the temporary file could not be created (no folder, no access)
    kFb2WriteFailed = 3,     // writing, syncing or renaming failed, or a picture vanished
};

// Writes `book` to `path` atomically: through `path` + ".tmp" in the same
// folder, synced and renamed over `path` when complete. On failure an existing
// `path` is untouched and no temporary file of ours is left behind. Feeds without
// items are skipped. Texts may hold any bytes: invalid UTF-8 becomes U+FFFD and
// control characters are dropped.
Status writeNewsBook(const NewsBook& book, const std::string& path, const Fb2Options& options = {});

}  // namespace quillbox::rss
