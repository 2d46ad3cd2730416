// Decoding feeds to UTF-8: marks, declarations (also lying ones), the HTTP
// charset, detection; and the Cyrillic samples coming out letter for letter.

#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"
#include "rss/FeedParser.h"
#include "rss/TextEncoding.h"
#include "tests/support/TempDir.h"

namespace quillbox::rss {
namespace {

const std::string kFeeds = QUILLBOX_TEST_DATA_DIR "/feeds/";

std::string encoded(const std::string& utf8, const char* codePage) {
    Result<std::string> bytes = platform::fromUtf8(utf8, codePage);
    EXPECT_TRUE(bytes.ok()) << codePage;
    return bytes.ok() ? bytes.value() : std::string();
}

ParsedFeed parsedSample(const std::string& name, const std::string& httpCharset = {}) {
    const std::string bytes = test::readFile(kFeeds + name);
    EXPECT_FALSE(bytes.empty()) << name;
    Result<ParsedFeed> feed = parseFeed(bytes, httpCharset, "http://example.test/feed.xml");
    EXPECT_TRUE(feed.ok()) << name;
    return feed.ok() ? feed.value() : ParsedFeed{};
}

const std::string kText = "Привет, мир! Съешь ещё этих мягких французских булок, да выпей чаю.";

TEST(CharsetLabels, AliasesAndContentTypes) {
    EXPECT_EQ(canonicalCharset("utf8"), "UTF-8");
    EXPECT_EQ(canonicalCharset(" UTF-8 "), "UTF-8");
    for (const char* label :
         {"windows-1251", "cp-1251", "CP1251", "win-1251", "Windows1251", "x-cp1251", "win1251"}) {
        EXPECT_EQ(canonicalCharset(label), "WINDOWS-1251") << label;
    }
    EXPECT_EQ(canonicalCharset("koi8r"), "KOI8-R");
    EXPECT_EQ(canonicalCharset("KOI8-R"), "KOI8-R");
    EXPECT_EQ(canonicalCharset("iso8859-5"), "ISO-8859-5");
    EXPECT_EQ(canonicalCharset("latin1"), "ISO-8859-1");
    EXPECT_EQ(canonicalCharset("bogus"), "");
    EXPECT_EQ(canonicalCharset("\"><script>"), "");
    EXPECT_EQ(canonicalCharset(charsetOfContentType("text/xml; charset=\"cp-1251\"")),
              "WINDOWS-1251");
    EXPECT_EQ(charsetOfContentType("application/rss+xml"), "");
}

TEST(DocumentDecoding, DeclarationsThatLieLoseToTheBytes) {
    const std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>" + kText + "</a>";
    // UTF-8 bytes under a windows-1251 declaration.
    DecodedDocument decoded = decodeDocument(xml, "");
    EXPECT_NE(decoded.utf8.find(kText), std::string::npos);
    EXPECT_EQ(decoded.encoding, "UTF-8");
    // windows-1251 bytes under a UTF-8 declaration.
    const std::string lying =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>" + encoded(kText, "WINDOWS-1251") + "</a>";
    decoded = decodeDocument(lying, "");
    EXPECT_NE(decoded.utf8.find(kText), std::string::npos);
    EXPECT_EQ(decoded.encoding, "WINDOWS-1251");
}

TEST(DocumentDecoding, CyrillicWithoutAnyLabelIsDetected) {
    const DecodedDocument windows =
        decodeDocument("<a>" + encoded(kText, "WINDOWS-1251") + "</a>", "");
    EXPECT_EQ(windows.encoding, "WINDOWS-1251");
    EXPECT_NE(windows.utf8.find(kText), std::string::npos);
    const DecodedDocument koi = decodeDocument("<a>" + encoded(kText, "KOI8-R") + "</a>", "");
    EXPECT_EQ(koi.encoding, "KOI8-R");
    EXPECT_NE(koi.utf8.find(kText), std::string::npos);
    const DecodedDocument latin = decodeDocument("<a>Caf\xE9 cr\xE8me \x80 5</a>", "");
    EXPECT_EQ(latin.utf8, "<a>Café crème € 5</a>");
}

TEST(DocumentDecoding, HttpCharsetWhenTheDocumentSaysNothing) {
    const std::string bytes = "<a>" + encoded(kText, "ISO-8859-5") + "</a>";
    EXPECT_NE(decodeDocument(bytes, "iso-8859-5").utf8.find(kText), std::string::npos);
    // The declaration comes first.
    const std::string declared =
        "<?xml version='1.0' encoding='koi8-r'?><a>" + encoded(kText, "KOI8-R") + "</a>";
    EXPECT_NE(decodeDocument(declared, "windows-1251").utf8.find(kText), std::string::npos);
}

TEST(DocumentDecoding, ByteOrderMarksAndUtf16WithoutOne) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"utf-16\"?><a>" + kText + "</a>";
    const std::string little = encoded(text, "UTF-16LE");
    const DecodedDocument marked = decodeDocument("\xFF\xFE" + little, "");
    EXPECT_EQ(marked.encoding, "UTF-16LE");
    EXPECT_EQ(marked.utf8, text);
    EXPECT_EQ(decodeDocument(little, "").utf8, text);
    EXPECT_EQ(decodeDocument("\xFE\xFF" + encoded(text, "UTF-16BE"), "").utf8, text);
    EXPECT_EQ(decodeDocument("\xEF\xBB\xBF<a>\xFF</a>", "").utf8, "<a>\xEF\xBF\xBD</a>");
}

TEST(CyrillicSamples, EveryEncodingOfTheSameFeedReadsTheSame) {
    const ParsedFeed original = parsedSample("kde__rss2_linux_org_ru.xml");
    ASSERT_EQ(original.items.size(), 10u);
    EXPECT_EQ(original.title, "Linux.org.ru: Новости");
    EXPECT_EQ(original.items[0].title, "Русификация интерфейса GeoServer");
    for (const char* name :
         {"derived__kde_linux_org_ru.koi8-r.xml", "derived__kde_linux_org_ru.windows-1251.xml",
          "derived__kde_linux_org_ru.utf-8_declared_windows-1251.xml"}) {
        const ParsedFeed feed = parsedSample(name);
        EXPECT_EQ(feed.title, original.title) << name;
        ASSERT_EQ(feed.items.size(), original.items.size()) << name;
        for (std::size_t i = 0; i < feed.items.size(); ++i) {
            EXPECT_EQ(feed.items[i].title, original.items[i].title) << name << " " << i;
            EXPECT_EQ(feed.items[i].contentHtml, original.items[i].contentHtml) << name << " " << i;
        }
    }
}

TEST(CyrillicSamples, WindowsAndKoiFeedsWithAndWithoutHonestLabels) {
    for (const char* name : {"miniflux__parser_testdata_encoding_WINDOWS-1251.xml",
                             "derived__miniflux_ibash.windows-1251_declared_utf-8.xml"}) {
        const ParsedFeed feed = parsedSample(name);
        ASSERT_EQ(feed.items.size(), 50u) << name;
        EXPECT_EQ(feed.items[0].title, "Цитата #17703") << name;
        EXPECT_NE(feed.items[0].contentHtml.find("есть у кого жаба программер"), std::string::npos)
            << name;
    }
    const ParsedFeed koi = parsedSample("miniflux__encoding_testdata_koi8r.xml");
    EXPECT_EQ(koi.title, "Пример RSS ленты");
    ASSERT_FALSE(koi.items.empty());
    EXPECT_EQ(koi.items[0].title, "Первая новость");
    EXPECT_NE(koi.items[0].contentHtml.find("Ёжик, чай, Москва"), std::string::npos);

    const ParsedFeed undeclared = parsedSample("feedparser__illformed_chardet_koi8r.xml");
    ASSERT_EQ(undeclared.items.size(), 1u);
    EXPECT_EQ(undeclared.items[0].title, "Как пережить новогоднюю ночь");
    EXPECT_NE(undeclared.items[0].contentHtml.find("Наверное, единственное"), std::string::npos);

    EXPECT_EQ(parsedSample("nodefeedparser__iconv.xml").title,
              "Новости Оренбурга и области / Раздел Новости");
}

TEST(OtherSamples, LatinAndWideEncodings) {
    EXPECT_EQ(parsedSample("rssparser__encoding.rss").title,
              "Jornal de Notícias - Últimas Notícias");
    EXPECT_EQ(parsedSample("miniflux__encoding_testdata_windows-1252.xml").title, "Euro €");
    EXPECT_EQ(parsedSample("miniflux__encoding_testdata_windows-1252-incorrect-prolog.xml").title,
              "Euro €");
    EXPECT_EQ(parsedSample("miniflux__encoding_testdata_utf8-incorrect-prolog.xml").title,
              "테스트 피드");
    const ParsedFeed wide = parsedSample("simplepie__feed-utf16le.xml");
    EXPECT_EQ(wide.title, "Test feed");
    ASSERT_EQ(wide.items.size(), 1u);
    EXPECT_EQ(wide.items[0].title, "Test feed title 1");
    EXPECT_EQ(parsedSample("rsparser__kc0011.rss").title.substr(0, 12), "投资资讯");
}

}  // namespace
}  // namespace quillbox::rss
