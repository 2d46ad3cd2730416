#include "platform/BrowserStandIn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/platform/HttpTestServer.h"
#include "tests/support/EnvGuard.h"

using namespace quillbox;
using namespace quillbox::platform;
using namespace std::chrono_literals;
using quillbox::test::httpAnswer;
using quillbox::test::HttpTestServer;
using quillbox::test::TestConnection;
using quillbox::test::TestRequest;

namespace {

void route(const TestRequest& request, TestConnection& out) {
    if (request.target == "/account") {
        out.send(httpAnswer(200, "<html>your shelves</html>",
                            "Set-Cookie: visit=yes; Path=/\r\nContent-Type: text/html\r\n"));
    } else if (request.target == "/file") {
        const bool visited = request.header("Cookie").find("visit=yes") != std::string::npos;
        out.send(httpAnswer(visited ? 200 : 403, visited ? "book" : "no"));
    } else if (request.target == "/silent") {
        out.sleepFor(3000ms);
    } else {
        out.send(httpAnswer(404, "unknown"));
    }
}

struct Completion {
    int calls = 0;
    static void handler(void* self) { ++static_cast<Completion*>(self)->calls; }
};

// Pumps the browser the way the program's event loop does, until the handler
// ran once more or ten seconds passed.
void pumpUntilComplete(BrowserStandIn& browser, const Completion& completion) {
    const int before = completion.calls;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (completion.calls == before && std::chrono::steady_clock::now() < end) {
        browser.pump();
        std::this_thread::sleep_for(2ms);
    }
}

class BrowserStandInTest : public ::testing::Test {
  protected:
    BrowserStandInTest() { m_browser.SetOnDocumentComplete(&Completion::handler, &m_completion); }

    // The browser follows the system's proxy settings; none may take a test's
    // requests off the machine.
    quillbox::test::EnvGuard m_noProxy[4] = {{"http_proxy", std::nullopt},
                                             {"HTTP_PROXY", std::nullopt},
                                             {"all_proxy", std::nullopt},
                                             {"ALL_PROXY", std::nullopt}};
    HttpTestServer m_server{&route};
    CookieJar m_jar;
    BrowserStandIn m_browser{m_jar};
    Completion m_completion;
};

}  // namespace

TEST_F(BrowserStandInTest, VisitCompletesThroughPumpAndItsCookieServesTheDownload) {
    m_browser.Navigate(m_server.url("/account"));
    EXPECT_TRUE(m_browser.busy());
    EXPECT_EQ(m_completion.calls, 0) << "Navigate only starts the visit";

    pumpUntilComplete(m_browser, m_completion);
    EXPECT_EQ(m_completion.calls, 1);
    EXPECT_FALSE(m_browser.busy());
    EXPECT_TRUE(m_browser.lastSucceeded());
    EXPECT_EQ(m_browser.lastStatus(), 200);

    m_browser.pump();
    EXPECT_EQ(m_completion.calls, 1) << "the handler runs once per navigation";

    HttpRequest download;
    download.url = m_server.url("/file");
    download.cookies = &m_jar;
    Result<HttpResponse> file = httpGet(download, Pump());
    ASSERT_TRUE(file);
    EXPECT_EQ(file.value().status, 200);
    EXPECT_EQ(file.value().body, "book");

    download.cookies = nullptr;
    EXPECT_EQ(httpGet(download, Pump()).value().status, 403);
}

TEST_F(BrowserStandInTest, UnreachablePageAndSilentPageCompleteAsFailed) {
    int closedPort = 0;
    {
        HttpTestServer gone(&route);
        closedPort = gone.port();
    }
    m_browser.Navigate("http://127.0.0.1:" + std::to_string(closedPort) + "/account");
    pumpUntilComplete(m_browser, m_completion);
    EXPECT_EQ(m_completion.calls, 1);
    EXPECT_FALSE(m_browser.lastSucceeded());
    EXPECT_FALSE(m_browser.lastError().empty());

    m_browser.setNavigationLimit(300ms);
    m_browser.Navigate(m_server.url("/silent"));
    pumpUntilComplete(m_browser, m_completion);
    EXPECT_EQ(m_completion.calls, 2) << "a page that never comes still completes";
    EXPECT_FALSE(m_browser.lastSucceeded());
    EXPECT_EQ(BrowserStandIn::kDefaultNavigationLimit, 30s);
}

TEST_F(BrowserStandInTest, NewNavigationReplacesOneUnderWayAndHandlerMayNavigateAgain) {
    m_browser.Navigate(m_server.url("/silent"));
    m_browser.Navigate(m_server.url("/account"));
    pumpUntilComplete(m_browser, m_completion);
    EXPECT_EQ(m_completion.calls, 1);
    EXPECT_EQ(m_browser.lastStatus(), 200);

    struct Chain {
        BrowserStandIn* browser;
        std::string next;
        int calls = 0;
        static void handler(void* self) {
            Chain& chain = *static_cast<Chain*>(self);
            if (++chain.calls == 1) {
                chain.browser->Navigate(chain.next);
            }
        }
    } chain{&m_browser, m_server.url("/missing")};
    m_browser.SetOnDocumentComplete(&Chain::handler, &chain);
    m_browser.Navigate(m_server.url("/account"));
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (chain.calls < 2 && std::chrono::steady_clock::now() < end) {
        m_browser.pump();
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(chain.calls, 2);
    EXPECT_EQ(m_browser.lastStatus(), 404);
}
