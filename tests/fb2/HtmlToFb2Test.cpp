// Item HTML converted into a whole book, which must validate, and then read
// back with XPath.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "rss/fb2/HtmlToFb2.h"
#include "tests/fb2/Fb2TestBook.h"
#include "tests/support/Fb2Schema.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kItem = "/f:FictionBook/f:body/f:section[1]/f:section[1]";

class HtmlToFb2Test : public ::testing::Test {
  protected:
    // Converts `html` as the text of the only item and parses the valid book.
    Fb2Document convert(const std::string& html,
                        const std::string& link = "https://example.org/news/item.html") {
        const std::string path = m_dir.file("book.fb2");
        writeValidBook(bookWithItem(html, link), path);
        return Fb2Document(path);
    }

    std::vector<std::string> blocks(const std::string& html) {
        return convert(html).texts(kItemBlocks);
    }

    TempDir m_dir;
};

TEST_F(HtmlToFb2Test, EverySharedFragmentConvertsIntoAValidBook) {
    const std::filesystem::path folder = std::string(QUILLBOX_TEST_DATA_DIR) + "/html-fragments";
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        const std::string html = readFile(entry.path().string());
        const Fb2Document book = convert(html);
        ASSERT_TRUE(book.loaded());
        const std::string text = book.text(kItem);
        // Nothing of a script, style sheet or frame comes through.
        EXPECT_THAT(text, Not(HasSubstr("function(")));
        EXPECT_THAT(text, Not(HasSubstr("<script")));
        EXPECT_THAT(text, Not(HasSubstr("<iframe")));
        ++converted;
    }
    EXPECT_GE(converted, 20);
}

TEST_F(HtmlToFb2Test, FragmentTextSurvivesConversion) {
    const std::string html = readFile(std::string(QUILLBOX_TEST_DATA_DIR) +
                                      "/html-fragments/kde__rss2_linux_org_ru__description1.html");
    const std::vector<std::string> texts = blocks(html);
    ASSERT_GE(texts.size(), 5U);
    EXPECT_EQ(texts[0], "Вышел Java Platform Micro Edition Software Development Kit 3.0");
    EXPECT_EQ(texts[1], "Новшества:");
    EXPECT_EQ(texts[2],
              "\u2022 Интеграция со сторонними эмуляторами и устройствами Windows Mobile");
}

TEST_F(HtmlToFb2Test, BlockTagsAndLineBreaksMakeParagraphs) {
    const Fb2Document book = convert(
        "<p>One</p><div>Two</div><h2>Three</h2>Four<br>Five<br><br>Six"
        "<section><article>Seven</article></section>");
    EXPECT_THAT(book.texts(kItemBlocks),
                ElementsAre("One", "Two", "Three", "Four", "Five", "Six", "Seven"));
    EXPECT_THAT(book.texts(std::string(kItem) + "/f:subtitle"), ElementsAre("Three"));
}

TEST_F(HtmlToFb2Test, WhitespaceCollapsesEntitiesDecodeAndEmptyParagraphsVanish) {
    EXPECT_THAT(blocks("<p>  A&nbsp;B &amp;  C\n\t D &lt;tag&gt; &eacute;&#8212;&#x41; </p>"
                       "<p> </p><p>&nbsp;</p><div>\n</div><p><b> </b></p>"),
                ElementsAre("A\u00A0B & C D <tag> \u00E9\u2014A"));
}

TEST_F(HtmlToFb2Test, InlineFormattingMapsToFb2Styles) {
    const Fb2Document book = convert(
        "<p><b>bold</b> 1 <strong>strong</strong> 2 <i>it</i> 3 <em>em</em> 4 <s>s</s> 5 "
        "<del>del</del> 6 <strike>st</strike> H<sub>2</sub>O x<sup>2</sup> <code>c()</code> 7 "
        "<tt>tt</tt></p>");
    const std::string p = std::string(kItem) + "/f:p";
    EXPECT_THAT(book.texts(p + "/f:strong"), ElementsAre("bold", "strong"));
    EXPECT_THAT(book.texts(p + "/f:emphasis"), ElementsAre("it", "em"));
    EXPECT_THAT(book.texts(p + "/f:strikethrough"), ElementsAre("s", "del", "st"));
    EXPECT_THAT(book.texts(p + "/f:sub"), ElementsAre("2"));
    EXPECT_THAT(book.texts(p + "/f:sup"), ElementsAre("2"));
    EXPECT_THAT(book.texts(p + "/f:code"), ElementsAre("c()", "tt"));
    EXPECT_EQ(book.text(p), "bold 1 strong 2 it 3 em 4 s 5 del 6 st H2O x2 c() 7 tt");
}

