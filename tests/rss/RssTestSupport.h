#pragma once
// Shared pieces of the RSS tests: list and entry holders, feed documents
// built on the fly, and text in the system ANSI code page.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/RSSTypes.h"
#include "common/SystemTypes.h"

namespace quillbox::test {

// A zeroed feed list, freed through the library.
class ListHolder {
  public:
    ListHolder();
    ~ListHolder();
    ListHolder(const ListHolder&) = delete;
    ListHolder& operator=(const ListHolder&) = delete;
    TRSSList& list() { return *m_list; }
    TRSSList* get() { return m_list.get(); }

  private:
    std::unique_ptr<TRSSList> m_list;
};

// A new entry, all zero but the address (and title).
TRSSItem makeEntry(const std::string& url, const std::string& title = {});

// UTF-8 text in windows-1251, as the records hold it.
std::string ansi(const std::string& utf8);

struct FeedItemSpec {
    std::string guid;  // empty: none
    std::string title;
    std::string link;
    std::int64_t published = 0;  // 0: no date
    std::string html;
};

// An RSS 2.0 document (UTF-8) with these items.
std::string rss20(const std::string& title, const std::vector<FeedItemSpec>& items);
// RFC 822 form of Unix seconds.
std::string rfc822(std::int64_t unixSeconds);
std::int64_t nowSeconds();

// Every file below folder, by path relative to it, with its bytes.
std::map<std::string, std::string> folderTree(const std::string& folder);

// A TUserData with no proxy; Pictures as given.
TUserData userData(bool pictures = false);

}  // namespace quillbox::test
