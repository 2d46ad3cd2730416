#include "rss/FeedFetcher.h"

#include <unistd.h>

#include <chrono>
#include <ctime>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Http.h"
#include "rss/DeliveredKeys.h"
#include "rss/FeedParser.h"
#include "rss/Files.h"
#include "rss/TextEncoding.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Outcome {
    std::uint8_t result = kRssOk;
    std::string reason;
};

Outcome failureOf(const Error& error, bool sinkTooLarge) {
    using platform::HttpFailure;
    switch (static_cast<HttpFailure>(error.code)) {
        case HttpFailure::CouldNotResolve:
            return {kRssHostUnreachable, "The server's name could not be found."};
        case HttpFailure::CouldNotConnect:
            return {kRssHostUnreachable, "The server refused the connection."};
        case HttpFailure::ProxyFailed:
            return {kRssHostUnreachable, "The proxy server could not be used."};
        case HttpFailure::TimedOut:
            return {kRssHostUnreachable, "The server did not answer in time."};
        case HttpFailure::TooLarge:
            return {kRssNoDocument, "The document is larger than allowed."};
        case HttpFailure::SinkRefused:
            if (sinkTooLarge) {
                return {kRssNoDocument, "The document is larger than allowed."};
            }
            return {kRssHostUnreachable, "The server took too long to send the document."};
        default:
            return {kRssNoDocument, "The server gave no usable answer (" + error.message + ")."};
    }
}

void setTitle(TRSSItem& entry, const std::string& utf8Title) {
    if (utf8Title.empty()) {
        // No title: the address, as the user typed it.
        const std::string address(fieldText(entry.URL));
        setFieldText(entry.Title, address);
        return;
    }
    std::string ansi = platform::fromUtf8Lossy(utf8Title, platform::systemAnsiCodePage());
    setFieldText(entry.Title, ansi);
}

void removeFiles(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        ::unlink(file.c_str());
    }
}

// Returns whether any item was looked at.
bool fetchPictures(FeedStore& store, const std::string& folder, const UpdateOptions& options) {
    std::size_t budget = options.pictureBudget;
    bool changed = false;
    for (StoredItem& item : store.items) {
        if (budget == 0) {
            break;
        }
        if (item.delivered || item.imagesDone) {
            continue;
        }
        item.images =
            fetchImages(item.imageUrls, folder, options.network, options.imageLimits, budget);
        item.imagesDone = budget > 0;
        changed = true;
    }
    return changed;
}

}  // namespace

std::string entryUrl(const TRSSItem& entry) {
    const std::string_view typed = fieldText(entry.URL);
    Result<std::string> utf8 = platform::toUtf8(typed, platform::systemAnsiCodePage());
    return utf8.ok() ? utf8.value() : repairUtf8(typed);
}