TEST_F(HtmlToFb2Test, OverlappingStylesAndLinksNestLegally) {
    const Fb2Document book = convert(
        "<p><b>a <i>b <a href=\"/x\">c <s>d</s></a> e</i></b> <a href=\"/y\"><code>f</code> "
        "<b>g</b></a></p>");
    EXPECT_EQ(book.text(std::string(kItem) + "/f:p"), "a b c d e f g");
    // Links are always the outer element, so no style ever holds one.
    EXPECT_EQ(book.count("//f:strong//f:a | //f:emphasis//f:a | //f:strikethrough//f:a"), 0);
    EXPECT_EQ(book.count("//f:a[@l:href='https://example.org/x']//f:strikethrough"), 1);
}

TEST_F(HtmlToFb2Test, ScriptsStylesFramesFormsAndCommentsAreDropped) {
    const Fb2Document book = convert(
        "<html><head><title>Head title</title><style>p{color:red}</style></head><body>"
        "<p>Kept<script>alert('x')</script> text</p><style>.a{color:blue}</style>"
        "<iframe src=\"https://video.example/\">frame text</iframe><noscript>noscript "
        "text</noscript>"
        "<form><input value=\"form value\">form text<button>Press</button></form>"
        "<object>object text</object><!-- comment text -->"
        "<frameset><frame src=\"f.html\"></frameset><p>End</p></body></html>");
    EXPECT_THAT(book.texts(kItemBlocks), ElementsAre("Kept text", "End"));
    const std::string all = book.text("/");
    for (const char* gone : {"Head title", "color", "alert", "frame text", "noscript text", "form",
                             "Press", "object text", "comment text"}) {
        EXPECT_THAT(all, Not(HasSubstr(gone)));
    }
}

TEST_F(HtmlToFb2Test, ListsBecomeMarkedParagraphs) {
    EXPECT_THAT(blocks("<ul><li>One</li><li>Two<ul><li>Inner</li></ul></li></ul>"
                       "<ol start=\"3\"><li>Three</li><li><p>Four</p><p>more</p></li></ol>"
                       "<ol><li>First</li><li> </li></ol>"),
                ElementsAre("\u2022 One", "\u2022 Two", "\u00A0\u00A0\u2022 Inner", "3. Three",
                            "4. Four", "more", "1. First"));
}

TEST_F(HtmlToFb2Test, TableRowsBecomeParagraphsWithCellsJoined) {
    EXPECT_THAT(blocks("<table><caption>Prices</caption>"
                       "<tr><th>Name</th><th>Price</th></tr>"
                       "<tr><td>Tea</td><td></td><td><p>1</p><p>EUR</p></td></tr>"
                       "<tr><td> </td><td>only</td></tr></table>"),
                ElementsAre("Prices", "Name | Price", "Tea | 1 EUR", "only"));
}

TEST_F(HtmlToFb2Test, LinksResolveAgainstTheItemAndOnlyWebLinksStay) {
    const Fb2Document book = convert(
        "<p><a href=\"/about\">About</a> <a href=\"other.html\">Other</a> "
        "<a href=\"//cdn.example.net/x\">Cdn</a> <a href=\"mailto:me@example.org\">Mail</a> "
        "<a href=\"javascript:alert(1)\">Script</a> <a href=\"#top\">Top</a> <a>Bare</a> "
        "<a href=\"HTTPS://Example.org/Up\">Up</a></p>");
    EXPECT_THAT(book.texts("//f:p/f:a/@l:href"),
                ElementsAre("https://example.org/about", "https://example.org/news/other.html",
                            "https://cdn.example.net/x", "mailto:me@example.org",
                            "https://example.org/news/item.html#top", "HTTPS://Example.org/Up"));
    EXPECT_EQ(book.text(std::string(kItem) + "/f:p"), "About Other Cdn Mail Script Top Bare Up");
}

TEST_F(HtmlToFb2Test, ScriptAndDataAddressesAreNeverLinksHoweverSpelt) {
    using namespace std::string_view_literals;
    struct Case {
        std::string_view address;
        bool refused;
    };
    const Case cases[] = {
        {"javascript:alert(1)", true},
        {"JaVaScRiPt:alert(1)", true},
        {" javascript:alert(1)", true},
        {"java\tscript:alert(1)", true},
        {"java\nscript:alert(1)", true},
        {"java\0script:alert(1)"sv, true},
        {"\x01\x7Fjavascript:alert(1)", true},
        {"\xC2\xA0java\xE2\x80\x8Bscript:alert(1)", true},
        {"vbscript:msgbox(1)", true},
        {"VB\rScript:msgbox(1)", true},
        {"data:text/html;base64,PHNjcmlwdD4=", true},
        {"  DaTa:image/png;base64,AAAA", true},
        {"javascript-guide.html", false},
        {"data/file.html", false},
        {"https://example.org/javascript:alert(1)", false},
        {"mailto:me@example.org", false},
        {"javascripts:x", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address));
        EXPECT_EQ(rss::fb2::isScriptOrDataAddress(c.address), c.refused);
        if (!c.refused) {
            continue;
        }
        EXPECT_EQ(rss::fb2::resolveUrl(c.address, "https://example.org/news/item.html"), "");
        std::string attribute;
        for (const char ch : c.address) {
            // As a feed would write the bytes inside an attribute; a zero
            // stays a raw byte, as "&#0;" would end the value in the parser.
            const bool reference = ch != '\0' && static_cast<unsigned char>(ch) < 0x20;
            attribute +=
                reference ? "&#" + std::to_string(static_cast<int>(ch)) + ";" : std::string(1, ch);
        }
        const Fb2Document book = convert("<p><a href=\"" + attribute + "\">Click</a></p>");
        EXPECT_EQ(book.count("//f:a"), 0);
        EXPECT_THAT(book.texts(kItemBlocks), ElementsAre("Click"));
    }
}

