// Store files RSS/news/<hash>.news, one per feed, <hash> = hashHex(identity).
// Text made of length-prefixed records (RecordFormat.h):
//
//   QUILLBOX-NEWS 1
//   feed 9    identity, title, site link, ETag, Last-Modified, last attempt,
//             last success, last result, last reason
//   item 11   key, title, link, author, published, first seen, flags ("d"
//             delivered, "i" pictures looked for), content HTML, candidate
//             picture addresses (one a line), kept pictures (address, file
//             name in RSS/images/<hash>/, content type; one a line, tab
//             separated), reserved
//   seen 2    key, last listed
//   END <crc>
//
// Times are Unix seconds. <crc> is the CRC-32 of every byte before "END". A
// file whose check fails or whose records are damaged is never read as news:
// only the keys of its delivered and dropped items are taken from the records
// before the damage, and it is kept aside as <hash>.news.damaged before a new
// store replaces it. A file whose identity is not the feed's own never leaks
// into another feed.
//
// Beside it, written before the store, <hash>.delivered holds the same
// delivered and dropped keys (DeliveredKeys.h). A failed fetch leaves the
// store alone and writes <hash>.failed instead:
//
//   QUILLBOX-FAILED 1
//   failed 3  attempt, result, reason
//   END <crc>

#include "rss/NewsStore.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "rss/DeliveredKeys.h"
#include "rss/Files.h"
#include "rss/RecordFormat.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kHeader = "QUILLBOX-NEWS 1\n";
constexpr std::string_view kFailedHeader = "QUILLBOX-FAILED 1\n";
constexpr std::uint64_t kMaxStoreBytes = 256u << 20;
constexpr std::uint64_t kMaxFailedBytes = 64u << 10;
// The feed record comes first; its fields are short.
constexpr std::size_t kHeadBytes = 64u << 10;

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) {
            out += '\n';
        }
        out += line;
    }
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return lines;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// RSS/images/<hash>/ for a store file RSS/news/<hash>.news.
std::string imageFolderOfStore(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::size_t parent = folder.find_last_of('/');
    const std::string rss = parent == std::string::npos ? "." : folder.substr(0, parent);
    std::string name = baseName(path);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return rss + "/images/" + name + "/";
}

bool readItem(const std::vector<std::string>& f, const std::string& pictures, StoredItem& item) {
    if (f.size() < 10) {
        return false;
    }
    item.key = f[0];
    item.title = f[1];
    item.link = f[2];
    item.author = f[3];
    if (!parseNumberField(f[4], item.published) || !parseNumberField(f[5], item.firstSeen)) {
        return false;
    }
    item.delivered = f[6].find('d') != std::string::npos;
    item.imagesDone = f[6].find('i') != std::string::npos;
    item.contentHtml = f[7];
    item.imageUrls = splitLines(f[8]);
    for (const std::string& line : splitLines(f[9])) {
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) {
            return false;
        }
        const std::string file = line.substr(first + 1, second - first - 1);
        if (file.empty() || file.find('/') != std::string::npos || file[0] == '.') {
            return false;
        }
        item.images.push_back(
            StoredImage{line.substr(0, first), pictures + file, line.substr(second + 1)});
    }
    return !item.key.empty();
}

std::string formatStore(const FeedStore& store) {
    std::string out(kHeader);
    RecordWriter writer(out);
    writer.record("feed", {store.identity, store.title, store.siteLink, store.fetch.etag,
                           store.fetch.lastModified, numberField(store.fetch.lastAttempt),
                           numberField(store.fetch.lastSuccess),
                           numberField(store.fetch.lastResult), store.fetch.lastReason});
    for (const StoredItem& item : store.items) {
        std::vector<std::string> pictures;
        for (const StoredImage& image : item.images) {
            pictures.push_back(image.sourceUrl + "\t" + baseName(image.file) + "\t" +
                               image.contentType);
        }
        std::string flags;
        flags += item.delivered ? "d" : "";
        flags += item.imagesDone ? "i" : "";
        writer.record("item",
                      {item.key, item.title, item.link, item.author, numberField(item.published),
                       numberField(item.firstSeen), flags, item.contentHtml,
                       joinLines(item.imageUrls), joinLines(pictures), std::string()});
    }
    for (const SeenKey& seen : store.seen) {
        writer.record("seen", {seen.key, numberField(seen.lastSeen)});
    }
    out += "END " + crcHex(out) + "\n";
    return out;
}

