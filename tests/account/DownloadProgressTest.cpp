// How often a download shows its progress: at most every
// kDownloadProgressInterval of the platform clock, and once at the end.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "book/BookErrorText.h"
#include "book/DownloadFile.h"
#include "common/FixedText.h"
#include "platform/BrowserStandIn.h"
#include "platform/Clock.h"
#include "platform/Http.h"
#include "platform/PathNormaliser.h"
#include "tests/account/NetworkFixture.h"
#include "tests/support/FakeHost.h"

using namespace quillbox;
using namespace quillbox::book;
using namespace quillbox::test;

namespace {

// The platform clock held still at the time of construction until destruction.
class StoppedClock {
  public:
    StoppedClock() { platform::setVirtualClock(std::chrono::system_clock::now()); }
    ~StoppedClock() { platform::useSystemClock(); }
    StoppedClock(const StoppedClock&) = delete;
    StoppedClock& operator=(const StoppedClock&) = delete;
};

class DownloadProgressTest : public NetworkTest {
  protected:
    DownloadProgressTest() {
        platform::sharedCookieJar().clear();
        m_application.onProcess = [this] { m_browser.pump(); };
    }

    // The demo account's large book (3,000,000 bytes) into the data folder.
    std::uint8_t downloadLargeBook() {
        TBook book{};
        setFieldText(book.Title, "Large");
        setFieldText(book.Id, "books/9001/voina-i-mir.fb2");
        setFieldText(book.BookType, ".fb2");
        book.Size = 3000000;
        setFieldText(book.ShelfName, "Shelf");
        return DownloadFile(book, m_home.file("Books/"), userData("reader", "Secret7"),
                            &m_application, &m_browser, &m_bar, &m_label, false);
    }

    platform::BrowserStandIn m_browser;
    FakeApplication m_application;
    FakeProgressBar m_bar;
    FakeLabel m_label;
};

}  // namespace

TEST_F(DownloadProgressTest, WithTheClockStandingStillOnlyTheStartAndTheEndAreShown) {
    const StoppedClock clock;
    ASSERT_EQ(downloadLargeBook(), kDownloadDone) << book::GetBookErrorText().Text;
    EXPECT_EQ(fileSize(platform::toNativePath(m_home.file("Books/") + "Shelf\\Large.fb2")),
              3000000);
    // Shown after every block of bytes, the book would give thousands of captions.
    EXPECT_EQ(m_label.captions, (std::vector<std::string>{"0%", "100%"}));
    EXPECT_EQ(m_bar.positions, (std::vector<int>{0, 100}));
}
