// Reading feeds: every format, item texts and links, recovery from broken
// documents, and documents written to attack the reader.

#include <gtest/gtest.h>

#include <string>

#include "rss/Dates.h"
#include "rss/FeedParser.h"
#include "rss/Urls.h"
#include "tests/support/TempDir.h"

namespace quillbox::rss {
namespace {

const std::string kFeeds = QUILLBOX_TEST_DATA_DIR "/feeds/";

Result<ParsedFeed> parseText(const std::string& text,
                             const std::string& url = "http://example.test/news/feed.xml") {
    return parseFeed(text, "", url);
}

ParsedFeed sample(const std::string& name) {
    Result<ParsedFeed> feed = parseFeed(test::readFile(kFeeds + name), "", "http://example.test/");
    EXPECT_TRUE(feed.ok()) << name;
    return feed.ok() ? feed.value() : ParsedFeed{};
}

TEST(FeedFormats, EveryVersionIsRecognised) {
    struct Case {
        const char* file;
        const char* format;
        std::size_t items;
    };
    const Case cases[] = {
        {"feedparser__wellformed_rss_rss_version_090.xml", "RSS 0.90", 0},
        {"rustrss__rss091.xml", "RSS 0.91", 6},
        {"rustrss__rss092.xml", "RSS 0.92", 22},
        {"nodefeedparser__rss2sample.xml", "RSS 2.0", 4},
        {"feedparser__examples_rss10.rdf", "RSS 1.0", 1},
        {"kde__rdf_slashdot.xml", "RSS 1.0", 3},
        {"feedparser__examples_atom03.xml", "Atom 0.3", 1},
        {"feedparser__examples_atom10.xml", "Atom 1.0", 1},
        {"nodefeedparser__unknown-namespace.atom", "Atom 1.0", 1},
    };
    for (const Case& c : cases) {
        const ParsedFeed feed = sample(c.file);
        EXPECT_EQ(feed.format, c.format) << c.file;
        EXPECT_EQ(feed.items.size(), c.items) << c.file;
    }
}

TEST(FeedFormats, WhatIsNotAFeedIsRefused) {
    for (const char* name :
         {"nodefeedparser__notafeed.html", "gofeed__parser_universal_unknown_feed.xml",
          "rssparser__unrecognized.rss", "rome__modules_2.rss",
          "feedparser__illformed_rss_empty_document.xml", "newsboat__empty.xml"}) {
        Result<ParsedFeed> feed =
            parseFeed(test::readFile(kFeeds + name), "", "http://example.test/");
        ASSERT_FALSE(feed.ok()) << name;
        EXPECT_EQ(feed.error().code, kNotAFeed) << name;
    }
}

TEST(ItemContent, ContentEncodedCdataEntitiesAndAtomConstructs) {
    Result<ParsedFeed> feed = parseText(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:content="http://purl.org/rss/1.0/modules/content/"
     xmlns:dc="http://purl.org/dc/elements/1.1/"><channel><title>T&amp;C&nbsp;news&hellip;</title>
<item><title>One</title><description>short</description>
  <content:encoded><![CDATA[<p>Full <b>text</b> &amp; more</p>]]></content:encoded>
  <dc:creator>Ann</dc:creator><dc:date>2024-03-05T10:00:00+01:00</dc:date></item>
<item><title>Two &lt;b&gt;bold&lt;/b&gt;</title><description>&lt;i&gt;escaped&lt;/i&gt; &amp;copy;</description>
  <pubDate>Tue, 05 Mar 2024 09:00:00 GMT</pubDate></item>
</channel></rss>)");
    ASSERT_TRUE(feed.ok());
    // A non-breaking space in a title is a plain blank.
    EXPECT_EQ(feed.value().title, "T&C news\xE2\x80\xA6");
    ASSERT_EQ(feed.value().items.size(), 2u);
    const ParsedItem& one = feed.value().items[0];
    EXPECT_EQ(one.contentHtml, "<p>Full <b>text</b> &amp; more</p>");
    EXPECT_EQ(one.author, "Ann");
    EXPECT_EQ(one.published, unixTime(2024, 3, 5, 9, 0, 0));
    const ParsedItem& two = feed.value().items[1];
    EXPECT_EQ(two.title, "Two bold");
    EXPECT_EQ(two.contentHtml, "<i>escaped</i> ©");
    EXPECT_EQ(two.published, unixTime(2024, 3, 5, 9, 0, 0));

    const ParsedFeed atom = sample("feedparser__wellformed_atom10_entry_content_inline_markup.xml");
    ASSERT_EQ(atom.items.size(), 1u);
    EXPECT_NE(atom.items[0].contentHtml.find("<b>"), std::string::npos);
    const ParsedFeed escaped = sample("feedparser__wellformed_atom_entry_content_mode_escaped.xml");
    ASSERT_EQ(escaped.items.size(), 1u);
    EXPECT_NE(escaped.items[0].contentHtml.find("<b>"), std::string::npos);
}

TEST(ItemLinks, RelativeAddressesResolveAgainstBaseChannelLinkAndFeed) {
    Result<ParsedFeed> feed = parseText(R"(<rss version="2.0"><channel><title>x</title>
<link>/site/</link>
<item><title>a</title><link>post/1</link>
  <description>&lt;a href="../other"&gt;o&lt;/a&gt; &lt;img src="/img/p.png"&gt; &lt;a href="#top"&gt;t&lt;/a&gt;</description></item>
<item xml:base="http://cdn.example.test/base/"><title>b</title><link>two</link>
  <description>&lt;img src="//img.example.test/q.jpg"&gt;</description></item>
</channel></rss>)",
                                        "http://example.test/news/feed.xml");
    ASSERT_TRUE(feed.ok());
    EXPECT_EQ(feed.value().link, "http://example.test/site/");
    const ParsedItem& a = feed.value().items.at(0);
    EXPECT_EQ(a.link, "http://example.test/site/post/1");
    EXPECT_NE(a.contentHtml.find("href=\"http://example.test/other\""), std::string::npos);
    EXPECT_NE(a.contentHtml.find("href=\"#top\""), std::string::npos);
    ASSERT_EQ(a.images.size(), 1u);
    EXPECT_EQ(a.images[0], "http://example.test/img/p.png");
    const ParsedItem& b = feed.value().items.at(1);
    EXPECT_EQ(b.link, "http://cdn.example.test/base/two");
    ASSERT_EQ(b.images.size(), 1u);
    EXPECT_EQ(b.images[0], "http://img.example.test/q.jpg");

