// The pieces of the account request that need no server: the store's root,
// the URL and its encoding, the key, the message bytes and the percent shown
// while a book arrives.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

#include "book/AccountRequest.h"
#include "book/DownloadFile.h"
#include "book/NetworkTexts.h"
#include "book/StoreConfig.h"
#include "platform/Clock.h"
#include "tests/account/NetworkFixture.h"
#include "tests/support/EnvGuard.h"

using namespace quillbox;
using namespace quillbox::book;
using namespace std::chrono_literals;
using quillbox::test::EnvGuard;

TEST(StoreConfig, RootComesFromTheEnvironmentWithATrailingSlash) {
    {
        EnvGuard unset("QUILLBOX_STORE_URL", std::nullopt);
        EXPECT_EQ(storeRoot(), "http://store.tomeport.example/");
    }
    {
        EnvGuard empty("QUILLBOX_STORE_URL", std::string());
        EXPECT_EQ(storeRoot(), "http://store.tomeport.example/");
    }
    EnvGuard local("QUILLBOX_STORE_URL", std::string("http://127.0.0.1:8080"));
    EXPECT_EQ(storeRoot(), "http://127.0.0.1:8080/");
    EnvGuard withSlash("QUILLBOX_STORE_URL", std::string("http://127.0.0.1:8080/shop/"));
    EXPECT_EQ(storeRoot(), "http://127.0.0.1:8080/shop/");
}

TEST(StoreConfig, HostNameIsTheHostWithoutPortOrPath) {
    EXPECT_EQ(hostNameOf("http://store.tomeport.example/"), "store.tomeport.example");
    EXPECT_EQ(hostNameOf("http://127.0.0.1:8080/shop/"), "127.0.0.1");
    EXPECT_EQ(hostNameOf("http://user:pw@host.example:81/"), "host.example");
    EXPECT_EQ(hostNameOf("http://[::1]:8080/"), "[::1]");
    EXPECT_EQ(hostNameOf("host-only"), "host-only");
    EXPECT_EQ(hostNameOf(""), "");
}

TEST(AccountRequestUrl, LoginIsPercentEncodedSoItCannotChangeTheRequest) {
    EXPECT_EQ(percentEncoded("reader-1.a_b~"), "reader-1.a_b~");
    EXPECT_EQ(percentEncoded("a&b #c"), "a%26b%20%23c");
    EXPECT_EQ(percentEncoded("x=1&password=y"), "x%3D1%26password%3Dy");
    EXPECT_EQ(percentEncoded(test::ansi("Чтец")), "%D7%F2%E5%F6");
    EXPECT_EQ(percentEncoded(std::string("\0%", 2)), "%00%25");

    EXPECT_EQ(accountPageUrl("http://h/", "a&b", "0123abcd"),
              "http://h/bmanager/bookshelfuser_.php?login=a%26b&password=0123abcd");
}

// The clock set to a date, for the key of that day; the system clock again after the test.
class AccountKeyOfTheDay : public ::testing::Test {
  protected:
    void TearDown() override { platform::useSystemClock(); }

    // Noon local time of the date, so that the local day is that date in any time zone.
    static void setDate(int year, int month, int day) {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = 12;
        local.tm_isdst = -1;
        platform::setVirtualClock(std::chrono::system_clock::from_time_t(std::mktime(&local)));
    }
};

// Expected keys computed outside the code: printf 'DD' LOGIN PASSWORD | md5sum,
// over the windows-1251 bytes.
TEST_F(AccountKeyOfTheDay, UrlCarriesTheMd5OfTwoDigitLocalDayLoginAndPassword) {
    struct Case {
        int year, month, day;
        std::string login, password, encodedLogin, key;
    };
    const Case cases[] = {
        {2024, 3, 7, "Reader", "Secret7", "Reader", "93eb4f884a6f493fb4d98336897b0cce"},
        {2023, 12, 31, test::ansi("Чтец"), test::ansi("Пароль1"), "%D7%F2%E5%F6",
         "732d8c1d8cdd152d97aff099619223e9"},
    };
    EnvGuard root("QUILLBOX_STORE_URL", std::string("http://127.0.0.1:9/"));
    for (const Case& c : cases) {
        setDate(c.year, c.month, c.day);
        ASSERT_EQ(localDayOfMonth(), c.day);
        const TUserData user = test::userData(c.login, c.password);
        EXPECT_EQ(accountRequest(user, c.login, c.password, localDayOfMonth()).url,
                  "http://127.0.0.1:9/bmanager/bookshelfuser_.php?login=" + c.encodedLogin +
                      "&password=" + c.key)
            << c.day;
    }
}