std::uint8_t updateFeed(TRSSItem& entry, const std::string& rssFolder,
                        const UpdateOptions& options) {
    const std::int64_t now = options.now != 0 ? options.now : platform::clockSeconds();
    const std::string address = escapedUrl(fetchableUrl(entryUrl(entry)));
    const std::string identity = feedIdentity(entryUrl(entry));
    const std::string path = storePath(rssFolder, identity);
    FeedStore store = loadStore(path, identity);

    // A full answer always changes the store; an unchanged feed that stays
    // unchanged (304 again, nothing aged out) leaves the file alone, and so
    // does every failure: the store is only ever rewritten with what a
    // successful fetch brought.
    bool changed = false;
    const auto finish = [&](const Outcome& outcome) -> std::uint8_t {
        if (outcome.result != kRssOk) {
            // Beside the store, so that the book can list the feed.
            saveFailedFetch(path, now, outcome.result, outcome.reason);
            return outcome.result;
        }
        // A store without its keys file (written before there was one) gets
        // it now.
        changed = changed || store.fetch.lastResult != kRssOk || !store.fetch.lastReason.empty() ||
                  !fileExists(deliveredKeysPath(path));
        store.fetch.lastAttempt = now;
        store.fetch.lastResult = kRssOk;
        store.fetch.lastReason.clear();
        store.fetch.lastSuccess = now;
        const std::size_t items = store.items.size();
        const std::size_t seen = store.seen.size();
        const std::vector<std::string> unused = pruneStore(store, now, options.limits);
        changed = changed || items != store.items.size() || seen != store.seen.size();
        if (options.pictures) {
            changed = fetchPictures(store, imageFolder(rssFolder, identity), options) || changed;
        }
        const bool saved = !changed || saveStore(path, store).ok();
        setTitle(entry, store.title);
        if (!saved) {
            return kRssFileError;
        }
        removeFiles(unused);
        clearFailedFetch(path);
        return kRssOk;
    };

    if (!isHttpUrl(address)) {
        return finish({kRssNoDocument, "Only http and https addresses can be fetched."});
    }

    platform::HttpRequest request;
    request.url = address;
    request.proxy = options.network.proxy;
    request.userAgent = options.network.userAgent;
    request.connectTimeout = options.network.connectTimeout;
    request.stallTimeout = options.network.stallTimeout;
    request.maxRedirects = options.network.maxRedirects;
    request.acceptCompressed = true;
    request.maxBodyBytes = options.network.maxFeedBytes;
    request.headers.emplace_back(
        "Accept: application/rss+xml, application/atom+xml, application/rdf+xml;q=0.9, "
        "application/xml;q=0.8, text/xml;q=0.8, */*;q=0.5");
    const bool conditional = store.fetch.lastSuccess > 0 &&
                             (!store.fetch.etag.empty() || !store.fetch.lastModified.empty());
    if (conditional && !store.fetch.etag.empty()) {
        request.headers.push_back("If-None-Match: " + store.fetch.etag);
    }
    if (conditional && !store.fetch.lastModified.empty()) {
        request.headers.push_back("If-Modified-Since: " + store.fetch.lastModified);
    }

    std::string body;
    bool tooLarge = false;
    const SteadyClock::time_point deadline = SteadyClock::now() + options.network.totalTimeout;
    const platform::BodySink sink = [&](const char* data, std::size_t size) {
        if (body.size() + size > options.network.maxFeedBytes) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return SteadyClock::now() < deadline;
    };
    Result<platform::HttpResponse> response =
        platform::httpGet(request, options.network.pump, sink);
    if (!response.ok()) {
        return finish(failureOf(response.error(), tooLarge));
    }
    const platform::HttpResponse& answer = response.value();
    if (answer.status == 304 && conditional) {
        return finish({kRssOk, ""});
    }
    // A proxy that refuses the login answers itself: 407, or 401 from proxies
    // that use it, without the Via header a forwarded answer carries.
    if (!request.proxy.host.empty() &&
        (answer.status == 407 || (answer.status == 401 && answer.header("Via").empty()))) {
        return finish({kRssHostUnreachable, "The proxy server refused the login."});
    }
    if (answer.status < 200 || answer.status > 299) {
        return finish({kRssNoDocument,
                       "The server answered with status " + std::to_string(answer.status) + "."});
    }
    if (body.empty()) {
        return finish({kRssNoDocument, "The server sent an empty document."});
    }
    const std::string base = answer.effectiveUrl.empty() ? address : answer.effectiveUrl;
    Result<ParsedFeed> parsed = parseFeed(body, charsetOfContentType(answer.contentType), base);
    if (!parsed.ok()) {
        return finish({kRssNotAFeed, parsed.error().message});
    }
    changed = true;
    mergeItems(store, parsed.value().items, now, options.limits);
    if (!parsed.value().title.empty()) {
        store.title = parsed.value().title;
    }
    store.siteLink = parsed.value().link;
    store.fetch.etag = answer.header("ETag");
    store.fetch.lastModified = answer.header("Last-Modified");
    return finish({kRssOk, ""});
}

}  // namespace quillbox::rss
