#pragma once
// The keys of one feed's items that must never come back as news, kept in a
// small file beside its news store, so that they outlive damage to the store.

#include <cstdint>
#include <string>
#include <vector>

#include "common/Result.h"

namespace quillbox::rss {

struct RememberedKey {
    std::string key;         // item key in the feed's store
    std::int64_t time = 0;   // Unix seconds: first fetched (delivered) or last listed (dropped)
    bool delivered = false;  // went to the reader; false: dropped from the store
};

// RSS/news/<hash>.delivered beside the store file RSS/news/<hash>.news.
std::string deliveredKeysPath(const std::string& storePath);

// The keys in the file at path, each line checked on its own: a damaged line
// is left out and the others kept. Fails with kFileMissing (Files.h) when
// there is no file, with another code when it cannot be read.
Result<std::vector<RememberedKey>> readDeliveredKeys(const std::string& path);

// Replaces the file at path by these keys atomically; leaves it untouched when
// it already holds exactly them. The folder must exist.
Status writeDeliveredKeys(const std::string& path, const std::vector<RememberedKey>& keys);

// Adds keys as delivered at time now to the file at path (created when
// missing); for recording a delivery when the store itself cannot be read.
Status addDeliveredKeys(const std::string& path, const std::vector<std::string>& keys,
                        std::int64_t now);

}  // namespace quillbox::rss
