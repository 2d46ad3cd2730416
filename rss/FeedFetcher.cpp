#include "rss/FeedFetcher.h"

#include <unistd.h>

#include <ctime>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Http.h"
#include "rss/DeliveredKeys.h"
#include "rss/FeedDiscovery.h"
#include "rss/FeedParser.h"
#include "rss/Files.h"
#include "rss/TextEncoding.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

struct Outcome {
    std::uint8_t result = kRssOk;
    std::string reason;
    bool cancelled = false;
};

Outcome failureOf(const Error& error) {
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
        case HttpFailure::Cancelled:
            return {kRssHostUnreachable, "The update was stopped.", true};
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

std::string addressText(std::string_view ansiUrl) {
    Result<std::string> utf8 = platform::toUtf8(ansiUrl, platform::systemAnsiCodePage());
    return utf8.ok() ? utf8.value() : repairUtf8(ansiUrl);
}

std::string entryUrl(const TRSSItem& entry) {
    return addressText(fieldText(entry.URL));
}

bool isConditional(const FetchRecord& record) {
    return record.lastSuccess > 0 && (!record.etag.empty() || !record.lastModified.empty());
}

platform::HttpRequest feedRequest(const std::string& typedUrl, const FetchRecord& record,
                                  const NetworkOptions& network) {
    platform::HttpRequest request;
    request.url = escapedUrl(fetchableUrl(typedUrl));
    request.proxy = network.proxy;
    request.userAgent = network.userAgent;
    request.connectTimeout = network.connectTimeout;
    request.stallTimeout = network.stallTimeout;
    request.totalTimeout = network.totalTimeout;
    request.maxRedirects = network.maxRedirects;
    request.acceptCompressed = true;
    request.maxBodyBytes = network.maxFeedBytes;
    request.headers.emplace_back(
        "Accept: application/rss+xml, application/atom+xml, application/rdf+xml;q=0.9, "
        "application/xml;q=0.8, text/xml;q=0.8, */*;q=0.5");
    if (isConditional(record) && !record.etag.empty()) {
        request.headers.push_back("If-None-Match: " + record.etag);
    }
    if (isConditional(record) && !record.lastModified.empty()) {
        request.headers.push_back("If-Modified-Since: " + record.lastModified);
    }
    return request;
}

std::uint8_t updateFeed(TRSSItem& entry, const std::string& rssFolder, const UpdateOptions& options,
                        const FeedFetch& fetch) {
    const std::int64_t now = options.now != 0 ? options.now : platform::clockSeconds();
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
            // Beside the store, so that the book can list the feed. A stop
            // the user asked for is not the feed's failure.
            if (!outcome.cancelled) {
                saveFailedFetch(path, now, outcome.result, outcome.reason);
            }
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

    platform::HttpRequest request = feedRequest(entryUrl(entry), store.fetch, options.network);
    if (!isHttpUrl(request.url)) {
        return finish({kRssNoDocument, "Only http and https addresses can be fetched."});
    }
    bool conditional = isConditional(store.fetch);
    // A site's page that declares its feed leads, once, to that feed. The
    // validators of such a feed are not kept: they would belong to the second
    // request, while the next update starts again with the page.
    bool discovered = false;
    for (;;) {
        Result<platform::HttpResponse> response =
            fetch ? fetch(request) : platform::httpGet(request, options.network.pump);
        if (!response.ok()) {
            return finish(failureOf(response.error()));
        }
        const platform::HttpResponse& answer = response.value();
        if (answer.status == 304 && conditional) {
            return finish({kRssOk, ""});
        }
        // A proxy that refuses the login answers itself: 407, or 401 from
        // proxies that use it, without the Via header a forwarded answer carries.
        if (!request.proxy.host.empty() &&
            (answer.status == 407 || (answer.status == 401 && answer.header("Via").empty()))) {
            return finish({kRssHostUnreachable, "The proxy server refused the login."});
        }
        if (answer.status < 200 || answer.status > 299) {
            return finish({kRssNoDocument, "The server answered with status " +
                                               std::to_string(answer.status) + "."});
        }
        const std::string& body = answer.body;
        if (body.empty()) {
            return finish({kRssNoDocument, "The server sent an empty document."});
        }
        const std::string base = answer.effectiveUrl.empty() ? request.url : answer.effectiveUrl;
        Result<ParsedFeed> parsed = parseFeed(body, charsetOfContentType(answer.contentType), base);
        if (!parsed.ok()) {
            if (discovered || !looksLikeHtmlPage(body, answer.contentType)) {
                return finish({kRssNotAFeed, discovered ? "The page's feed link leads to no feed."
                                                        : parsed.error().message});
            }
            const DeclaredFeed declared = declaredFeed(body, answer.contentType, base);
            if (!declared.found) {
                return finish({kRssNotAFeed, parsed.error().message});
            }
            if (!isHttpUrl(declared.url)) {
                return finish(
                    {kRssNotAFeed, "The page's feed link is not an http or https address."});
            }
            request = feedRequest(declared.url, FetchRecord(), options.network);
            conditional = false;
            discovered = true;
            continue;
        }
        changed = true;
        mergeItems(store, parsed.value().items, now, options.limits);
        if (!parsed.value().title.empty()) {
            store.title = parsed.value().title;
        }
        store.siteLink = parsed.value().link;
        store.fetch.etag = discovered ? std::string() : answer.header("ETag");
        store.fetch.lastModified = discovered ? std::string() : answer.header("Last-Modified");
        return finish({kRssOk, ""});
    }
}

}  // namespace quillbox::rss