    const ParsedFeed based = sample("feedrs__atom_atom_xml_base.xml");
    ASSERT_EQ(based.items.size(), 1u);
    EXPECT_EQ(based.items[0].images.at(0), "https://numi.st/post/2022/travel-uke/IMG_1232.jpeg");
    // Escapes in links are kept as they were.
    const ParsedFeed relative = sample("nodefeedparser__rss-with-relative-urls.xml");
    EXPECT_EQ(relative.items.at(0).link,
              "http://example.test/en/games/neverwinter/news/detail/"
              "10743874-neverwinter-%26-jingle-jam-humble-bundle%21");
}

TEST(ItemLinks, ScriptAndDataAddressesAreDroppedHoweverSpelt) {
    // As a feed writes them: character references stand for the bytes.
    const char* const hostile[] = {
        "javascript:alert(1)",          "JaVaScRiPt:alert(1)",
        " javascript:alert(1)",         "java&#09;script:alert(1)",
        "java&#10;script:alert(1)",     "&#1;javascript:alert(1)",
        "&#xA0;javascript:alert(1)",    "vbscript:msgbox(1)",
        "VBScript&#13;:msgbox(1)",      "data:text/html;base64,PHNjcmlwdD4=",
        "  DaTa:image/png;base64,AAAA",
    };
    const auto escaped = [](const std::string& text) {
        std::string out;
        for (const char c : text) {
            out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        }
        return out;
    };
    std::string document = "<rss version=\"2.0\"><channel><title>x</title>";
    for (const std::string address : hostile) {
        const std::string html = "<p><a href=\"" + address + "\">Click</a><img src=\"" + address +
                                 "\"><img data-src=\"" + address + "\"></p>";
        document += "<item><title>" + escaped(address) + "</title><link>" + address +
                    "</link><description>" + escaped(html) + "</description><enclosure url=\"" +
                    address + "\" type=\"image/png\"/></item>";
    }
    // Look-alikes that are no such scheme still resolve.
    document += "<item><title>fine</title><link>javascript-guide.html</link><description>" +
                escaped("<a href=\"data/x.html\">x</a>") + "</description></item></channel></rss>";
    Result<ParsedFeed> feed = parseText(document);
    ASSERT_TRUE(feed.ok());
    ASSERT_EQ(feed.value().items.size(), std::size(hostile) + 1);
    for (std::size_t i = 0; i < std::size(hostile); ++i) {
        const ParsedItem& item = feed.value().items[i];
        SCOPED_TRACE(hostile[i]);
        EXPECT_EQ(item.link, "");
        EXPECT_TRUE(item.images.empty());
        // The text stays; no address is left (the HTML parser itself may
        // empty a value holding a forbidden character).
        EXPECT_NE(item.contentHtml.find(">Click</a>"), std::string::npos) << item.contentHtml;
        EXPECT_EQ(item.contentHtml.find(':'), std::string::npos) << item.contentHtml;
    }
    const ParsedItem& fine = feed.value().items.back();
    EXPECT_EQ(fine.link, "http://example.test/news/javascript-guide.html");
    EXPECT_EQ(fine.contentHtml, "<a href=\"http://example.test/news/data/x.html\">x</a>");
}

TEST(ItemPictures, EnclosuresAndMediaInOrderWithoutRepeats) {
    Result<ParsedFeed> feed =
        parseText(R"(<rss version="2.0" xmlns:media="http://search.yahoo.com/mrss/">
<channel><item><title>p</title>
<enclosure url="a.jpg" type="image/jpeg" length="1"/>
<enclosure url="song.mp3" type="audio/mpeg" length="1"/>
<media:group><media:content url="b.png" medium="image"/><media:content url="v.mp4" type="video/mp4"/></media:group>
<media:thumbnail url="c.jpg"/>
<description>&lt;img src="a.jpg"&gt;&lt;img src="d.png"&gt;</description>
</item></channel></rss>)",
                  "http://example.test/f/");
    ASSERT_TRUE(feed.ok());
    const std::vector<std::string> expected = {
        "http://example.test/f/a.jpg", "http://example.test/f/b.png", "http://example.test/f/c.jpg",
        "http://example.test/f/d.png"};
    EXPECT_EQ(feed.value().items.at(0).images, expected);
}

