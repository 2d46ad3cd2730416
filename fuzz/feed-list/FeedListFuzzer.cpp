// Any bytes as RSS.list, loaded from a file the way the library loads it at
// start. Every entry must be terminated with a non-empty address within the
// list's limit; a load that reports the file whole must agree with parsing
// it; and writing the list out and reading that back gives the same entries,
// complete.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/FixedText.h"
#include "common/RSSTypes.h"
#include "contracts/RSS.h"
#include "fuzz/support/FuzzChecks.h"
#include "fuzz/support/FuzzFolder.h"
#include "rss/FeedList.h"

namespace {

using namespace quillbox;
using fuzz::requireTerminated;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::scratchFolder() + "RSS.list";
    fuzz::writeWholeFile(path, bytes);

    static TRSSList list{};
    const std::uint8_t result = rss::loadFeedList(path, list);
    if ((result != kRssOk && result != kRssFileError) || list.Count > kMaxFeeds) {
        __builtin_trap();
    }
    if (result == kRssOk && !bytes.empty() && !rss::parseFeedList(bytes).complete) {
        __builtin_trap();
    }
    for (std::uint16_t i = 0; i < list.Count; ++i) {
        const TRSSItem* entry = list.Items[i];
        if (entry == nullptr) {
            __builtin_trap();
        }
        requireTerminated(entry->URL);
        requireTerminated(entry->Title);
        if (fieldText(entry->URL).empty()) {
            __builtin_trap();
        }
    }

    const rss::FeedListFile again = rss::parseFeedList(rss::formatFeedList(list));
    if (!again.complete || again.feeds.size() != list.Count) {
        __builtin_trap();
    }
    for (std::uint16_t i = 0; i < list.Count; ++i) {
        if (again.feeds[i].url != fieldText(list.Items[i]->URL) ||
            again.feeds[i].title != fieldText(list.Items[i]->Title)) {
            __builtin_trap();
        }
    }
    rss::clearFeedList(list);
    std::remove(path.c_str());
    return 0;
}
