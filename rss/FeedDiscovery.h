#pragma once
// Finding the feed a web page declares, so that a site's own address can
// stand for its feed.

#include <string>
#include <string_view>

namespace quillbox::rss {

// True when a fetched document is an HTML page: its Content-Type says HTML, or
// its text starts (after a byte-order mark, blanks, an XML declaration and
// comments) with an HTML doctype or an <html> element.
bool looksLikeHtmlPage(std::string_view body, std::string_view contentType);

struct DeclaredFeed {
    bool found = false;  // the page declares a feed
    std::string url;     // its address resolved; empty for a script or data reference
};

// The first feed the page declares with <link rel="alternate"
// type="application/rss+xml" | "application/atom+xml" href="..."> (names and
// values in any letter case, rel among other tokens), its href resolved
// against pageUrl (the page's address after redirects). Later declarations are
// never looked at. The address may have any scheme; the caller decides what
// it fetches.
DeclaredFeed declaredFeed(std::string_view body, std::string_view contentType,
                          const std::string& pageUrl);

}  // namespace quillbox::rss
