// The news screen: the page line and arrows, the drawn rows, the add edit,
// adding a feed through a real fetch from the store stand-in, and deleting
// the selected rows.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Form.h"
#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "platform/CodePage.h"
#include "tests/gui/WindowFixture.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using app::TForm1;

void clickButton(TForm1& window, const char* button) {
    window.hoverButton("RSSSelectImg", window.control(button));
    clickAt(window, window.control("RSSSelectImg"));
}

QListWidget* list(TForm1& window) {
    return qobject_cast<QListWidget*>(window.control("RSSListBox"));
}

QLineEdit* edit(TForm1& window) {
    return qobject_cast<QLineEdit*>(window.control("RSSEdit"));
}

std::string feedUrl(int n) {
    return "http://127.0.0.1:9/feed-" + std::to_string(n) + ".xml";
}

// Feeds 1..count straight into the list, in place of what the last window
// left in the list file.
void putFeeds(TForm1& window, int count) {
    DeleteRSSList(window.RSSList.get());
    for (int n = 1; n <= count; ++n) {
        TRSSItem entry{};
        setFieldText(entry.Title, "Feed " + std::to_string(n));
        setFieldText(entry.URL, feedUrl(n));
        ASSERT_EQ(AddToRSSList(static_cast<std::uint16_t>(n), &entry, window.RSSList.get()),
                  kRssOk);
    }
}

std::vector<std::string> urls(const TForm1& window) {
    std::vector<std::string> out;
    for (int i = 0; i < window.RSSList->Count; ++i) {
        out.emplace_back(fieldText(window.RSSList->Items[i]->URL));
    }
    return out;
}

// The last message, without the breaks the message box puts into long words.
QString message(TForm1& window) {
    return window.label("Label29")->text().remove(QChar(0x200B));
}

QString pageLine(TForm1& window) {
    return window.label("RSSPagesL")->text();
}

// "first-last of count" in the window's language.
QString expectedLine(TForm1& window, int first, int last, int count) {
    return QStringLiteral("%1-%2 %3 %4")
        .arg(first)
        .arg(last)
        .arg(window.languageString(1))
        .arg(count);
}

enum class Finish { Enter, AddAgain, FocusLeaves };

