// The store stand-in as the network code sees it: the account page behind the
// key, the session cookie guarding book files, the feed host's conditional and
// compressed answers, the answer rules, the count of open connections, other
// loopback addresses, and the path through tinyproxy.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "tests/support/CurlFetch.h"
#include "tests/support/ProxyFixture.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

const char kFeed[] = "feedextractor__rss-feed-standard.xml";

int today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local.tm_mday;
}

// The key the store expects, built here from its rule and OpenSSL's digest, apart
// from the Book library: lower-case hex MD5 of the two-digit day, login and password.
std::string accountKey(int day, const std::string& login, const std::string& password) {
    const std::string text = std::to_string(day / 10) + std::to_string(day % 10) + login + password;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr), 1);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0F];
    }
    return hex;
}

std::string accountPath(const std::string& login, const std::string& key) {
    return "bmanager/bookshelfuser_.php?login=" + login + "&password=" + key;
}

std::string readerPagePath() {
    return accountPath("reader", accountKey(today(), "reader", "secret7"));
}

// A client connection that has sent one GET and never reads the answer.
class HeldRequest {
  public:
    HeldRequest(const StoreServer& server, const std::string& path)
        : m_socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
        const std::string request =
            "GET /" + path + " HTTP/1.1\r\nHost: " + server.host() + "\r\n\r\n";
        m_sent =
            m_socket >= 0 && ::inet_pton(AF_INET, server.host().c_str(), &address.sin_addr) == 1 &&
            ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) ==
                0 &&
            ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size());
    }
    ~HeldRequest() {
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }
    HeldRequest(const HeldRequest&) = delete;
    HeldRequest& operator=(const HeldRequest&) = delete;
    bool sent() const { return m_sent; }

  private:
    int m_socket;
    bool m_sent = false;
};

// The server's connection counts, asked until they read `expected` (at most
// 10 s, as the server notes arrivals and closes on its own threads); returns
// the last answer.
std::string connectionsOnceThey(const StoreServer& server, const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string counts = fetch(server.url("_control/connections")).body;
    while (counts != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        counts = fetch(server.url("_control/connections")).body;
    }
    return counts;
}

TEST(StoreServerTest, AccountPageNeedsTheKeyOfTheLoginAndComesInWindows1251) {
    // printf '09readersecret7' | md5sum
    ASSERT_EQ(accountKey(9, "reader", "secret7"), "4ab2054642af79d5cdc1f953ea9282ac");
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();

    const Fetched page = fetch(server.url(readerPagePath()));
    ASSERT_EQ(page.code, CURLE_OK);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.header("Content-Type").find("windows-1251"), std::string::npos);
    EXPECT_NE(page.header("Set-Cookie").find("qbsession="), std::string::npos);
    const std::string shelfName = platform::fromUtf8("Фантастика", "WINDOWS-1251").value();
    EXPECT_NE(page.body.find("<!-- BookShelf --!>  Name=" + shelfName + ";"), std::string::npos);
    EXPECT_GE(page.body.size(), 128u);

    // A key of the password as stored (capital letter kept) is taken too, one
    // of another day or in capitals is not, nor a login the key was not made for.
    EXPECT_GE(fetch(server.url(accountPath("reader", accountKey(today(), "reader", "Secret7"))))
                  .body.size(),
              128u);
    for (const std::string& refused :
         {accountPath("reader", accountKey(today() % 28 + 3, "reader", "secret7")),
          accountPath("reader", "BD40B8146B926E496E354CBCDF49A500"),
          accountPath("READER", accountKey(today(), "reader", "secret7")),
          accountPath("nobody", accountKey(today(), "nobody", "secret7"))}) {
        const Fetched answer = fetch(server.url(refused));
        EXPECT_EQ(answer.code, CURLE_OK);
        EXPECT_LT(answer.body.size(), 128u) << refused;
        EXPECT_EQ(answer.header("Set-Cookie"), "") << refused;
    }
}

TEST(StoreServerTest, BookFilesNeedTheSessionCookieOfAnAccountThatListsThem) {
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();
    TempDir folder;
    FetchOptions withCookie;
    withCookie.cookieFile = folder.file("cookies");

    EXPECT_EQ(fetch(server.url("books/1001/solaris.fb2")).status, 403);
    ASSERT_EQ(fetch(server.url(readerPagePath()), withCookie).status, 200);
    const Fetched file = fetch(server.url("books/1001/solaris.fb2"), withCookie);
    EXPECT_EQ(file.status, 200);
    EXPECT_EQ(file.body, readFile(StoreServer::fixturesFolder() + "/files/books/1001/solaris.fb2"));
    // A book of the other account stays closed; a generated one comes in full.
    EXPECT_EQ(fetch(server.url("books/3001/orient.fb2"), withCookie).status, 403);
    EXPECT_EQ(fetch(server.url("books/9001/voina-i-mir.fb2"), withCookie).body.size(), 3000000u);
}