TEST_F(HtmlToFb2Test, RelativeLinksWithoutAnItemAddressAreNotLinks) {
    const Fb2Document book = convert("<p><a href=\"/about\">About</a></p>", "");
    EXPECT_EQ(book.count("//f:a"), 0);
    EXPECT_THAT(book.texts(kItemBlocks), ElementsAre("About"));
}

TEST_F(HtmlToFb2Test, NestedLinksAreNotNestedInTheBook) {
    const Fb2Document book = convert(
        "<p><a href=\"http://a.example/\">outer <a href=\"http://b.example/\">inner</a> "
        "tail</a></p><p><a href=\"http://c.example/\"><span>one <a "
        "href=\"http://d.example/\">two</a></span></a></p>");
    EXPECT_EQ(book.count("//f:a//f:a"), 0);
    EXPECT_THAT(book.texts(kItemBlocks), ElementsAre("outer inner tail", "one two"));
}

TEST_F(HtmlToFb2Test, BlockquotesBecomeOneCitation) {
    const Fb2Document book = convert(
        "<p>Before</p><blockquote><p>Quoted</p><blockquote>Deeper</blockquote></blockquote>"
        "<p>After</p>");
    EXPECT_THAT(book.texts(std::string(kItem) + "/f:cite/f:p"), ElementsAre("Quoted", "Deeper"));
    EXPECT_THAT(book.texts(std::string(kItem) + "/f:p"), ElementsAre("Before", "After"));
    EXPECT_EQ(book.count("//f:cite//f:cite"), 0);
}

TEST_F(HtmlToFb2Test, PreformattedLinesKeepIndentationAndBlankLines) {
    const Fb2Document book = convert("<pre>int main() {\n\treturn 0;\n  \n}</pre><p>After</p>");
    EXPECT_THAT(book.texts(std::string(kItem) + "/f:p/f:code"),
                ElementsAre("int main() {", "\u00A0\u00A0\u00A0\u00A0return 0;", "}"));
    EXPECT_THAT(book.names(std::string(kItem) + "/*"),
                ElementsAre("title", "p", "p", "empty-line", "p", "p"));
}

TEST_F(HtmlToFb2Test, PlainTextKeepsOneParagraphPerLine) {
    EXPECT_THAT(blocks("First line\nSecond &amp; line\n\n  Third  "),
                ElementsAre("First line", "Second & line", "Third"));
}

TEST_F(HtmlToFb2Test, UnknownVoidElementsDoNotSwallowWhatFollows) {
    const std::string html =
        "<p>Clip<embed src=\"x.swf\"> after embed</p><picture><source srcset=\"a.jpg\">"
        "<img src=\"b.jpg\"></picture><p>Line<wbr>break and <video src=\"v.mp4\"/>more</p>";
    EXPECT_THAT(blocks(html), ElementsAre("Clip after embed", "Linebreak and more"));
}

TEST_F(HtmlToFb2Test, CyrillicSurvivesEvenWhenTheHtmlNamesAnotherCharset) {
    EXPECT_THAT(blocks("<meta charset=\"windows-1251\"><p>Привет, мир: ёЁ</p>"),
                ElementsAre("Привет, мир: ёЁ"));
    EXPECT_THAT(blocks("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">"
                       "<p>Съешь же ещё этих булок</p>"),
                ElementsAre("Съешь же ещё этих булок"));
}

TEST_F(HtmlToFb2Test, HostileMarkupConvertsWithoutCrashing) {
    // The HTML parser stops at its nesting limit; what came before is kept.
    std::string deep = "<p>top</p>";
    for (int i = 0; i < 20000; ++i) {
        deep += i % 2 == 0 ? "<div><b>" : "<blockquote><i><a href=\"http://x.example/\">";
    }
    deep += "bottom";
    const std::vector<std::string> texts = blocks(deep);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), "top");

    EXPECT_THAT(blocks("<p>broken <b>bold <i>both</p> after</b> <td>cell</tr></table>"
                       "<li>loose</ul><a href='http://x.example/'<p>&#0;&#1;&#xD800;ok"),
                Not(IsEmpty()));
}

}  // namespace
}  // namespace quillbox::test
