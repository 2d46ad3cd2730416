// The extern "C" face of the RSS library. Each export maps paths and calls the
// core inside guardExport, so that anything thrown becomes a result byte.

#include <algorithm>
#include <cstring>
#include <ctime>

#include "common/ExportGuard.h"
#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/Clock.h"
#include "platform/PathNormaliser.h"
#include "rss/BookBuilder.h"
#include "rss/Delivery.h"
#include "rss/FeedFetcher.h"
#include "rss/FeedList.h"
#include "rss/FetchAhead.h"
#include "rss/Files.h"
#include "rss/Opml.h"

namespace {

std::int64_t currentTime() {
    return quillbox::platform::clockSeconds();
}

}  // namespace

QUILLBOX_EXPORT std::uint8_t LoadRSSListFromFile(const char* folder, const char* name,
                                                 TRSSList* list, std::uint8_t /*unused1*/,
                                                 std::uint8_t /*unused2*/) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (list == nullptr || name == nullptr) {
            return kRssFileError;
        }
        const std::string path = quillbox::rss::joinPath(quillbox::rss::nativeFolder(folder),
                                                         quillbox::platform::toNativePath(name));
        return quillbox::rss::loadFeedList(path, *list);
    });
}

QUILLBOX_EXPORT std::uint8_t SaveRSSListToFile(const char* path, TRSSList* list,
                                               std::uint8_t /*unused*/) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (list == nullptr || path == nullptr || *path == '\0') {
            return kRssFileError;
        }
        return quillbox::rss::saveFeedList(quillbox::platform::toNativePath(path), *list);
    });
}

QUILLBOX_EXPORT std::uint8_t DeleteRSSList(TRSSList* list) {
    return quillbox::guardExport(kRssRefused, [&] {
        if (list == nullptr) {
            return kRssRefused;
        }
        quillbox::rss::clearFeedList(*list);
        return kRssOk;
    });
}

QUILLBOX_EXPORT std::uint8_t AddToRSSList(std::uint16_t position, const TRSSItem* entry,
                                          TRSSList* list) {
    return quillbox::guardExport(kRssRefused, [&] {
        if (list == nullptr || entry == nullptr) {
            return kRssRefused;
        }
        return quillbox::rss::insertFeed(*list, position, *entry);
    });
}

QUILLBOX_EXPORT std::uint8_t DeleteFromRSSList(std::uint16_t position, TRSSList* list) {
    return quillbox::guardExport(kRssRefused, [&] {
        if (list == nullptr) {
            return kRssRefused;
        }
        return quillbox::rss::removeFeed(*list, position);
    });
}

QUILLBOX_EXPORT std::uint8_t LoadRSSNewsFromURL(TRSSItem* entry, const char* folder,
                                                TUserData* userData, TApplication* application,
                                                TWebBrowser* /*browser*/, std::uint8_t /*unused*/) {
    return quillbox::guardExport(kRssNoDocument, [&] {
        if (entry == nullptr) {
            return kRssNoDocument;
        }
        quillbox::terminateField(entry->URL);
        quillbox::terminateField(entry->Title);
        quillbox::rss::UpdateOptions options;
        if (userData != nullptr) {
            options.network.proxy = quillbox::rss::proxyOf(*userData);
            options.pictures = userData->Pictures;
        }
        if (application != nullptr) {
            // A stop the user asks for ends every transfer under way.
            options.network.pump = [application] {
                application->ProcessMessages();
                if (application->Cancelled()) {
                    throw quillbox::platform::TransferCancelled();
                }
            };
        }
        return quillbox::rss::updateFeedInList(*entry, quillbox::rss::nativeFolder(folder),
                                               options);
    });
}

QUILLBOX_EXPORT std::uint8_t ConvertRSSListToFb2(TRSSList* list, const char* rssFolder,
                                                 const char* fb2Folder, char* buffer) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (list == nullptr) {
            return kRssRefused;
        }
        std::string name;
        const std::uint8_t result = quillbox::rss::convertToBook(
            *list, quillbox::rss::nativeFolder(rssFolder), quillbox::rss::nativeFolder(fb2Folder),
            currentTime(), name);
        if (result == kRssOk && buffer != nullptr) {
            // The caller's buffer holds 501 bytes; names are far shorter.
            const std::size_t length = std::min<std::size_t>(name.size(), 500);
            std::memcpy(buffer, name.data(), length);
            buffer[length] = 0;
        }
        return result;
    });
}

QUILLBOX_EXPORT std::uint8_t MarkRSSNewsDelivered(const char* rssFolder, const char* bookName) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (bookName == nullptr) {
            return kRssRefused;
        }
        return quillbox::rss::markDelivered(quillbox::rss::nativeFolder(rssFolder), bookName,
                                            currentTime());
    });
}

QUILLBOX_EXPORT std::uint8_t ImportOPMLToRSSList(const char* path, TRSSList* list,
                                                 TOPMLReport* report) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (path == nullptr || list == nullptr || report == nullptr) {
            return kRssRefused;
        }
        return quillbox::rss::importOpml(quillbox::platform::toNativePath(path), *list, *report);
    });
}

QUILLBOX_EXPORT std::uint8_t ExportRSSListToOPML(const TRSSList* list, const char* path) {
    return quillbox::guardExport(kRssFileError, [&] {
        if (list == nullptr || path == nullptr) {
            return kRssRefused;
        }
        return quillbox::rss::exportOpml(*list, quillbox::platform::toNativePath(path));
    });
}
