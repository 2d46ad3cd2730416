#include "rss/BookBuilder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "rss/FeedFetcher.h"
#include "rss/Files.h"
#include "rss/NewsStore.h"
#include "rss/Urls.h"
#include "rss/fb2/Fb2Writer.h"

namespace quillbox::rss {
namespace {

constexpr std::int64_t kPendingKeepSeconds = std::int64_t{30} * 86400;

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string feedTitle(const FeedStore& store, const TRSSItem& entry) {
    if (!store.title.empty()) {
        return store.title;
    }
    const std::string_view ansi = fieldText(entry.Title);
    if (!ansi.empty()) {
        Result<std::string> utf8 = platform::toUtf8(ansi, platform::systemAnsiCodePage());
        if (utf8.ok()) {
            return utf8.value();
        }
    }
    return entryUrl(entry);
}

NewsItem newsItemOf(const StoredItem& stored) {
    NewsItem item;
    item.key = stored.key;
    item.title = stored.title;
    item.link = stored.link;
    item.author = stored.author;
    item.published = stored.published;
    item.firstSeen = stored.firstSeen;
    item.contentHtml = stored.contentHtml;
    for (const StoredImage& image : stored.images) {
        if (fileExists(image.file)) {
            item.images.push_back(image);
        }
    }
    return item;
}

// "YYYY<d>MM<d>DD<b>HH<t>MM" in local time.
std::string localStamp(std::int64_t now, char dateSeparator, char between, char timeSeparator) {
    std::tm parts{};
    platform::localCalendar(now, parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%c%02d%c%02d%c%02d%c%02d", parts.tm_year + 1900,
                  dateSeparator, parts.tm_mon + 1, dateSeparator, parts.tm_mday, between,
                  parts.tm_hour, timeSeparator, parts.tm_min);
    return text;
}

}  // namespace

CollectedNews collectNews(const TRSSList& list, const std::string& rssFolder) {
    CollectedNews collected;
    std::set<std::string> storesDone;
    std::set<std::string> pagesInBook;
    const std::uint16_t count = std::min<std::uint16_t>(list.Count, kMaxFeeds);
    for (std::uint16_t i = 0; i < count; ++i) {
        const TRSSItem* entry = list.Items[i];
        if (entry == nullptr) {
            continue;
        }
        const std::string url = entryUrl(*entry);
        const std::string identity = feedIdentity(url);
        const std::string path = storePath(rssFolder, identity);
        if (!storesDone.insert(path).second) {
            continue;
        }
        FeedStore store = loadStore(path, identity);
        if (store.fetch.lastResult != 0 && store.fetch.lastResult != kRssOk) {
            collected.book.failures.push_back(
                FeedFailure{feedTitle(store, *entry), url, store.fetch.lastReason});
        }
        std::stable_sort(
            store.items.begin(), store.items.end(),
            [](const StoredItem& a, const StoredItem& b) { return itemTime(a) > itemTime(b); });
        FeedNews feed;
        feed.title = feedTitle(store, *entry);
        feed.url = url;
        const std::string storeFile = baseName(path);
        for (const StoredItem& stored : store.items) {
            if (stored.delivered) {
                continue;
            }
            collected.pending.push_back(PendingEntry{storeFile, stored.key});
            const std::string page =
                stored.link.empty() ? std::string() : normalisedUrl(stored.link);
            if (!page.empty() && !pagesInBook.insert(page).second) {
                continue;  // another feed already brought this page
            }
            feed.items.push_back(newsItemOf(stored));
        }
        if (!feed.items.empty()) {
            collected.itemCount += feed.items.size();
            collected.book.feeds.push_back(std::move(feed));
        }
    }
    return collected;
}

std::uint8_t convertToBook(const TRSSList& list, const std::string& rssFolder,
                           const std::string& fb2Folder, std::int64_t now, std::string& bookName) {
    removeStalePending(rssFolder, now, kPendingKeepSeconds);
    CollectedNews collected = collectNews(list, rssFolder);
    if (collected.itemCount == 0) {
        return kRssRefused;
    }
    collected.book.bookTitle = "News " + localStamp(now, '-', ' ', ':');
    collected.book.created = now;
    if (!makeFolders(fb2Folder.empty() ? std::string(".") : fb2Folder)) {
        return kRssFileError;
    }
    const std::string stem = "News_" + localStamp(now, '-', '_', '-');
    std::string name;
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = stem + (n == 1 ? "" : "_" + std::to_string(n)) + ".fb2";
        if (!fileExists(joinPath(fb2Folder, candidate)) &&
            !fileExists(pendingPath(rssFolder, candidate))) {
            name = candidate;
            break;
        }
    }
    if (name.empty()) {
        return kRssFileError;
    }
    const std::string path = joinPath(fb2Folder, name);
    if (!writeNewsBook(collected.book, path).ok()) {
        return kRssFileError;
    }
    // Without its list the book could never be marked delivered and its news
    // would come back forever, so a book without a list is not kept.
    if (!writePending(rssFolder, name, collected.pending).ok()) {
        ::unlink(path.c_str());
        return kRssFileError;
    }
    bookName = name;
    return kRssOk;
}

}  // namespace quillbox::rss
