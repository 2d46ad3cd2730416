#pragma once
// What the feed side of the RSS library hands to the FB2 writer: the news of
// each feed that has not yet reached the reader, and the feeds whose last
// fetch failed. All texts are UTF-8.

#include <cstdint>
#include <string>
#include <vector>

namespace quillbox::rss {

// A picture fetched for an item and kept under RSS/.
struct StoredImage {
    std::string sourceUrl;    // absolute address it came from
    std::string file;         // full path of the stored bytes
    std::string contentType;  // "image/jpeg" or "image/png", checked against the bytes
};

struct NewsItem {
    std::string key;  // identity of the item within its feed
    std::string title;
    std::string link;  // absolute address of the item's page
    std::string author;
    std::int64_t published = 0;  // Unix seconds; 0 when the feed gave no date
    std::int64_t firstSeen = 0;  // Unix seconds when we first fetched it
    std::string contentHtml;     // the item's text as HTML, relative links resolved
    std::vector<StoredImage> images;
};

struct FeedNews {
    std::string title;
    std::string url;
    std::vector<NewsItem> items;  // newest first
};

struct FeedFailure {
    std::string title;
    std::string url;
    std::string reason;  // a readable sentence
};

struct NewsBook {
    std::string bookTitle;     // for example "News 2026-12-07 09:30"
    std::int64_t created = 0;  // Unix seconds
    std::string language = "ru";
    std::vector<FeedNews> feeds;        // only feeds with news
    std::vector<FeedFailure> failures;  // listed in the book's last section
};

}  // namespace quillbox::rss
