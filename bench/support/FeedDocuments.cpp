#include "bench/support/FeedDocuments.h"

#include <ctime>

namespace quillbox::bench {

namespace {

std::string rfc822(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

}  // namespace

std::string newsItemHtml(int feed, int item) {
    std::string html = "<p>News number " + std::to_string(item) + " of feed " +
                       std::to_string(feed) + ". <b>Важно:</b> ";
    for (int i = 0; i < 12; ++i) {
        html += "Съешь ещё этих мягких французских булок, да выпей чаю. ";
    }
    html += "</p><p><a href=\"http://example.test/more\">More</a></p>";
    return html;
}

std::string feedDocument(int feed, int items, std::int64_t now) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>";
    out += "<title>Feed " + std::to_string(feed) + "</title><link>http://example.test/</link>";
    for (int item = 0; item < items; ++item) {
        out += "<item><title>Item " + std::to_string(item) + "</title><link>http://example.test/" +
               std::to_string(feed) + "/" + std::to_string(item) + "</link><pubDate>" +
               rfc822(now - item * 60) + "</pubDate><description><![CDATA[" +
               newsItemHtml(feed, item) + "]]></description></item>\n";
    }
    return out + "</channel></rss>\n";
}

}  // namespace quillbox::bench
