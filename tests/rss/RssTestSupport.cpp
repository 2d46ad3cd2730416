#include "tests/rss/RssTestSupport.h"

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/CodePage.h"

namespace quillbox::test {

ListHolder::ListHolder() : m_list(std::make_unique<TRSSList>()) {
    std::memset(m_list.get(), 0, sizeof(TRSSList));
}

ListHolder::~ListHolder() {
    DeleteRSSList(m_list.get());
}

TRSSItem makeEntry(const std::string& url, const std::string& title) {
    TRSSItem entry;
    std::memset(&entry, 0, sizeof entry);
    setFieldText(entry.URL, url);
    setFieldText(entry.Title, title);
    return entry;
}

std::string ansi(const std::string& utf8) {
    return platform::fromUtf8Lossy(utf8, "WINDOWS-1251");
}

std::string rfc822(std::int64_t unixSeconds) {
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[parts.tm_wday],
                  parts.tm_mday, months[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
    return text;
}

std::int64_t nowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string rss20(const std::string& title, const std::vector<FeedItemSpec>& items) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>";
    out += "<title>" + title + "</title><link>http://example.test/</link>";
    for (const FeedItemSpec& item : items) {
        out += "<item>";
        if (!item.guid.empty()) {
            out += "<guid>" + item.guid + "</guid>";
        }
        out += "<title>" + item.title + "</title>";
        if (!item.link.empty()) {
            out += "<link>" + item.link + "</link>";
        }
        if (item.published != 0) {
            out += "<pubDate>" + rfc822(item.published) + "</pubDate>";
        }
        out += "<description><![CDATA[" + item.html + "]]></description></item>\n";
    }
    out += "</channel></rss>\n";
    return out;
}

std::map<std::string, std::string> folderTree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    std::error_code error;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (item.is_regular_file()) {
            std::ifstream in(item.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            tree[item.path().lexically_relative(folder).string()] = bytes.str();
        }
    }
    return tree;
}

TUserData userData(bool pictures) {
    TUserData data;
    std::memset(&data, 0, sizeof data);
    data.Pictures = pictures;
    return data;
}

}  // namespace quillbox::test
