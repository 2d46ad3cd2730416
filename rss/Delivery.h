#pragma once
// Which news went into which book, and marking it delivered once the program
// has copied that book to the reader.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"

namespace quillbox::rss {

struct PendingEntry {
    std::string storeFile;  // base name of the feed's store file
    std::string key;        // item key in that store
};

// True for a bare file name the library could have written (no folder parts).
bool isPlainFileName(std::string_view name);

// RSS/pending/<bookName>.list below rssFolder.
std::string pendingPath(const std::string& rssFolder, const std::string& bookName);

// Records the items of a book just written; replaces an older list of that name.
Status writePending(const std::string& rssFolder, const std::string& bookName,
                    const std::vector<PendingEntry>& entries);

// The items listed for bookName; error when there is no such list or it is
// damaged.
Result<std::vector<PendingEntry>> readPending(const std::string& rssFolder,
                                              const std::string& bookName);

// Marks every item of the book delivered in its feed's store (in the store's
// keys file alone when the store is missing or damaged) and removes the list.
// kRssOk; kRssRefused for an unknown name; kRssFileError when a store or keys
// file could not be written (the list is kept, so a later call can finish).
std::uint8_t markDelivered(const std::string& rssFolder, const std::string& bookName,
                           std::int64_t now);

// Removes lists of books never delivered that are older than maxAgeSeconds.
void removeStalePending(const std::string& rssFolder, std::int64_t now, std::int64_t maxAgeSeconds);

}  // namespace quillbox::rss
