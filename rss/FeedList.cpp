// RSS.list, the feed list file. Text, one record a line, lines end with '\n':
//
//   QUILLBOX-FEEDS 1
//   F <crc> <url>\t<title>
//   ...                       one F line per feed, in list order
//   END <count>
//
// url and title are the entry's bytes (system ANSI code page) with '\', tab,
// line breaks and other control bytes escaped as \\ \t \n \r \xHH. <crc> is the
// CRC-32 of the rest of the line after "F <crc> ", as 8 hexadecimal digits, so a
// damaged line is recognised and left out. The file is complete only when the
// header, every F line and the END count agree; a file that is not complete is
// never overwritten without being kept aside first.

#include "rss/FeedList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/FetchAhead.h"
#include "rss/Files.h"
#include "rss/RecordFormat.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kHeader = "QUILLBOX-FEEDS 1";
constexpr std::uint64_t kMaxListFileBytes = 16u << 20;

bool parseFeedLine(std::string_view line, StoredFeed& feed) {
    // "F " + 8 hex digits + " " + payload
    if (line.size() < 11 || line.substr(0, 2) != "F " || line[10] != ' ') {
        return false;
    }
    const std::string_view crc = line.substr(2, 8);
    const std::string_view payload = line.substr(11);
    const std::string expected = crcHex(payload);
    for (std::size_t i = 0; i < 8; ++i) {
        if (std::tolower(static_cast<unsigned char>(crc[i])) != expected[i]) {
            return false;
        }
    }
    const std::size_t tab = payload.find('\t');
    if (tab == std::string_view::npos) {
        return false;
    }
    if (!unescapeField(payload.substr(0, tab), feed.url) ||
        !unescapeField(payload.substr(tab + 1), feed.title)) {
        return false;
    }
    return !feed.url.empty() && feed.url.size() < sizeof(TRSSItem::URL) &&
           feed.url.find('\0') == std::string::npos;
}

// Tells the fetching ahead that the list changed, whichever way the change ends.
class ListChange {
  public:
    explicit ListChange(const TRSSList& list) : m_list(list) {}
    ~ListChange() { noteListChanged(m_list); }
    ListChange(const ListChange&) = delete;
    ListChange& operator=(const ListChange&) = delete;

  private:
    const TRSSList& m_list;
};

TRSSItem* newEntry(std::string_view url, std::string_view title) {
    auto* entry = new TRSSItem;
    std::memset(entry, 0, sizeof *entry);
    setFieldText(entry->URL, url);
    setFieldText(entry->Title, title);
    return entry;
}

}  // namespace

FeedListFile parseFeedList(std::string_view bytes) {
    FeedListFile file;
    std::size_t start = 0;
    bool headerSeen = false;
    bool endSeen = false;
    bool damaged = false;
    long declaredCount = -1;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const bool terminated = end != std::string_view::npos;
        if (!terminated) {
            end = bytes.size();
        }
        std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!terminated) {
            damaged = true;  // a cut-off last line
        }
        if (!headerSeen) {
            headerSeen = true;
            if (line != kHeader) {
                damaged = true;
            } else {
                continue;
            }
        }
        if (line.empty()) {
            continue;
        }
        if (endSeen) {
            damaged = true;  // something after the end line
        }
        if (line.substr(0, 4) == "END ") {
            endSeen = true;
            char* stop = nullptr;
            const std::string countText(line.substr(4));
            declaredCount = std::strtol(countText.c_str(), &stop, 10);
            if (stop == countText.c_str() || *stop != '\0') {
                declaredCount = -1;
            }
            continue;
        }
        StoredFeed feed;
        if (!parseFeedLine(line, feed)) {
            damaged = true;
            continue;
        }
        if (file.feeds.size() >= kMaxFeeds) {
            damaged = true;  // more than the list can hold
            continue;
        }
        file.feeds.push_back(std::move(feed));
    }
    file.complete =
        headerSeen && endSeen && !damaged && declaredCount == static_cast<long>(file.feeds.size());
    return file;
}

std::string formatFeedList(const TRSSList& list) {
    std::string out(kHeader);
    out += '\n';
    const std::uint16_t count = std::min<std::uint16_t>(list.Count, kMaxFeeds);
    for (std::uint16_t i = 0; i < count; ++i) {
        const TRSSItem* entry = list.Items[i];
        if (entry == nullptr) {
            continue;
        }
        std::string payload;
        appendEscaped(payload, fieldText(entry->URL));
        payload += '\t';
        appendEscaped(payload, fieldText(entry->Title));
        out += "F ";
        out += crcHex(payload);
        out += ' ';
        out += payload;
        out += '\n';
    }
    std::uint16_t written = 0;
    for (std::uint16_t i = 0; i < count; ++i) {
        written += list.Items[i] != nullptr ? 1 : 0;
    }
    out += "END " + std::to_string(written) + "\n";
    return out;
}

std::uint8_t loadFeedList(const std::string& path, TRSSList& list) {
    const ListChange change(list);
    clearFeedList(list);
    Result<std::string> bytes = readWholeFile(path, kMaxListFileBytes);
    if (!bytes.ok()) {
        return bytes.error().code == kFileMissing ? kRssOk : kRssFileError;
    }
    if (bytes.value().empty()) {
        return kRssOk;  // an empty file is an empty list, not damage worth keeping
    }
    const FeedListFile file = parseFeedList(bytes.value());
    for (const StoredFeed& feed : file.feeds) {
        list.Items[list.Count++] = newEntry(feed.url, feed.title);
    }
    return file.complete ? kRssOk : kRssFileError;
}

std::uint8_t saveFeedList(const std::string& path, const TRSSList& list) {
    Result<std::string> existing = readWholeFile(path, kMaxListFileBytes);
    const bool missing = !existing.ok() && existing.error().code == kFileMissing;
    const bool intact =
        existing.ok() && (existing.value().empty() || parseFeedList(existing.value()).complete);
    if (!missing && !intact && !keepDamagedFile(path)) {
        return kRssFileError;
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        makeFolders(path.substr(0, slash));
    }
    return writeFileAtomically(path, formatFeedList(list)).ok() ? kRssOk : kRssFileError;
}

void clearFeedList(TRSSList& list) {
    const ListChange change(list);
    for (TRSSItem*& entry : list.Items) {
        delete entry;
        entry = nullptr;
    }
    list.Count = 0;
}

std::uint8_t insertFeed(TRSSList& list, std::uint16_t position, const TRSSItem& entry) {
    if (list.Count >= kMaxFeeds || position < 1 || position > list.Count + 1) {
        return kRssRefused;
    }
    const ListChange change(list);
    auto* copy = new TRSSItem(entry);
    terminateField(copy->Title);
    terminateField(copy->URL);
    terminateField(copy->LibraryText);
    const std::size_t slot = position - 1u;
    for (std::size_t i = list.Count; i > slot; --i) {
        list.Items[i] = list.Items[i - 1];
    }
    list.Items[slot] = copy;
    ++list.Count;
    return kRssOk;
}

std::uint8_t removeFeed(TRSSList& list, std::uint16_t position) {
    if (position < 1 || position > list.Count || list.Count > kMaxFeeds) {
        return kRssRefused;
    }
    const ListChange change(list);
    const std::size_t slot = position - 1u;
    delete list.Items[slot];
    for (std::size_t i = slot; i + 1 < list.Count; ++i) {
        list.Items[i] = list.Items[i + 1];
    }
    list.Items[list.Count - 1] = nullptr;
    --list.Count;
    return kRssOk;
}

}  // namespace quillbox::rss