Result<FeedStore> parseStore(std::string_view bytes, const std::string& pictures) {
    const Error damaged{1, "the store file is damaged"};
    if (bytes.substr(0, kHeader.size()) != kHeader || bytes.size() < kHeader.size() + 14) {
        return damaged;
    }
    const std::size_t end = bytes.rfind("END ");
    if (end == std::string_view::npos ||
        bytes.substr(end) != "END " + crcHex(bytes.substr(0, end)) + "\n") {
        return damaged;
    }
    FeedStore store;
    RecordReader reader(bytes.substr(kHeader.size(), end - kHeader.size()));
    std::string tag;
    std::vector<std::string> fields;
    bool feedSeen = false;
    while (!reader.atEnd()) {
        if (!reader.next(tag, fields)) {
            return damaged;
        }
        if (tag == "feed" && fields.size() >= 9) {
            std::int64_t result = 0;
            store.identity = fields[0];
            store.title = fields[1];
            store.siteLink = fields[2];
            store.fetch.etag = fields[3];
            store.fetch.lastModified = fields[4];
            if (!parseNumberField(fields[5], store.fetch.lastAttempt) ||
                !parseNumberField(fields[6], store.fetch.lastSuccess) ||
                !parseNumberField(fields[7], result)) {
                return damaged;
            }
            store.fetch.lastResult = static_cast<int>(result);
            store.fetch.lastReason = fields[8];
            feedSeen = true;
        } else if (tag == "item") {
            StoredItem item;
            if (!readItem(fields, pictures, item)) {
                return damaged;
            }
            store.items.push_back(std::move(item));
        } else if (tag == "seen" && fields.size() >= 2) {
            SeenKey seen{fields[0], 0};
            if (!parseNumberField(fields[1], seen.lastSeen)) {
                return damaged;
            }
            store.seen.push_back(std::move(seen));
        }
    }
    if (!feedSeen) {
        return damaged;
    }
    return store;
}

// RSS/news/<hash>.failed for RSS/news/<hash>.news.
std::string failedFetchPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool hasSuffix = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasSuffix ? path.substr(0, dot) : path) + ".failed";
}

// The keys a damaged store file still yields: delivered items and dropped
// ones, from the records before the first damaged one. Keys of a damaged
// record may be wrong, which costs nothing: they match no item.
std::vector<RememberedKey> salvageKeys(std::string_view bytes) {
    std::vector<RememberedKey> keys;
    const std::size_t firstLine = bytes.find('\n');
    if (firstLine == std::string_view::npos) {
        return keys;
    }
    RecordReader reader(bytes.substr(firstLine + 1));
    std::string tag;
    std::vector<std::string> fields;
    while (!reader.atEnd() && reader.next(tag, fields)) {
        RememberedKey key;
        if (tag == "item" && fields.size() >= 7 && fields[6].find('d') != std::string::npos &&
            parseNumberField(fields[5], key.time)) {
            key.key = fields[0];
            key.delivered = true;
        } else if (tag == "seen" && fields.size() >= 2 && parseNumberField(fields[1], key.time)) {
            key.key = fields[0];
        }
        if (!key.key.empty() && key.time > 0) {
            keys.push_back(std::move(key));
        }
    }
    return keys;
}

std::vector<RememberedKey> rememberedKeysOf(const FeedStore& store) {
    std::vector<RememberedKey> keys;
    for (const StoredItem& item : store.items) {
        if (item.delivered) {
            keys.push_back(RememberedKey{item.key, item.firstSeen, true});
        }
    }
    for (const SeenKey& seen : store.seen) {
        keys.push_back(RememberedKey{seen.key, seen.lastSeen, false});
    }
    return keys;
}

// Delivered keys mark their items delivered; keys of items not in the store
// are remembered as seen.
void rememberKeys(FeedStore& store, const std::vector<RememberedKey>& keys) {
    std::unordered_map<std::string, std::size_t> items;
    for (std::size_t i = 0; i < store.items.size(); ++i) {
        items.emplace(store.items[i].key, i);
    }
    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < store.seen.size(); ++i) {
        seen.emplace(store.seen[i].key, i);
    }
    for (const RememberedKey& key : keys) {
        if (const auto item = items.find(key.key); item != items.end()) {
            store.items[item->second].delivered =
                store.items[item->second].delivered || key.delivered;
        } else if (const auto known = seen.find(key.key); known != seen.end()) {
            SeenKey& entry = store.seen[known->second];
            entry.lastSeen = std::max(entry.lastSeen, key.time);
        } else {
            seen.emplace(key.key, store.seen.size());
            store.seen.push_back(SeenKey{key.key, key.time});
        }
    }
}