// Opens the edit with the add button, types the address key by key and
// finishes the way given.
void typeAddress(TForm1& window, const QString& address, Finish finish = Finish::Enter) {
    clickButton(window, "RSSAddImg");
    QLineEdit* field = edit(window);
    ASSERT_TRUE(field->isVisible());
    ASSERT_TRUE(field->hasFocus());
    for (const QChar c : address) {
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    ASSERT_EQ(field->text(), address);
    ASSERT_FALSE(field->font().italic());
    switch (finish) {
        case Finish::Enter:
            QTest::keyClick(field, Qt::Key_Return);
            break;
        case Finish::AddAgain:
            clickButton(window, "RSSAddImg");
            break;
        case Finish::FocusLeaves:
            list(window)->setFocus(Qt::MouseFocusReason);
            break;
    }
    EXPECT_FALSE(field->isVisible());
}

class NewsScreenTest : public WindowTest {
  protected:
    TForm1& toNews() {
        TForm1& window = toMenu();
        window.activateWindow();
        window.hoverButton("MPSelectImg", window.control("MPRSSImg"));
        clickAt(window, window.control("MPSelectImg"));
        EXPECT_EQ(window.CurrentPanel, window.control("RSSPanel"));
        return window;
    }
};

TEST_F(NewsScreenTest, PageLineArrowsAndRows) {
    struct Page {
        int page;
        int first;
        int last;
        bool left;
        bool right;
    };
    struct Case {
        int count;
        std::vector<Page> pages;  // as the right arrow reaches them from page 0
        const char* screenshot;
    };
    const Case cases[] = {
        {0, {{0, 1, 0, false, false}}, "news-empty"},
        {10, {{0, 1, 10, false, false}}, "news-one-page"},
        {11, {{0, 1, 10, false, true}, {1, 11, 11, true, false}}, "news-two-pages"},
        {25, {{0, 1, 10, false, true}, {1, 11, 20, true, true}, {2, 21, 25, true, false}}, ""},
    };
    for (const Case& c : cases) {
        TForm1& shown = toNews();
        putFeeds(shown, c.count);
        shown.RSSInfoBar();
        for (const Page& p : c.pages) {
            SCOPED_TRACE(testing::Message() << c.count << " feeds, page " << p.page);
            EXPECT_EQ(shown.RSSPage, p.page);
            EXPECT_EQ(pageLine(shown), expectedLine(shown, p.first, p.last, c.count));
            EXPECT_EQ(shown.control("RSSLeftImg")->isVisible(), p.left);
            EXPECT_EQ(shown.control("RSSRightImg")->isVisible(), p.right);
            if (p.right) {
                clickAt(shown, shown.control("RSSRightImg"));
            }
        }
        if (*c.screenshot != '\0') {
            saveScreenshot(shown, c.screenshot);
        }
        // The last page holds; the left arrow leads back to the first.
        shown.RSSRightImgClick();
        EXPECT_EQ(shown.RSSPage, static_cast<int>(c.pages.size()) - 1);
        while (shown.control("RSSLeftImg")->isVisible()) {
            clickAt(shown, shown.control("RSSLeftImg"));
        }
        EXPECT_EQ(shown.RSSPage, 0);
    }
}

TEST_F(NewsScreenTest, RowsAreDrawnByFeedNumberAndSelection) {
    TForm1& window = toNews();
    putFeeds(window, 11);
    QListWidget* rows = list(window);
    ASSERT_EQ(rows->count(), 10);
    const int height = rows->property("itemHeight").toInt();
    EXPECT_EQ(rows->visualItemRect(rows->item(3)).top(), 3 * height);
    rows->item(2)->setSelected(true);
    struct Case {
        int page;
        int row;
        QColor colour;
    };
    const QColor white(255, 255, 255);
    const QColor even(230, 230, 230);
    const QColor selected(180, 180, 180);
    for (const Case& c : {Case{0, 0, white}, Case{0, 1, even}, Case{0, 2, selected},
                          Case{0, 9, even}, Case{1, 0, white}, Case{1, 2, white}}) {
        window.RSSPage = c.page;
        const QImage picture = rows->viewport()->grab().toImage();
        EXPECT_EQ(picture.pixelColor(1, c.row * height + 1), c.colour)
            << "page " << c.page << " row " << c.row;
    }
}

TEST_F(NewsScreenTest, TheEditOpensOnTheRowOfTheNewFeedAndEscapeClosesIt) {
    struct Case {
        int count;
        int page;        // while the edit is open
        int firstShown;  // the page line's first number then
        int editRow;
    };
    for (const Case& c : {Case{10, 1, 11, 0}, Case{3, 0, 1, 3}}) {
        TForm1& window = toNews();
        putFeeds(window, c.count);
        window.RSSInfoBar();
        clickButton(window, "RSSAddImg");
        QLineEdit* field = edit(window);
        EXPECT_EQ(window.RSSPage, c.page);
        EXPECT_EQ(pageLine(window), expectedLine(window, c.firstShown, c.count, c.count));
        EXPECT_TRUE(field->isVisible());
        EXPECT_TRUE(field->hasFocus());
        EXPECT_TRUE(field->font().italic());
        EXPECT_EQ(field->text(), window.languageString(30));
        EXPECT_EQ(field->y(), 45 + 33 * c.editRow);
        if (c.count == 10) {
            saveScreenshot(window, "news-add-edit");
        }
        // The prompt itself is never added: a second click and Enter leave the list.
        clickButton(window, "RSSAddImg");
        EXPECT_EQ(field->text(), window.languageString(30));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(window.RSSList->Count, c.count);
        // The first key takes the prompt away; Escape closes the edit.
        clickButton(window, "RSSAddImg");
        QTest::keyClick(field, 'h');
        EXPECT_EQ(field->text(), QStringLiteral("h"));
        EXPECT_FALSE(field->font().italic());
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_FALSE(field->isVisible());
        EXPECT_TRUE(field->text().isEmpty());
        EXPECT_EQ(window.RSSPage, 0);
        EXPECT_EQ(pageLine(window), expectedLine(window, 1, c.count, c.count));
        EXPECT_EQ(window.RSSList->Count, c.count);
    }
}

TEST_F(NewsScreenTest, AnAddressIsAddedOnlyAfterItsFirstFetch) {
    TempDir served;
    writeFile(served.file("feed.xml"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel>"
              "<title>Loopback News</title><link>http://example.test/</link>"
              "<item><guid>1</guid><title>First</title><description>Body</description></item>"
              "</channel></rss>\n");
    writeFile(served.file("page.html"), "<!DOCTYPE html><html><body><p>Hello</p></body></html>");
    StoreServer store({"--static", served.path()});
    ASSERT_TRUE(store.running()) << store.error();
    const QString feed = QString::fromStdString(store.url("feed.xml"));
    const QString cyrillic = QString::fromUtf8("http://127.0.0.1:9/новости");
    const QString longest = QStringLiteral("http://127.0.0.1:9/") + QString(231, QLatin1Char('a'));

    TForm1& window = toNews();
    putFeeds(window, 1);
    const Result<std::string> stored =
        platform::fromUtf8(cyrillic.toStdString(), platform::systemAnsiCodePage());
    ASSERT_TRUE(stored.ok());
    TRSSItem entry{};
    setFieldText(entry.URL, stored.value());
    ASSERT_EQ(AddToRSSList(2, &entry, window.RSSList.get()), kRssOk);

    struct Case {
        QString address;
        Finish finish;
        int languageString;  // 0: the English text below
        const char* text;
        bool added;
    };
    const Case cases[] = {
        {feed, Finish::Enter, 39, "", true},
        {feed, Finish::Enter, 33, "", false},
        {QString::fromStdString(feedUrl(1)), Finish::AddAgain, 33, "", false},
        {cyrillic, Finish::Enter, 33, "", false},  // held by the code page, byte for byte
        // Letter case and blanks count: these are new addresses.
        {QStringLiteral("http://127.0.0.1:9/FEED-1.xml"), Finish::FocusLeaves, 44, "", false},
        {QStringLiteral("http://127.0.0.1:9/feed-1.xml "), Finish::Enter, 44, "", false},
        {QString::fromStdString(store.url("missing.xml")), Finish::Enter, 45, "", false},
        {QString::fromStdString(store.url("page.html")), Finish::AddAgain, 46, "", false},
        {longest, Finish::Enter, 44, "", false},  // 250 characters: fetched
        {longest + QLatin1Char('a'), Finish::Enter, 0, "longer than 250 characters", false},
        {QString::fromUtf8("http://127.0.0.1:9/新闻.xml"), Finish::Enter, 0, "cannot be stored",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        window.label("Label29")->clear();
        const int before = window.RSSList->Count;
        typeAddress(window, c.address, c.finish);
        if (c.languageString != 0) {
            EXPECT_EQ(message(window), window.languageString(c.languageString));
        } else {
            EXPECT_TRUE(message(window).contains(QLatin1String(c.text)))
                << message(window).toStdString();
        }
        EXPECT_EQ(window.RSSList->Count, before + (c.added ? 1 : 0));
        EXPECT_TRUE(window.isEnabled());
        EXPECT_FALSE(window.control("Hourglass")->isVisible());
    }
    ASSERT_EQ(window.RSSList->Count, 3);
    EXPECT_EQ(fieldText(window.RSSList->Items[2]->URL), store.url("feed.xml"));
    EXPECT_EQ(fieldText(window.RSSList->Items[2]->Title), "Loopback News");
}

TEST_F(NewsScreenTest, AFullListRefusesAFetchedFeed) {
    TempDir served;
    writeFile(served.file("feed.xml"),
              "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Full</title>"
              "<item><guid>1</guid><title>One</title></item></channel></rss>\n");
    StoreServer store({"--static", served.path()});
    ASSERT_TRUE(store.running()) << store.error();
    TForm1& window = toNews();
    putFeeds(window, kMaxFeeds);
    typeAddress(window, QString::fromStdString(store.url("feed.xml")));
    EXPECT_EQ(message(window), window.languageString(44));
    EXPECT_EQ(window.RSSList->Count, kMaxFeeds);
    EXPECT_EQ(fieldText(window.RSSList->Items[kMaxFeeds - 1]->URL), feedUrl(kMaxFeeds));
    EXPECT_EQ(window.RSSPage, window.RSSLastPage());
}

TEST_F(NewsScreenTest, DeletingRemovesTheFeedsOfTheSelectedRows) {
    struct Case {
        int count;
        int page;
        std::vector<int> rows;  // selected, by click (Ctrl for the others)
        bool deleteEnabled;
        std::vector<int> left;  // feed numbers remaining
        int pageAfter;
    };
    const Case cases[] = {
        {12, 0, {2, 5}, true, {1, 2, 4, 5, 7, 8, 9, 10, 11, 12}, 0},
        {11, 1, {3}, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1},
        {11, 1, {0, 3}, true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " feeds, page " << c.page);
        TForm1& window = toNews();
        putFeeds(window, c.count);
        window.RSSPage = c.page;
        window.redrawRSSList();
        QListWidget* rows = list(window);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            const QRect row = rows->visualItemRect(rows->item(c.rows[i]));
            QTest::mouseClick(rows->viewport(), Qt::LeftButton,
                              i == 0 ? Qt::NoModifier : Qt::ControlModifier, row.center());
        }
        EXPECT_EQ(rows->selectedItems().size(), static_cast<qsizetype>(c.rows.size()));
        EXPECT_EQ(window.control("RSSDeleteImg")->isEnabled(), c.deleteEnabled);
        if (c.deleteEnabled) {
            clickButton(window, "RSSDeleteImg");
        } else {
            window.RSSDeleteClick();  // an empty row is never passed on
        }
        std::vector<std::string> expected;
        for (const int n : c.left) {
            expected.push_back(feedUrl(n));
        }
        EXPECT_EQ(urls(window), expected);
        EXPECT_EQ(window.RSSPage, c.pageAfter);
        EXPECT_EQ(pageLine(window),
                  expectedLine(window, 10 * c.pageAfter + 1,
                               std::min<int>(10 * c.pageAfter + 10, window.RSSList->Count),
                               window.RSSList->Count));
        EXPECT_EQ(rows->selectedItems().size(), static_cast<qsizetype>(c.rows.size()));
    }
}

}  // namespace
}  // namespace quillbox::test