TEST(Recovery, BrokenItemsAreSkippedAndTheRestKept) {
    Result<ParsedFeed> feed = parseText(R"(
  <?xml version="1.0" encoding="utf-8"?>
<rss version="2.0"><channel><title>Fish & Chips & more <3</title>
<item><title>One</title><link>http://example.test/1?a=1&b=2</link></item>
<item></item>
<item><title>Two &copy 2024 &unknown; &#150; &#0;</title></item>
<item><title>Three</title><description><![CDATA[never closed</description></item>
</channel></rss>)");
    ASSERT_TRUE(feed.ok());
    EXPECT_EQ(feed.value().title, "Fish & Chips & more <3");
    ASSERT_GE(feed.value().items.size(), 2u);
    EXPECT_EQ(feed.value().items[0].link, "http://example.test/1?a=1&b=2");
    EXPECT_EQ(feed.value().items[1].title, "Two &copy 2024 &unknown; \xE2\x80\x93");

    std::string many = "<rss><channel>";
    for (int i = 0; i < 1500; ++i) {
        many += "<item><title>n" + std::to_string(i) + "</title></item>";
    }
    many += "</channel></rss>";
    Result<ParsedFeed> capped = parseText(many);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().items.size(), kMaxParsedItems);
}

TEST(HostileXml, EntitiesPastTheLimitFailTheWholeFeed) {
    const std::string head = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [\n";
    const std::string items =
        "<item><title>first</title></item><item><title>last</title></item></channel></rss>";
    // libxml2's amplification check stops the parser.
    std::string bomb = head + " <!ENTITY a \"" + std::string(64, 'a') + "\">\n";
    for (const char* name : {"b", "c", "d", "e", "f", "g"}) {
        const std::string previous(1, static_cast<char>(name[0] - 1));
        std::string uses;
        for (int i = 0; i < 16; ++i) {
            uses += "&" + previous + ";";
        }
        bomb += " <!ENTITY " + std::string(name) + " \"" + uses + "\">\n";
    }
    bomb += "]>\n<rss version=\"2.0\"><channel><title>&g;</title>" + items;
    // Within libxml2's ratio, beyond our own expansion budget.
    std::string wide = head + " <!ENTITY a \"" + std::string(5000, 'x') +
                       "\">\n]>\n<rss version=\"2.0\"><channel><title>T</title><item><title>";
    for (int i = 0; i < 250; ++i) {
        wide += "&a;";
    }
    wide += "</title></item>" + items;
    const std::string loop = head + " <!ENTITY a \"&b;\">\n <!ENTITY b \"&a;\">\n]>\n" +
                             "<rss version=\"2.0\"><channel><title>T&a;</title>" + items;
    const std::string deep = head + " <!ENTITY a \"x\">\n <!ENTITY b \"&a;\">\n" +
                             " <!ENTITY c \"&b;\">\n <!ENTITY d \"&c;\">\n" +
                             " <!ENTITY e \"&d;\">\n <!ENTITY f \"&e;\">\n" +
                             " <!ENTITY g \"&f;\">\n <!ENTITY h \"&g;\">\n" +
                             " <!ENTITY i \"&h;\">\n <!ENTITY j \"&i;\">\n" +
                             " <!ENTITY k \"&j;\">\n]>\n" +
                             "<rss version=\"2.0\"><channel><title>T&k;</title>" + items;
    for (const auto& [name, document] : {std::pair{"bomb", bomb}, std::pair{"wide", wide},
                                         std::pair{"loop", loop}, std::pair{"deep", deep}}) {
        Result<ParsedFeed> feed = parseText(document);
        ASSERT_FALSE(feed.ok()) << name << ": " << feed.value().items.size() << " items";
        EXPECT_EQ(feed.error().code, kNotAFeed) << name;
        EXPECT_EQ(feed.error().message, "The feed's entities expand beyond the allowed size.")
            << name;
    }

    // Within every limit the entities are simply text.
    Result<ParsedFeed> fine =
        parseText(head + " <!ENTITY a \"" + std::string(900, 'x') +
                  "\">\n]>\n<rss version=\"2.0\"><channel><title>&a;" + "</title>" + items);
    ASSERT_TRUE(fine.ok());
    EXPECT_EQ(fine.value().title, std::string(900, 'x'));
    EXPECT_EQ(fine.value().items.size(), 2u);
}

TEST(HostileXml, ExternalEntitiesAndDtdsAreNeverLoaded) {
    test::TempDir dir;
    test::writeFile(dir.file("secret.txt"), "TOP-SECRET-CONTENT");
    const std::string secret = "file://" + dir.file("secret.txt");
    const std::string document = R"(<?xml version="1.0"?>
<!DOCTYPE rss SYSTEM ")" + secret +
                                 R"(" [
 <!ENTITY xxe SYSTEM ")" + secret +
                                 R"(">
 <!ENTITY passwd SYSTEM "file:///etc/passwd">
 <!ENTITY % remote SYSTEM ")" + secret +
                                 R"(">
 %remote;
]>
<rss version="2.0"><channel><title>t&xxe;&passwd;</title>
<item><title>i&xxe;</title><description>&passwd;&xxe;</description></item></channel></rss>)";
    Result<ParsedFeed> feed = parseText(document);
    ASSERT_TRUE(feed.ok());
    EXPECT_EQ(feed.value().title, "t");
    for (const ParsedItem& item : feed.value().items) {
        EXPECT_EQ(item.title.find("TOP-SECRET"), std::string::npos);
        EXPECT_EQ(item.contentHtml.find("TOP-SECRET"), std::string::npos);
        EXPECT_EQ(item.contentHtml.find("root:"), std::string::npos);
    }
}

TEST(HostileXml, InternalEntitiesStillWork) {
    const ParsedFeed feed = sample("feedparser__wellformed_rss_entity_in_doctype.xml");
    ASSERT_EQ(feed.items.size(), 1u);
    EXPECT_EQ(feed.items[0].id, "tag:example.com,2006-05-04:/blog/");
}

TEST(FeedDates, CommonAndOddForms) {
    const std::int64_t noon = unixTime(2023, 12, 16, 12, 0, 0);
    EXPECT_EQ(parseFeedDate("Sat, 16 Dec 2023 12:00:00 GMT"), noon);
    EXPECT_EQ(parseFeedDate("Sat, 16 Dec 2023 15:00:00 +0300"), noon);
    EXPECT_EQ(parseFeedDate("16 Dec 23 07:00 EST"), noon);
    EXPECT_EQ(parseFeedDate("Sat, Dec 16 2023 12:00:00 PM"), noon);
    EXPECT_EQ(parseFeedDate("Saturday, 16 December 2023 12:00:00 Z"), noon);
    EXPECT_EQ(parseFeedDate("mar, 16 dic 2023 12:00:00 +0000"), 0);  // no month we know
    EXPECT_EQ(parseFeedDate("mer, 16 nov 2022 00:38:15 +0100"), unixTime(2022, 11, 15, 23, 38, 15));
    EXPECT_EQ(parseFeedDate("2023-12-16T12:00:00Z"), noon);
    EXPECT_EQ(parseFeedDate(" 2023-12-16T13:00:00.250+01:00 "), noon);
    EXPECT_EQ(parseFeedDate("2023-12-16"), unixTime(2023, 12, 16, 0, 0, 0));
    EXPECT_EQ(parseFeedDate("2023-12-16 04:00:00 -0800"), noon);
    EXPECT_EQ(parseFeedDate("2017-06-13T03:18:00+00:0"), unixTime(2017, 6, 13, 3, 18, 0));
    EXPECT_EQ(parseFeedDate("2020/1/10 14:03:00"), unixTime(2020, 1, 10, 14, 3, 0));
    EXPECT_EQ(parseFeedDate("03 Apr 02 1500 GMT"), unixTime(2002, 4, 3, 15, 0, 0));
    EXPECT_EQ(parseFeedDate("1518478934"), 1518478934);
    EXPECT_EQ(parseFeedDate("yesterday"), 0);
    EXPECT_EQ(parseFeedDate("2023-13-45T99:99:99Z"), 0);
}

TEST(FeedAddresses, NormalFormIgnoresSchemeCaseSlashAndFragment) {
    EXPECT_EQ(normalisedUrl("http://Example.TEST/news/"), "example.test/news");
    EXPECT_EQ(normalisedUrl("https://example.test:443/news#top"), "example.test/news");
    EXPECT_EQ(normalisedUrl("http://example.test:80/news?id=1"), "example.test/news?id=1");
    EXPECT_NE(normalisedUrl("http://example.test/News"), normalisedUrl("http://example.test/news"));
    EXPECT_EQ(resolveUrl("http://a.test/b/c/d", "../../x?y#z"), "http://a.test/x?y#z");
    EXPECT_EQ(resolveUrl("http://a.test/b/", "http://c.test/%41"), "http://c.test/%41");
    EXPECT_EQ(resolveUrl("http://a.test/b/c", "?q=1"), "http://a.test/b/c?q=1");
    EXPECT_EQ(
        resolveUrl("http://a.test/b", "путь с пробелом"),
        "http://a.test/"
        "%D0%BF%D1%83%D1%82%D1%8C%20%D1%81%20%D0%BF%D1%80%D0%BE%D0%B1%D0%B5%D0%BB%D0%BE%D0%BC");
}

}  // namespace
}  // namespace quillbox::rss