TEST(StoreServerTest, StaticFilesAnswerConditionalRequestsAndCompressWhenAsked) {
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();
    const std::string original = readFile(std::string(QUILLBOX_TEST_DATA_DIR) + "/feeds/" + kFeed);

    const Fetched first = fetch(server.url(kFeed));
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.body, original);
    const std::string tag = first.header("ETag");
    const std::string modified = first.header("Last-Modified");
    ASSERT_FALSE(tag.empty());
    ASSERT_FALSE(modified.empty());

    FetchOptions byTag;
    byTag.headers = {"If-None-Match: " + tag};
    const Fetched unchanged = fetch(server.url(kFeed), byTag);
    EXPECT_EQ(unchanged.status, 304);
    EXPECT_EQ(unchanged.body, "");
    FetchOptions byOtherTag;
    byOtherTag.headers = {"If-None-Match: \"other\""};
    EXPECT_EQ(fetch(server.url(kFeed), byOtherTag).status, 200);
    FetchOptions byDate;
    byDate.headers = {"If-Modified-Since: " + modified};
    EXPECT_EQ(fetch(server.url(kFeed), byDate).status, 304);
    byDate.headers = {"If-Modified-Since: Mon, 01 Jan 2001 00:00:00 GMT"};
    EXPECT_EQ(fetch(server.url(kFeed), byDate).status, 200);

    FetchOptions gzip;
    gzip.acceptGzip = true;
    const Fetched compressed = fetch(server.url(kFeed), gzip);
    EXPECT_EQ(compressed.header("Content-Encoding"), "gzip");
    EXPECT_LT(std::stoul(compressed.header("Content-Length")), original.size());
    EXPECT_EQ(compressed.body, original);

    EXPECT_EQ(
        fetch(server.url(std::string(kFeed) + "?charset=windows-1251")).header("Content-Type"),
        "application/xml; charset=windows-1251");
}

TEST(StoreServerTest, RedirectChainsStatusesAndSizedBodies) {
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();
    FetchOptions follow;
    follow.followRedirects = true;
    const Fetched redirected = fetch(server.url(std::string("_redirect/3/") + kFeed), follow);
    EXPECT_EQ(redirected.status, 200);
    EXPECT_EQ(redirected.redirects, 3);
    EXPECT_EQ(fetch(server.url("_status/503")).status, 503);
    EXPECT_EQ(fetch(server.url("_size/100000")).body.size(), 100000u);
    EXPECT_EQ(fetch(server.url("../etc/passwd")).status, 404);
}

TEST(StoreServerTest, AnswerRulesCutDropAndSizeTheAnswers) {
    StoreServer server({"--rule", "book:short=100", "--rule", "account:size=127"});
    ASSERT_TRUE(server.running()) << server.error();
    const Fetched exact = fetch(server.url(readerPagePath()));
    EXPECT_EQ(exact.body.size(), 127u);

    ASSERT_EQ(fetch(server.url("_control/rule?target=account&size=128")).status, 200);
    EXPECT_EQ(fetch(server.url(readerPagePath())).body.size(), 128u);

    ASSERT_EQ(fetch(server.url("_control/reset")).status, 200);
    ASSERT_EQ(fetch(server.url("_control/rule?target=book&short=100")).status, 200);
    TempDir folder;
    FetchOptions withCookie;
    withCookie.cookieFile = folder.file("cookies");
    ASSERT_EQ(fetch(server.url(readerPagePath()), withCookie).status, 200);
    const Fetched cut = fetch(server.url("books/1001/solaris.fb2"), withCookie);
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body.size(), 100u);

    ASSERT_EQ(fetch(server.url("_control/rule?target=static&drop=1")).status, 200);
    EXPECT_EQ(fetch(server.url(kFeed)).code, CURLE_GOT_NOTHING);

    ASSERT_EQ(fetch(server.url("_control/rule?target=account&delay=3000")).status, 200);
    FetchOptions impatient;
    impatient.timeoutMilliseconds = 300;
    EXPECT_EQ(fetch(server.url(readerPagePath()), impatient).code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_EQ(fetch(server.url("_control/rule?target=nowhere&delay=1")).status, 400);
}