// The failed fetch recorded beside the store, when it came after the last
// attempt the store knows of.
void applyFailedFetch(const std::string& path, FetchRecord& fetch) {
    Result<std::string> bytes = readWholeFile(failedFetchPath(path), kMaxFailedBytes);
    if (!bytes.ok()) {
        return;
    }
    const std::string_view text = bytes.value();
    const std::size_t end = text.rfind("END ");
    if (text.substr(0, kFailedHeader.size()) != kFailedHeader || end == std::string_view::npos ||
        text.substr(end) != "END " + crcHex(text.substr(0, end)) + "\n") {
        return;
    }
    RecordReader reader(text.substr(kFailedHeader.size(), end - kFailedHeader.size()));
    std::string tag;
    std::vector<std::string> fields;
    std::int64_t attempt = 0;
    std::int64_t result = 0;
    if (!reader.next(tag, fields) || tag != "failed" || fields.size() < 3 ||
        !parseNumberField(fields[0], attempt) || !parseNumberField(fields[1], result) ||
        attempt < fetch.lastAttempt) {
        return;
    }
    fetch.lastAttempt = attempt;
    fetch.lastResult = static_cast<int>(result);
    fetch.lastReason = fields[2];
}

}  // namespace

std::string feedIdentity(const std::string& url) {
    return normalisedUrl(fetchableUrl(url));
}

std::string storePath(const std::string& rssFolder, const std::string& identity) {
    return joinPath(rssFolder, "news/" + hashHex(identity) + ".news");
}

std::string imageFolder(const std::string& rssFolder, const std::string& identity) {
    return joinPath(rssFolder, "images/" + hashHex(identity) + "/");
}

std::string itemKey(const ParsedItem& item) {
    const std::string_view id = trimmed(item.id);
    if (!id.empty()) {
        return isHttpUrl(id) ? "u:" + normalisedUrl(id) : "i:" + std::string(id);
    }
    if (!item.link.empty()) {
        return "u:" + normalisedUrl(item.link);
    }
    return "h:" + hashHex(item.title + "\n" + item.contentHtml);
}

FeedStore loadStore(const std::string& path, const std::string& identity) {
    FeedStore store;
    store.identity = identity;
    std::vector<RememberedKey> remembered;
    Result<std::string> bytes = readWholeFile(path, kMaxStoreBytes);
    if (bytes.ok()) {
        Result<FeedStore> read = parseStore(bytes.value(), imageFolderOfStore(path));
        if (!read.ok()) {
            remembered = salvageKeys(bytes.value());
        } else if (read.value().identity == identity) {
            store = std::move(read).value();
        }
    }
    Result<std::vector<RememberedKey>> kept = readDeliveredKeys(deliveredKeysPath(path));
    if (kept.ok()) {
        remembered.insert(remembered.end(), kept.value().begin(), kept.value().end());
    }
    rememberKeys(store, remembered);
    applyFailedFetch(path, store.fetch);
    return store;
}

FetchRecord peekFetchRecord(const std::string& path, const std::string& identity) {
    FetchRecord fetch;
    std::string head(kHeadBytes, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fetch;
    }
    const ssize_t got = ::read(fd, head.data(), head.size());
    ::close(fd);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    if (head.substr(0, kHeader.size()) != kHeader) {
        return fetch;
    }
    RecordReader reader(std::string_view(head).substr(kHeader.size()));
    std::string tag;
    std::vector<std::string> fields;
    std::int64_t success = 0;
    if (reader.next(tag, fields) && tag == "feed" && fields.size() >= 9 && fields[0] == identity &&
        parseNumberField(fields[6], success)) {
        fetch.etag = fields[3];
        fetch.lastModified = fields[4];
        fetch.lastSuccess = success;
    }
    return fetch;
}

Result<FeedStore> readStoreFile(const std::string& path) {
    Result<std::string> bytes = readWholeFile(path, kMaxStoreBytes);
    if (!bytes.ok()) {
        return bytes.error();
    }
    return parseStore(bytes.value(), imageFolderOfStore(path));
}

Status saveStore(const std::string& path, const FeedStore& store) {
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        makeFolders(path.substr(0, slash));
    }
    const Result<std::string> existing = readWholeFile(path, kMaxStoreBytes);
    const bool missing = !existing.ok() && existing.error().code == kFileMissing;
    const bool intact =
        existing.ok() && parseStore(existing.value(), imageFolderOfStore(path)).ok();
    if (!missing && !intact && !keepDamagedFile(path)) {
        return Error{EIO, "the damaged store " + path + " could not be kept aside"};
    }
    // Keys first: should the store then fail, the delivery is still known.
    Status keys = writeDeliveredKeys(deliveredKeysPath(path), rememberedKeysOf(store));
    if (!keys.ok()) {
        return keys;
    }
    return writeFileAtomically(path, formatStore(store));
}

