// Pictures of news items: fetched only when the switch is on, JPEG and PNG by
// their bytes, within the size cap, and never stopping a run when they fail.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/FixedText.h"
#include "contracts/RSS.h"
#include "rss/NewsStore.h"
#include "tests/rss/RssTestSupport.h"
#include "tests/rss/ServedFeeds.h"
#include "tests/support/Fb2Schema.h"

namespace quillbox::test {
namespace {

const std::string kPng(
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00"
    "\x01\x08\x02\x00\x00\x00\x90\x77\x53\xDE\x00\x00\x00\x0C\x49\x44\x41\x54\x78\x9C\x63\xF8\xCF"
    "\xC0\x00\x00\x03\x01\x01\x00\xC9\xFE\x92\xEF\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82",
    69);
const std::string kJpeg =
    std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(200, 'j');

class Pictures : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(served.running()) << served.error();
        served.put("photo.jpg", kJpeg);
        served.put("dot.png", kPng);
        served.put("page.html", "<html><body>not a picture</body></html>");
        const std::string html = "<p>Text <img src=\"" + served.url("dot.png") + "\"> <img src=\"" +
                                 served.url("page.html?type=image/png") + "\"> <img src=\"" +
                                 served.url("_size/2000000?type=image/jpeg") + "\"> <img src=\"" +
                                 served.url("missing.jpg") + "\"> <img src=\"" +
                                 served.url("_status/500") + "\"></p>";
        std::string feed = rss20(
            "Pictures", {{"", "With pictures", "http://example.test/p", nowSeconds() - 60, html}});
        const std::string enclosure = "<enclosure url=\"" + served.url("photo.jpg") +
                                      "\" type=\"image/jpeg\" length=\"211\"/>";
        feed.insert(feed.find("<description>"), enclosure);
        served.put("feed.xml", feed);
    }

    rss::FeedStore store() {
        const std::string identity = rss::feedIdentity(served.url("feed.xml"));
        return rss::loadStore(rss::storePath(served.rssFolder(), identity), identity);
    }

    ServedFeeds served;
};

TEST_F(Pictures, OnlyRealJpegAndPngWithinTheCapAreKept) {
    TRSSItem entry = makeEntry(served.url("feed.xml"));
    ASSERT_EQ(served.fetch(entry, true), kRssOk);
    const rss::FeedStore kept = store();
    ASSERT_EQ(kept.items.size(), 1u);
    const std::vector<rss::StoredImage>& images = kept.items[0].images;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].sourceUrl, served.url("photo.jpg"));
    EXPECT_EQ(images[0].contentType, "image/jpeg");
    EXPECT_EQ(readFile(images[0].file), kJpeg);
    EXPECT_EQ(images[1].sourceUrl, served.url("dot.png"));
    EXPECT_EQ(images[1].contentType, "image/png");
    EXPECT_EQ(readFile(images[1].file), kPng);

    // The book carries them as binaries and is valid.
    ListHolder holder;
    ASSERT_EQ(AddToRSSList(1, &entry, holder.get()), kRssOk);
    char buffer[501] = {};
    const std::string rss = served.rssFolderArgument();
    const std::string fb2 = served.fb2FolderArgument();
    ASSERT_EQ(ConvertRSSListToFb2(holder.get(), rss.c_str(), fb2.c_str(), buffer), kRssOk);
    const std::string path = served.fb2Folder() + buffer;
    EXPECT_TRUE(validateFb2(path).empty());
    const std::string book = readFile(path);
    EXPECT_NE(book.find("content-type=\"image/jpeg\""), std::string::npos);
    EXPECT_NE(book.find("content-type=\"image/png\""), std::string::npos);

    // The feed changes, the item stays: its pictures are not fetched again.
    served.resetLog();
    served.put("feed.xml", rss20("Pictures", {{"", "With pictures", "http://example.test/p",
                                               nowSeconds() - 60, "<p>Text</p>"}}));
    ASSERT_EQ(served.fetch(entry, true), kRssOk);
    const std::string log = served.requestLog();
    EXPECT_NE(log.find("feed.xml"), std::string::npos);
    EXPECT_EQ(log.find("photo.jpg"), std::string::npos);
    EXPECT_EQ(store().items.at(0).images.size(), 2u);
}

TEST_F(Pictures, SwitchedOffNothingIsFetched) {
    served.resetLog();
    TRSSItem entry = makeEntry(served.url("feed.xml"));
    ASSERT_EQ(served.fetch(entry, false), kRssOk);
    const std::string log = served.requestLog();
    EXPECT_NE(log.find("feed.xml"), std::string::npos);
    EXPECT_EQ(log.find("photo.jpg"), std::string::npos);
    EXPECT_EQ(log.find("dot.png"), std::string::npos);
    ASSERT_EQ(store().items.size(), 1u);
    EXPECT_TRUE(store().items[0].images.empty());
    EXPECT_FALSE(filesIn(served.rssFolder()).empty());
    EXPECT_TRUE(filesIn(served.rssFolder() + "images").empty());
}

}  // namespace
}  // namespace quillbox::test
