// The automatic updates: the due test and the period tables, and the timer's
// ticks in virtual time against the store stand-in: both kinds due in one
// tick after a start at logon, feeds again after their period, and a failed
// feed update that says so at every tick.

#include <gtest/gtest.h>

#include <QLabel>
#include <algorithm>

#include "app/UpdateSchedule.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"
#include "tests/gui/BookWindowFixture.h"

namespace quillbox::test {
namespace {

using app::TForm1;

constexpr int kTick = 30057;
constexpr const char* kFeed = "derived__kde_linux_org_ru.koi8-r.xml";

TEST(UpdateScheduleTest, DueByYearMonthOrTheMinutesWithinTheMonth) {
    struct Case {
        TStamp last;
        TStamp now;
        int period;
        bool due;
    };
    for (const Case& c : {
             Case{{2026, 12, 6, 10, 0}, {2026, 12, 6, 11, 0}, 60, false},
             Case{{2026, 12, 6, 10, 0}, {2026, 12, 6, 11, 1}, 60, true},
             Case{{2026, 12, 31, 23, 50}, {2027, 1, 1, 0, 10}, 1440, true},
             Case{{2026, 11, 30, 23, 50}, {2026, 12, 1, 0, 10}, 1440, true},
             Case{{2026, 12, 6, 12, 0}, {2026, 12, 6, 10, 0}, 60, true},  // stored later
             Case{{2026, 12, 6, 12, 0}, {2026, 12, 6, 10, 0}, 180, false},
             Case{{0, 0, 0, 0, 0}, {2026, 12, 6, 10, 0}, 1440, true},     // never
             Case{{2026, 12, 1, 0, 0}, {2026, 12, 31, 23, 0}, 0, false},  // no period
             Case{{2026, 11, 30, 0, 0}, {2026, 12, 1, 0, 0}, 0, true},
         }) {
        EXPECT_EQ(app::updateDue(c.last, c.now, c.period), c.due)
            << c.last.Month << "/" << c.last.Day << " " << c.last.Hour << ":" << c.last.Minute
            << " to " << c.now.Month << "/" << c.now.Day << " " << c.now.Hour << ":" << c.now.Minute
            << " every " << c.period;
    }
    const int feeds[] = {0, 60, 120, 180, 360, 720, 1440, 0};
    for (int number = 0; number <= 7; ++number) {
        EXPECT_EQ(app::rssPeriodMinutes(number), feeds[number]) << number;
    }
    const int shelves[] = {0, 360, 720, 1440, 0};
    for (int number = 0; number <= 4; ++number) {
        EXPECT_EQ(app::shelfPeriodMinutes(number), shelves[number]) << number;
    }
}

class AutoUpdateTest : public BookWindowTest {
  protected:
    // Stores settings with both automatic updates on, hourly feeds and
    // bookshelves every six hours, never updated.
    static void scheduleBoth(bool shelves = true) {
        TSystemInfo info{};
        LoadSystemInfo(&info);
        info.AutoUpdateRSS = true;
        info.AutoUpdateBookShelfs = shelves;
        info.RSSUpdatePeriod = 1;
        info.BookShelfUpdatePeriod = 1;
        info.LastRSSUpdate = {};
        info.LastBookShelfUpdate = {};
        ASSERT_TRUE(SaveSystemInfo(info));
    }
    void listFeed(TForm1& window, const std::string& url) {
        TRSSItem entry{};
        setFieldText(entry.URL, url);
        ASSERT_EQ(AddToRSSList(1, &entry, window.RSSList.get()), kRssOk);
        requestPaths();
    }
    static bool asked(const std::vector<std::string>& paths, const std::string& part) {
        return std::any_of(paths.begin(), paths.end(),
                           [&part](const std::string& path) { return path.find(part) == 0; });
    }
};

TEST_F(AutoUpdateTest, AfterAStartAtLogonBothKindsUpdateInOneTickAndFeedsAgainAfterTheirPeriod) {
    signIn("reader", "Secret7");
    scheduleBoth();
    TForm1& window = start({"auto"});
    advance(100);
    EXPECT_FALSE(window.isVisible());
    listFeed(window, m_server.url(kFeed));

    advance(kTick);
    const std::vector<std::string> first = requestPaths();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), kFeed);  // feeds first, then the bookshelves
    EXPECT_TRUE(asked(first, "bmanager/"));
    TSystemInfo stored{};
    LoadSystemInfo(&stored);
    EXPECT_EQ(stored.LastRSSUpdate.Year, window.Clock.Year);
    EXPECT_EQ(stored.LastBookShelfUpdate.Year, window.Clock.Year);
    EXPECT_NE(stored.LastRSSUpdate.Year, 0);
    EXPECT_EQ(window.Library->ShelfCount, 3);
    EXPECT_TRUE(fileExists(m_data.file("BookLibrary/BookShelfs1.dat")));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(
        window.label("MPUpdateBSL")->text().startsWith(QStringLiteral("Bookshelf updated: ")));
    EXPECT_FALSE(window.label("MPUpdateBSL")->text().endsWith(QStringLiteral("- ")));

    advance(5 * kTick);
    EXPECT_TRUE(requestPaths().empty());  // nothing due within the hour
    advance(61 * 60 * 1000);
    const std::vector<std::string> later = requestPaths();
    EXPECT_TRUE(asked(later, kFeed));
    EXPECT_FALSE(asked(later, "bmanager/"));
}

TEST_F(AutoUpdateTest, AFailedFeedUpdateSaysSoAtEveryTickAndStaysDue) {
    scheduleBoth(false);
    TForm1& window = toMenu();
    listFeed(window, m_server.url("_status/404"));
    for (int tick = 1; tick <= 2; ++tick) {
        const int shown = shownString(window, [&] { advance(kTick); });
        EXPECT_EQ(shown, 44) << "tick " << tick;
        EXPECT_EQ(requestPaths().size(), 1U) << "tick " << tick;
    }
    TSystemInfo stored{};
    LoadSystemInfo(&stored);
    EXPECT_EQ(stored.LastRSSUpdate.Year, 0);
    EXPECT_EQ(window.label("MPUpdateRSSL")->text(), QStringLiteral("News updated: - "));
}

TEST_F(AutoUpdateTest, TheMenuLinesShowTheLastUpdatesOrADash) {
    TForm1& window = toMenu();
    window.Clock = {2026, 12, 6, 9, 5, 0};
    window.SaveUpdateRSSDate();
    window.ViewUpdateData();
    EXPECT_EQ(window.label("MPUpdateRSSL")->text(),
              QStringLiteral("News updated: 09:05 06.12.2026"));
    EXPECT_EQ(window.label("MPUpdateBSL")->text(), QStringLiteral("Bookshelf updated: - "));
}

}  // namespace
}  // namespace quillbox::test
