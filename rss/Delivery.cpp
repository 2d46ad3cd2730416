// Pending lists RSS/pending/<book name>.list, one per book written and not yet
// reported delivered. Text:
//
//   QUILLBOX-PENDING 1
//   P <store file>\t<item key>       one line per item of the book
//   END <count> <crc>
//
// The key is escaped as in RSS.list (RecordFormat.h); <crc> is the CRC-32 of
// every byte before "END". A damaged list marks nothing.

#include "rss/Delivery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

#include "contracts/RSS.h"
#include "rss/DeliveredKeys.h"
#include "rss/Files.h"
#include "rss/NewsStore.h"
#include "rss/RecordFormat.h"

namespace quillbox::rss {
namespace {

constexpr std::string_view kHeader = "QUILLBOX-PENDING 1\n";
constexpr std::string_view kSuffix = ".list";

}  // namespace

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\\') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::string pendingPath(const std::string& rssFolder, const std::string& bookName) {
    return joinPath(rssFolder, "pending/" + bookName + std::string(kSuffix));
}

Status writePending(const std::string& rssFolder, const std::string& bookName,
                    const std::vector<PendingEntry>& entries) {
    if (!isPlainFileName(bookName)) {
        return Error{1, "not a book name"};
    }
    std::string out(kHeader);
    for (const PendingEntry& entry : entries) {
        out += "P ";
        appendEscaped(out, entry.storeFile);
        out += '\t';
        appendEscaped(out, entry.key);
        out += '\n';
    }
    out += "END " + std::to_string(entries.size()) + " " + crcHex(out) + "\n";
    const std::string path = pendingPath(rssFolder, bookName);
    makeFolders(joinPath(rssFolder, "pending"));
    return writeFileAtomically(path, out);
}

Result<std::vector<PendingEntry>> readPending(const std::string& rssFolder,
                                              const std::string& bookName) {
    if (!isPlainFileName(bookName)) {
        return Error{kFileMissing, "not a book name"};
    }
    Result<std::string> bytes = readWholeFile(pendingPath(rssFolder, bookName), 64u << 20);
    if (!bytes.ok()) {
        return bytes.error();
    }
    const std::string_view text = bytes.value();
    const Error damaged{EINVAL, "the list of the book is damaged"};
    const std::size_t end = text.rfind("END ");
    if (text.substr(0, kHeader.size()) != kHeader || end == std::string_view::npos) {
        return damaged;
    }
    std::vector<PendingEntry> entries;
    std::size_t at = kHeader.size();
    while (at < end) {
        const std::size_t lineEnd = text.find('\n', at);
        if (lineEnd == std::string_view::npos || lineEnd > end) {
            return damaged;
        }
        const std::string_view line = text.substr(at, lineEnd - at);
        at = lineEnd + 1;
        const std::size_t tab = line.find('\t');
        PendingEntry entry;
        if (line.substr(0, 2) != "P " || tab == std::string_view::npos ||
            !unescapeField(line.substr(2, tab - 2), entry.storeFile) ||
            !unescapeField(line.substr(tab + 1), entry.key) || !isPlainFileName(entry.storeFile)) {
            return damaged;
        }
        entries.push_back(std::move(entry));
    }
    const std::string trailer =
        "END " + std::to_string(entries.size()) + " " + crcHex(text.substr(0, end)) + "\n";
    if (text.substr(end) != trailer) {
        return damaged;
    }
    return entries;
}

std::uint8_t markDelivered(const std::string& rssFolder, const std::string& bookName,
                           std::int64_t now) {
    Result<std::vector<PendingEntry>> entries = readPending(rssFolder, bookName);
    if (!entries.ok()) {
        return entries.error().code == kFileMissing ? kRssRefused : kRssFileError;
    }
    std::map<std::string, std::set<std::string>> byStore;
    for (const PendingEntry& entry : entries.value()) {
        byStore[entry.storeFile].insert(entry.key);
    }
    bool allSaved = true;
    for (const auto& [file, keys] : byStore) {
        const std::string path = joinPath(rssFolder, "news/" + file);
        Result<FeedStore> read = readStoreFile(path);
        if (!read.ok()) {
            // A store gone or damaged since: its keys file alone records the
            // delivery, and the store takes it over when it is next loaded.
            const std::vector<std::string> delivered(keys.begin(), keys.end());
            allSaved = addDeliveredKeys(deliveredKeysPath(path), delivered, now).ok() && allSaved;
            continue;
        }
        // Loaded again with its keys file, whose keys the rewrite must keep.
        FeedStore store = loadStore(path, read.value().identity);
        std::set<std::string> unmarked = keys;
        for (StoredItem& item : store.items) {
            if (unmarked.erase(item.key) > 0) {
                item.delivered = true;
            }
        }
        // Items dropped from the store meanwhile are remembered as seen, so
        // they cannot come back either.
        std::set<std::string> seen;
        for (const SeenKey& key : store.seen) {
            seen.insert(key.key);
        }
        for (const std::string& key : unmarked) {
            if (seen.count(key) == 0) {
                store.seen.push_back(SeenKey{key, now});
            }
        }
        allSaved = saveStore(path, store).ok() && allSaved;
    }
    if (!allSaved) {
        return kRssFileError;
    }
    ::unlink(pendingPath(rssFolder, bookName).c_str());
    return kRssOk;
}

void removeStalePending(const std::string& rssFolder, std::int64_t now,
                        std::int64_t maxAgeSeconds) {
    const std::string folder = joinPath(rssFolder, "pending");
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= kSuffix.size() ||
            name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
            continue;
        }
        const std::string path = joinPath(folder, name);
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && now - info.st_mtime > maxAgeSeconds) {
            stale.push_back(path);
        }
    }
    ::closedir(dir);
    for (const std::string& path : stale) {
        ::unlink(path.c_str());
    }
}

}  // namespace quillbox::rss