TEST(StoreServerTest, GeneratedAndEndlessPagesAreStreamed) {
    StoreServer server({"--rule", "account:generate=3x200"});
    ASSERT_TRUE(server.running()) << server.error();
    const Fetched generated = fetch(server.url(readerPagePath()));
    ASSERT_EQ(generated.code, CURLE_OK);
    std::size_t books = 0;
    for (std::size_t at = generated.body.find("<!-- book --!>  "); at != std::string::npos;
         at = generated.body.find("<!-- book --!>  ", at + 1)) {
        ++books;
    }
    EXPECT_EQ(books, 600u);

    ASSERT_EQ(fetch(server.url("_control/reset")).status, 200);
    ASSERT_EQ(fetch(server.url("_control/rule?target=account&endless=1")).status, 200);
    FetchOptions impatient;
    impatient.timeoutMilliseconds = 700;
    const Fetched endless = fetch(server.url(readerPagePath()), impatient);
    EXPECT_EQ(endless.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_NE(endless.body.find("<!-- book --!>"), std::string::npos);
}

TEST(StoreServerTest, CountsConnectionsOpenAtOnceLeavingOutControlRequests) {
    // The delay holds every request in the server while the counts are asked.
    StoreServer server({"--rule", "static:delay=1000"});
    ASSERT_TRUE(server.running()) << server.error();
    EXPECT_EQ(fetch(server.url("_control/connections")).body, "open 0\nmost 0\n");
    {
        std::vector<std::unique_ptr<HeldRequest>> held;
        for (int i = 0; i < 4; ++i) {
            held.push_back(std::make_unique<HeldRequest>(server, "_size/10"));
            ASSERT_TRUE(held.back()->sent()) << i;
        }
        // Each control request below comes on a connection of its own; were
        // it counted, the figures would read 5.
        EXPECT_EQ(connectionsOnceThey(server, "open 4\nmost 4\n"), "open 4\nmost 4\n");
    }
    EXPECT_EQ(connectionsOnceThey(server, "open 0\nmost 4\n"), "open 0\nmost 4\n");

    ASSERT_EQ(fetch(server.url("_control/reset")).status, 200);
    EXPECT_EQ(fetch(server.url("_control/connections")).body, "open 0\nmost 0\n");
    EXPECT_EQ(fetch(server.url("_size/10")).status, 200);
    EXPECT_NE(fetch(server.url("_control/connections")).body.find("most 1\n"), std::string::npos);
}

TEST(StoreServerTest, ListensOnAnotherLoopbackAddressAndRefusesAnyOtherAddress) {
    StoreServer second({"--bind", "127.0.0.2"});
    ASSERT_TRUE(second.running()) << second.error();
    EXPECT_EQ(second.host(), "127.0.0.2");
    EXPECT_EQ(fetch(second.url("_size/10")).body.size(), 10u);
    // Bound to that address alone, not to every address of the machine.
    const std::string elsewhere = "http://127.0.0.3:" + std::to_string(second.port()) + "/_size/10";
    EXPECT_EQ(fetch(elsewhere).code, CURLE_COULDNT_CONNECT);

    for (const char* refused :
         {"10.0.0.1", "0.0.0.0", "localhost", "::1", "127.0.0.256", "127.1", "127.0.0.1.5", ""}) {
        EXPECT_EQ(storeServerExitStatus({"--bind", refused, "--port", "0"}, 5000), 2) << refused;
    }
}

TEST(StoreServerTest, ProxyWithBasicAuthRefusesClientsWithoutCredentials) {
    StoreServer server;
    ASSERT_TRUE(server.running()) << server.error();
    ProxyFixture proxy("quill", "pass-word");
    ASSERT_TRUE(proxy.running()) << proxy.error();
    FetchOptions viaProxy;
    viaProxy.proxy = "http://" + proxy.host() + ":" + std::to_string(proxy.port());

    EXPECT_EQ(fetch(server.url("_size/10"), viaProxy).status, 407);
    viaProxy.proxyUserPassword = "quill:wrong";
    EXPECT_NE(fetch(server.url("_size/10"), viaProxy).status, 200);
    viaProxy.proxyUserPassword = "quill:pass-word";
    const Fetched through = fetch(server.url(readerPagePath()), viaProxy);
    EXPECT_EQ(through.status, 200);
    EXPECT_GE(through.body.size(), 128u);
    // The store saw the request arrive through the proxy.
    EXPECT_NE(fetch(server.url("_control/requests")).body.find("Via: 1.1"), std::string::npos);

    ProxyFixture open;
    ASSERT_TRUE(open.running()) << open.error();
    FetchOptions viaOpen;
    viaOpen.proxy = "http://" + open.host() + ":" + std::to_string(open.port());
    EXPECT_EQ(fetch(server.url("_size/10"), viaOpen).status, 200);
}

}  // namespace
}  // namespace quillbox::test