Status saveFailedFetch(const std::string& path, std::int64_t attempt, int result,
                       const std::string& reason) {
    std::string out(kFailedHeader);
    RecordWriter(out).record("failed", {numberField(attempt), numberField(result), reason});
    out += "END " + crcHex(out) + "\n";
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        makeFolders(path.substr(0, slash));
    }
    return writeFileAtomically(failedFetchPath(path), out);
}

void clearFailedFetch(const std::string& path) {
    ::unlink(failedFetchPath(path).c_str());
}

std::int64_t itemTime(const StoredItem& item) {
    return item.published > 0 ? item.published : item.firstSeen;
}

std::vector<std::string> mergeItems(FeedStore& store, const std::vector<ParsedItem>& items,
                                    std::int64_t now, const StoreLimits& limits) {
    std::unordered_map<std::string, std::size_t> known;
    for (std::size_t i = 0; i < store.items.size(); ++i) {
        known.emplace(store.items[i].key, i);
    }
    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < store.seen.size(); ++i) {
        seen.emplace(store.seen[i].key, i);
    }
    std::unordered_set<std::string> thisFetch;
    std::vector<std::string> added;
    for (const ParsedItem& parsed : items) {
        const std::string key = itemKey(parsed);
        if (!thisFetch.insert(key).second) {
            continue;
        }
        if (const auto found = known.find(key); found != known.end()) {
            // Known: a new date never makes it news again; undelivered text may
            // still be corrected by the feed.
            StoredItem& item = store.items[found->second];
            if (!item.delivered) {
                item.title = parsed.title;
                item.link = parsed.link;
                item.author = parsed.author;
                item.contentHtml = parsed.contentHtml;
                if (!item.imagesDone) {
                    item.imageUrls = parsed.images;
                }
            }
            if (item.published == 0) {
                item.published = parsed.published;
            }
            continue;
        }
        if (const auto found = seen.find(key); found != seen.end()) {
            store.seen[found->second].lastSeen = now;
            continue;
        }
        if (parsed.published > 0 && parsed.published < now - limits.maxAgeSeconds) {
            seen.emplace(key, store.seen.size());
            store.seen.push_back(SeenKey{key, now});
            continue;
        }
        StoredItem item;
        item.key = key;
        item.title = parsed.title;
        item.link = parsed.link;
        item.author = parsed.author;
        item.published = parsed.published;
        item.firstSeen = now;
        item.contentHtml = parsed.contentHtml;
        item.imageUrls = parsed.images;
        known.emplace(key, store.items.size());
        store.items.push_back(std::move(item));
        added.push_back(key);
    }
    return added;
}

std::vector<std::string> pruneStore(FeedStore& store, std::int64_t now, const StoreLimits& limits) {
    std::stable_sort(
        store.items.begin(), store.items.end(),
        [](const StoredItem& a, const StoredItem& b) { return itemTime(a) > itemTime(b); });
    std::vector<StoredItem> kept;
    std::vector<StoredItem> dropped;
    for (StoredItem& item : store.items) {
        // Age counts from the date the item carried when first fetched, and
        // from the fetch itself when it had none (or a date in the future).
        const std::int64_t born =
            item.published > 0 ? std::min(item.published, item.firstSeen) : item.firstSeen;
        if (now - born > limits.maxAgeSeconds || kept.size() >= limits.maxItems) {
            dropped.push_back(std::move(item));
        } else {
            kept.push_back(std::move(item));
        }
    }
    store.items = std::move(kept);
    std::set<std::string> seenKeys;
    for (const SeenKey& seen : store.seen) {
        seenKeys.insert(seen.key);
    }
    for (const StoredItem& item : dropped) {
        if (seenKeys.insert(item.key).second) {
            store.seen.push_back(SeenKey{item.key, now});
        }
    }
    store.seen.erase(std::remove_if(store.seen.begin(), store.seen.end(),
                                    [&](const SeenKey& seen) {
                                        return now - seen.lastSeen > limits.seenRetentionSeconds;
                                    }),
                     store.seen.end());
    if (store.seen.size() > limits.maxSeenKeys) {
        std::stable_sort(
            store.seen.begin(), store.seen.end(),
            [](const SeenKey& a, const SeenKey& b) { return a.lastSeen > b.lastSeen; });
        store.seen.resize(limits.maxSeenKeys);
    }
    std::set<std::string> inUse;
    for (const StoredItem& item : store.items) {
        for (const StoredImage& image : item.images) {
            inUse.insert(image.file);
        }
    }
    std::vector<std::string> unused;
    for (const StoredItem& item : dropped) {
        for (const StoredImage& image : item.images) {
            if (inUse.count(image.file) == 0) {
                unused.push_back(image.file);
            }
        }
    }
    return unused;
}

}  // namespace quillbox::rss