TEST(AccountRequestUrl, ProxySettingsAgentAndTimeOutsFollowTheUserData) {
    TUserData user = test::userData("reader", "pw");
    const platform::HttpRequest direct = accountRequest(user, "reader", "pw", 1);
    EXPECT_TRUE(direct.proxy.host.empty());
    EXPECT_FALSE(direct.useSystemProxy);
    EXPECT_EQ(direct.userAgent, "") << "without a proxy the request sends no agent of its own";
    EXPECT_EQ(direct.stallTimeout, 2000ms);
    EXPECT_EQ(direct.connectTimeout, 2000ms);
    EXPECT_TRUE(direct.failOnErrorStatus);

    test::useProxy(user, "127.0.0.1", 3128, "proxyuser", "proxypass");
    const platform::HttpRequest proxied = accountRequest(user, "reader", "pw", 1);
    EXPECT_EQ(proxied.proxy.host, "127.0.0.1");
    EXPECT_EQ(proxied.proxy.port, 3128);
    EXPECT_EQ(proxied.proxy.user, "proxyuser");
    EXPECT_EQ(proxied.proxy.password, "proxypass");
    EXPECT_EQ(proxied.userAgent, "MSIE");
    EXPECT_EQ(proxied.stallTimeout, 2000ms);
}

TEST(NetworkTexts, MessagesAreTheExactWindows1251Bytes) {
    EXPECT_EQ(
        texts::loginRefused(),
        "\xC8\xE7\xEC\xE5\xED\xE8\xF2\xE5 \xEB\xEE\xE3\xE8\xED \xE8/\xE8\xEB\xE8  "
        "\xEF\xE0\xF0\xEE\xEB\xFC, \xE4\xEE\xF1\xF2\xF3\xEF \xEA \xEA\xED\xE8\xE6\xED\xEE\xE9 "
        "\xEF\xEE\xEB\xEA\xE5 \xE7\xE0\xEF\xF0\xE5\xF9\xE5\xED");
    EXPECT_EQ(texts::loginRefused().size(), 61u) << "two blanks before the second word";
    EXPECT_EQ(texts::loginRefusedBox().size(), 60u) << "one blank in the box";

    EXPECT_EQ(texts::updateDone(),
              "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xEA\xED\xE8\xE6\xED\xEE\xE9 "
              "\xEF\xEE\xEB\xEA\xE8 \xF3\xF1\xEF\xE5\xF8\xED\xEE \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED"
              "\xEE");
    EXPECT_EQ(texts::updateDoneBox().back(), '\xE0') << "the box ends in a different letter";

    EXPECT_EQ(texts::downloadConnectionFailed(),
              "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF \xEA "
              "\xE8\xED\xF2\xE5\xF0\xED\xE5\xF2 , \xEF\xF0\xEE\xE2\xE5\xF0\xFC\xF2\xE5 "
              "\xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF. "
              "\xC2\xEE\xE7\xEC\xEE\xE6\xED\xEE \xEE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2 "
              "\xE8\xED\xF2\xE5\xF0\xED\xE5\xF2(\xE8\xEB\xE8 \xEF\xF0\xEE\xEA\xF1\xE8) "
              "\xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE5.");
    EXPECT_EQ(texts::connectionFailed("store.example"),
              test::ansi("Ошибка подключения к store.example, проверьте настройки подключения. "
                         "Возможно отсутствует интернет(или прокси) соединение."));

    EXPECT_EQ(texts::tmpFolderNotCreated(), test::ansi("Невозможно создать 'Tmp/'"));
    EXPECT_EQ(texts::tmpFileNotCreated(), test::ansi("Невозможно создать 'Tmp/Tmp.~file'"));
    EXPECT_EQ(texts::tmpFileNotWritten(), test::ansi("Ошибка записи в 'Tmp/Tmp.~file'"));
}

TEST(DownloadPercent, RoundsToNearestWithHalvesToEven) {
    EXPECT_EQ(downloadPercent(0, 1000), 0u);
    EXPECT_EQ(downloadPercent(1, 200), 0u);  // 0.5
    EXPECT_EQ(downloadPercent(3, 200), 2u);  // 1.5
    EXPECT_EQ(downloadPercent(5, 200), 2u);  // 2.5
    EXPECT_EQ(downloadPercent(7, 200), 4u);  // 3.5
    EXPECT_EQ(downloadPercent(1, 3), 33u);
    EXPECT_EQ(downloadPercent(2, 3), 67u);
    EXPECT_EQ(downloadPercent(1000, 1000), 100u);
    EXPECT_EQ(downloadPercent(1500, 1000), 150u) << "more bytes than announced go past 100";
    EXPECT_EQ(downloadPercent(0xFFFFFFFFull, 0xFFFFFFFFull), 100u);
}
