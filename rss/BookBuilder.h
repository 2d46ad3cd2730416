#pragma once
// Turning the news not yet delivered into one FB2 book.

#include <cstdint>
#include <string>
#include <vector>

#include "common/RSSTypes.h"
#include "rss/Delivery.h"
#include "rss/NewsTypes.h"

namespace quillbox::rss {

struct CollectedNews {
    NewsBook book;
    std::vector<PendingEntry> pending;  // every item the book delivers
    std::size_t itemCount = 0;
};

// The undelivered news of the list's feeds, in list order, each feed's items
// newest first; a feed listed twice (or under http and https) counts once and an
// item whose page another feed already brought is left out (but delivered with
// the book). Feeds whose last fetch failed are listed with the reason.
CollectedNews collectNews(const TRSSList& list, const std::string& rssFolder);

// Writes the book into fb2Folder as "News_YYYY-MM-DD_HH-MM.fb2" (local time of
// now; "_2", "_3" ... when taken) and records its items as pending delivery.
// Returns kRssOk with the bare name in bookName; kRssRefused when there is no
// news (no file written); kRssFileError when the book could not be written.
std::uint8_t convertToBook(const TRSSList& list, const std::string& rssFolder,
                           const std::string& fb2Folder, std::int64_t now, std::string& bookName);

}  // namespace quillbox::rss
