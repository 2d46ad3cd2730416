// Pages served by the store stand-in, fetched over HTTP and read back: the
// reader and the store's page layout agree on every entry.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "book/MD5.h"
#include "platform/CodePage.h"
#include "tests/account/AccountPageTestSupport.h"
#include "tests/support/CurlFetch.h"
#include "tests/support/StoreServer.h"

namespace quillbox::book::test {
namespace {

using quillbox::test::fetch;
using quillbox::test::StoreServer;

std::string ansi(const char* utf8) {
    return platform::fromUtf8(utf8, "WINDOWS-1251").value();
}

std::string readerPageUrl(const StoreServer& server) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return server.url("bmanager/bookshelfuser_.php?login=reader&password=" +
                      AccountKey(local.tm_mday, "reader", "secret7"));
}

using StorePageTest = AccountPageTest;

TEST_F(StorePageTest, DemoAccountPageGivesEveryShelfBookBalanceAndFivePayments) {
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();
    const auto page = fetch(readerPageUrl(server));
    ASSERT_EQ(page.status, 200);

    EXPECT_EQ(readPage(page.body), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 3);
    EXPECT_EQ(fieldText(shelf(1).Name), ansi("Фантастика"));
    EXPECT_EQ(fieldText(shelf(1).Id), "101");
    EXPECT_EQ(fieldText(shelf(3).Name), ansi("Журналы"));
    ASSERT_EQ(shelf(1).BookCount, 3);
    ASSERT_EQ(shelf(2).BookCount, 4);
    ASSERT_EQ(shelf(3).BookCount, 2);
    EXPECT_EQ(fieldText(book(1, 1).Author), ansi("Станислав Лем"));
    EXPECT_EQ(fieldText(book(1, 1).Title), ansi("Солярис"));
    EXPECT_EQ(fieldText(book(1, 1).Id), "books/1001/solaris.fb2");
    EXPECT_EQ(book(1, 1).Size, quillbox::test::fileSize(StoreServer::fixturesFolder() +
                                                        "/files/books/1001/solaris.fb2"));
    EXPECT_EQ(fieldText(book(1, 3).Author), "");
    EXPECT_EQ(fieldText(book(1, 3).Title), ansi("Техника — молодёжи, №1"));
    EXPECT_EQ(fieldText(book(2, 2).Author), ansi("Фёдор Достоевский"));
    EXPECT_EQ(book(2, 4).Size, 3000000u);
    EXPECT_EQ(fieldText(book(3, 1).Title), ansi("Наука и жизнь: №3?"));
    EXPECT_EQ(fieldText(money.Balance), ansi("1 250,00 руб."));
    ASSERT_EQ(money.PaymentCount, 5);
    EXPECT_EQ(fieldText(money.Payments[1].Type), ansi("Пополнение счёта"));
    EXPECT_EQ(fieldText(money.Payments[5].Type), ansi("Покупка: Пикник на обочине"));
    EXPECT_EQ(fieldText(money.Payments[5].Summ), "-129,00");
}

TEST_F(StorePageTest, GeneratedPageFillsAHundredShelvesAndCapsEachAtAThousandBooks) {
    StoreServer server({"--rule", "account:generate=102x1001"});
    ASSERT_TRUE(server.running()) << server.error();
    const auto page = fetch(readerPageUrl(server));
    ASSERT_EQ(page.status, 200);

    EXPECT_EQ(readPage(page.body), PageReadResult::Complete);
    ASSERT_EQ(library.ShelfCount, 100);
    for (int n = 1; n <= 100; ++n) {
        EXPECT_EQ(shelf(n).BookCount, 1000) << "shelf " << n;
    }
    EXPECT_EQ(fieldText(book(100, 1000).Id), "gen/100/1000.fb2");
    EXPECT_EQ(fieldText(money.Balance), "1000.00");
    EXPECT_EQ(money.PaymentCount, 1);
}

}  // namespace
}  // namespace quillbox::book::test
