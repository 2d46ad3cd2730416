#include "platform/Http.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

#include "tests/platform/HttpTestServer.h"
#include "tests/support/ProxyFixture.h"

using namespace quillbox;
using namespace quillbox::platform;
using namespace std::chrono_literals;
using quillbox::test::httpAnswer;
using quillbox::test::HttpTestServer;
using quillbox::test::TestConnection;
using quillbox::test::TestRequest;

namespace {

// "compressed text, " 40 times, gzip-compressed.
const std::string kGzipBody(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d\x51\x28\x49"
    "\xad\x28\xd1\x51\x48\x1e\x15\x18\x15\x18\x7c\x02\x00\xc9\xe4\x92\x56\xa8\x02\x00\x00",
    44);

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// The answers the tests ask for, by path.
void route(const TestRequest& request, TestConnection& out) {
    const std::string& target = request.target;
    if (target == "/hello") {
        out.send(httpAnswer(200, "hello", "Content-Type: text/plain; charset=x\r\nX-One: 1\r\n"));
    } else if (target == "/echo") {
        out.send(httpAnswer(200, request.header("User-Agent") + "|" + request.header("X-Test") +
                                     "|" + request.header("Accept-Encoding")));
    } else if (target == "/missing") {
        out.send(httpAnswer(404, "not here"));
    } else if (target == "/silent") {
        out.sleepFor(3000ms);
        out.send(httpAnswer(200, "late"));
    } else if (target == "/silent-after-head") {
        out.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nabc");
        out.sleepFor(3000ms);
    } else if (target == "/slow") {
        // Twelve pieces 100 ms apart: longer than the stall time-out in
        // total, but never silent for as long.
        out.send("HTTP/1.1 200 OK\r\nContent-Length: 12000\r\nConnection: close\r\n\r\n");
        for (int i = 0; i < 12; ++i) {
            if (!out.sleepFor(100ms) || !out.send(std::string(1000, 'a' + i % 26))) {
                return;
            }
        }
    } else if (target == "/drip") {
        // 100 bytes a second: a minute for the whole body.
        out.send("HTTP/1.1 200 OK\r\nContent-Length: 6000\r\nConnection: close\r\n\r\n");
        for (int i = 0; i < 1200; ++i) {
            if (!out.sleepFor(50ms) || !out.send("drip.")) {
                return;
            }
        }
    } else if (target == "/big") {
        out.send(httpAnswer(200, std::string(100000, 'b')));
    } else if (target == "/big-chunked") {
        out.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        for (int i = 0; i < 10; ++i) {
            out.send("2710\r\n" + std::string(10000, 'c') + "\r\n");
        }
        out.send("0\r\n\r\n");
    } else if (target == "/exact") {
        out.send(httpAnswer(200, std::string(10000, 'e')));
    } else if (target == "/redirect") {
        out.send(httpAnswer(302, "moved", "Location: /hello\r\nX-Redirect: yes\r\n"));
    } else if (target == "/loop") {
        out.send(httpAnswer(302, "", "Location: /loop\r\n"));
    } else if (target == "/to-file") {
        out.send(httpAnswer(302, "", "Location: file:///etc/passwd\r\n"));
    } else if (target == "/gzip") {
        out.send(httpAnswer(200, kGzipBody, "Content-Encoding: gzip\r\n"));
    } else if (target == "/set-cookie") {
        out.send(httpAnswer(200, "welcome", "Set-Cookie: session=abc123; Path=/\r\n"));
    } else if (target == "/need-cookie") {
        const bool has = request.header("Cookie").find("session=abc123") != std::string::npos;
        out.send(httpAnswer(has ? 200 : 403, has ? "the file" : "forbidden"));
    } else {
        out.send(httpAnswer(404, "unknown"));
    }
}

class HttpGetTest : public ::testing::Test {
  protected:
    HttpRequest requestFor(const std::string& target) const {
        HttpRequest request;
        request.url = m_server.url(target);
        return request;
    }
    HttpTestServer m_server{&route};
};

int failureOf(const Result<HttpResponse>& result) {
    return result.ok() ? 0 : result.error().code;
}

constexpr int code(HttpFailure failure) {
    return static_cast<int>(failure);
}

// Counts pump calls and the longest time between two of them.
struct PumpWatch {
    int calls = 0;
    std::chrono::steady_clock::duration longestGap{};
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();

    Pump pump() {
        return [this] {
            const auto now = std::chrono::steady_clock::now();
            longestGap = std::max(longestGap, now - last);
            last = now;
            ++calls;
        };
    }
};

}  // namespace

TEST_F(HttpGetTest, AnswerCarriesStatusBodyHeadersAndContentType) {
    Result<HttpResponse> result = httpGet(requestFor("/hello"), Pump());
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().status, 200);
    EXPECT_EQ(result.value().body, "hello");
    EXPECT_EQ(result.value().contentType, "text/plain; charset=x");
    EXPECT_EQ(result.value().header("x-one"), "1");
    EXPECT_EQ(result.value().header("Content-Length"), "5");
    EXPECT_EQ(result.value().header("X-Absent"), "");
    EXPECT_EQ(result.value().effectiveUrl, m_server.url("/hello"));

    Result<HttpResponse> missing = httpGet(requestFor("/missing"), Pump());
    ASSERT_TRUE(missing) << "a server's error status is an answer, not a failure";
    EXPECT_EQ(missing.value().status, 404);
    EXPECT_EQ(missing.value().body, "not here");
}

TEST_F(HttpGetTest, ErrorStatusFailsOnlyWhenAskedAndNothingReachesTheSink) {
    HttpRequest request = requestFor("/missing");
    request.failOnErrorStatus = true;
    std::string received;
    Result<HttpResponse> result =
        httpGet(request, Pump(), [&received](const char* data, std::size_t size) {
            received.append(data, size);
            return true;
        });
    EXPECT_EQ(failureOf(result), code(HttpFailure::ErrorStatus));
    EXPECT_EQ(received, "");

    request.url = m_server.url("/hello");
    EXPECT_TRUE(httpGet(request, Pump()));
}

TEST_F(HttpGetTest, SendsUserAgentAndExtraHeadersOnlyWhenAsked) {
    HttpRequest request = requestFor("/echo");
    request.userAgent = "MSIE";
    request.headers = {"X-Test: forty two"};
    Result<HttpResponse> result = httpGet(request, Pump());
    ASSERT_TRUE(result);
    EXPECT_EQ(result.value().body, "MSIE|forty two|");

    Result<HttpResponse> plain = httpGet(requestFor("/echo"), Pump());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain.value().body, "||");
}

TEST_F(HttpGetTest, RefusedConnectionIsCouldNotConnect) {
    int closedPort = 0;
    {
        HttpTestServer gone(&route);
        closedPort = gone.port();
    }
    HttpRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(closedPort) + "/hello";
    Result<HttpResponse> result = httpGet(request, Pump());
    EXPECT_EQ(failureOf(result), code(HttpFailure::CouldNotConnect));
    EXPECT_FALSE(result.error().message.empty());
}

TEST_F(HttpGetTest, SilentServerTimesOutWhileThePumpKeepsRunning) {
    HttpRequest request = requestFor("/silent");
    request.stallTimeout = 1000ms;
    PumpWatch watch;
    Result<HttpResponse> result = httpGet(request, watch.pump());
    EXPECT_EQ(failureOf(result), code(HttpFailure::TimedOut));
    // A second of silence: the pump must have run many times, never with a
    // gap anywhere near the once-a-second of libcurl's easy interface.
    EXPECT_GE(watch.calls, 15);
    EXPECT_LT(watch.longestGap, 250ms) << "longest gap between pump calls";
}

TEST_F(HttpGetTest, SilenceAfterTheFirstBytesAlsoTimesOut) {
    HttpRequest request = requestFor("/silent-after-head");
    request.stallTimeout = 500ms;
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::TimedOut));
}

TEST_F(HttpGetTest, SlowTransferThatKeepsMovingIsNeverCut) {
    HttpRequest request = requestFor("/slow");
    request.stallTimeout = 500ms;  // the whole transfer takes 1.2 s
    PumpWatch watch;
    Result<HttpResponse> result = httpGet(request, watch.pump());
    ASSERT_TRUE(result) << result.error().message;
    EXPECT_EQ(result.value().body.size(), 12000u);
    EXPECT_EQ(result.value().body.substr(11000, 3), "lll");
    EXPECT_GT(watch.calls, 10);
}

TEST_F(HttpGetTest, TotalTimeoutEndsATransferThatKeepsTrickling) {
    HttpRequest request = requestFor("/slow");
    request.stallTimeout = 500ms;
    request.totalTimeout = 400ms;
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::TimedOut));
}

TEST_F(HttpGetTest, AnswerBelowTheSpeedFloorFailsThoughItNeverStalls) {
    HttpRequest request = requestFor("/drip");
    EXPECT_EQ(request.lowSpeedBytesPerSecond, 1024) << "the floor every transfer has";
    EXPECT_EQ(request.lowSpeedTime, 60s);
    request.lowSpeedTime = 2s;
    Result<HttpResponse> result = httpGet(request, Pump());
    EXPECT_EQ(failureOf(result), code(HttpFailure::TimedOut)) << "the whole minute was waited";
}

TEST_F(HttpGetTest, TransferCancelledFromThePumpOrTheSinkEndsTheTransfer) {
    int pumped = 0;
    Result<HttpResponse> fromPump = httpGet(requestFor("/silent"), [&pumped] {
        if (++pumped == 3) {
            throw TransferCancelled();
        }
    });
    EXPECT_EQ(failureOf(fromPump), code(HttpFailure::Cancelled));
    EXPECT_EQ(pumped, 3);

    Result<HttpResponse> fromSink =
        httpGet(requestFor("/big"), Pump(),
                [](const char*, std::size_t) -> bool { throw TransferCancelled(); });
    EXPECT_EQ(failureOf(fromSink), code(HttpFailure::Cancelled));
}

TEST_F(HttpGetTest, BodyCapStopsLargeAnswersWithOrWithoutLength) {
    HttpRequest request = requestFor("/big");
    request.maxBodyBytes = 10000;
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::TooLarge));

    request.url = m_server.url("/big-chunked");
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::TooLarge));

    request.url = m_server.url("/exact");
    Result<HttpResponse> exact = httpGet(request, Pump());
    ASSERT_TRUE(exact) << "an answer of exactly the cap is allowed";
    EXPECT_EQ(exact.value().body.size(), 10000u);
}

TEST_F(HttpGetTest, RedirectsAreFollowedOnlyWhenAskedAndOnlyToHttp) {
    Result<HttpResponse> unfollowed = httpGet(requestFor("/redirect"), Pump());
    ASSERT_TRUE(unfollowed);
    EXPECT_EQ(unfollowed.value().status, 302);
    EXPECT_EQ(unfollowed.value().header("Location"), "/hello");

    HttpRequest request = requestFor("/redirect");
    request.maxRedirects = 3;
    Result<HttpResponse> followed = httpGet(request, Pump());
    ASSERT_TRUE(followed);
    EXPECT_EQ(followed.value().status, 200);
    EXPECT_EQ(followed.value().body, "hello");
    EXPECT_EQ(followed.value().effectiveUrl, m_server.url("/hello"));
    EXPECT_EQ(followed.value().header("X-Redirect"), "") << "headers of the last answer only";
    EXPECT_EQ(followed.value().header("X-One"), "1");

    request.url = m_server.url("/loop");
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::Other));

    request.url = m_server.url("/to-file");
    Result<HttpResponse> toFile = httpGet(request, Pump());
    EXPECT_EQ(failureOf(toFile), code(HttpFailure::Other));
}

TEST_F(HttpGetTest, CompressedAnswerIsDecodedOnlyWhenAccepted) {
    HttpRequest request = requestFor("/gzip");
    request.acceptCompressed = true;
    Result<HttpResponse> decoded = httpGet(request, Pump());
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().body, repeated("compressed text, ", 40));

    Result<HttpResponse> raw = httpGet(requestFor("/gzip"), Pump());
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw.value().body, kGzipBody);

    request.url = m_server.url("/echo");
    Result<HttpResponse> echo = httpGet(request, Pump());
    ASSERT_TRUE(echo);
    EXPECT_NE(echo.value().body.find("gzip"), std::string::npos) << echo.value().body;
}

TEST_F(HttpGetTest, CookiesSetByOneTransferAreSentByTheNextOnTheSameJar) {
    CookieJar jar;
    HttpRequest request = requestFor("/need-cookie");
    request.cookies = &jar;
    EXPECT_EQ(httpGet(request, Pump()).value().status, 403);

    HttpRequest visit = requestFor("/set-cookie");
    visit.cookies = &jar;
    ASSERT_TRUE(httpGet(visit, Pump()));
    ASSERT_EQ(jar.cookies().size(), 1u);
    EXPECT_NE(jar.cookies()[0].find("session"), std::string::npos);
    EXPECT_EQ(httpGet(request, Pump()).value().status, 200);

    CookieJar otherJar;
    request.cookies = &otherJar;
    EXPECT_EQ(httpGet(request, Pump()).value().status, 403) << "jars are separate";
    request.cookies = nullptr;
    EXPECT_EQ(httpGet(request, Pump()).value().status, 403);

    jar.clear();
    EXPECT_TRUE(jar.cookies().empty());
    request.cookies = &jar;
    EXPECT_EQ(httpGet(request, Pump()).value().status, 403);

    EXPECT_EQ(&sharedCookieJar(), &sharedCookieJar());
}

TEST_F(HttpGetTest, SinkTakesTheBodyAndCanStopTheTransfer) {
    std::string received;
    int blocks = 0;
    Result<HttpResponse> taken =
        httpGet(requestFor("/big"), Pump(), [&](const char* data, std::size_t size) {
            received.append(data, size);
            ++blocks;
            return true;
        });
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken.value().body.empty());
    EXPECT_EQ(received, std::string(100000, 'b'));
    EXPECT_GE(blocks, 1);

    Result<HttpResponse> refused =
        httpGet(requestFor("/big"), Pump(), [](const char*, std::size_t) { return false; });
    EXPECT_EQ(failureOf(refused), code(HttpFailure::SinkRefused));

    EXPECT_THROW(
        httpGet(requestFor("/big"), Pump(),
                [](const char*, std::size_t) -> bool { throw std::runtime_error("disk gone"); }),
        std::runtime_error);
}

TEST_F(HttpGetTest, TransferMovesOnlyWhenStepped) {
    HttpTransfer transfer(requestFor("/hello"));
    EXPECT_FALSE(transfer.finished());
    int steps = 0;
    while (!transfer.step(5ms) && steps < 1000) {
        ++steps;
    }
    ASSERT_TRUE(transfer.finished());
    ASSERT_TRUE(transfer.result());
    EXPECT_EQ(transfer.result().value().body, "hello");
    EXPECT_TRUE(transfer.step(0ms)) << "a finished transfer stays finished";

    // Abandoning a transfer under way releases it.
    auto abandoned = std::make_unique<HttpTransfer>(requestFor("/silent"));
    abandoned->step(5ms);
    abandoned.reset();
}

TEST(ProxyConnectionTest, ReachableListenerPassesAndClosedPortFails) {
    HttpTestServer listener(&route);
    ProxySettings proxy{"127.0.0.1", listener.port(), "", ""};
    PumpWatch watch;
    Status reached = testProxyConnection(proxy, 2000ms, watch.pump());
    EXPECT_TRUE(reached) << reached.error().message;

    int closedPort = 0;
    {
        HttpTestServer gone(&route);
        closedPort = gone.port();
    }
    Status refused =
        testProxyConnection(ProxySettings{"127.0.0.1", closedPort, "", ""}, 2000ms, Pump());
    EXPECT_EQ(refused.ok() ? 0 : refused.error().code, code(HttpFailure::CouldNotConnect));

    Status noHost = testProxyConnection(ProxySettings{}, 2000ms, Pump());
    EXPECT_FALSE(noHost);
}

TEST(HttpProxyTest, BasicCredentialsOpenTheProxyAndWrongOnesAreAProxyFailure) {
    HttpTestServer server(&route);
    quillbox::test::ProxyFixture proxy("proxyuser", "proxypass");
    ASSERT_TRUE(proxy.running()) << proxy.error();

    HttpRequest request;
    request.url = server.url("/echo");
    request.userAgent = "MSIE";
    request.proxy = ProxySettings{proxy.host(), proxy.port(), "proxyuser", "proxypass"};
    Result<HttpResponse> through = httpGet(request, Pump());
    ASSERT_TRUE(through) << through.error().message;
    EXPECT_EQ(through.value().status, 200);
    EXPECT_EQ(through.value().body.substr(0, 5), "MSIE|");
    EXPECT_EQ(server.requests(), 1);

    // tinyproxy answers wrong credentials with its own 401 (not 407), which
    // a client cannot tell from a server's; callers that want no error pages
    // ask for failOnErrorStatus.
    request.proxy.password = "wrong";
    Result<HttpResponse> wrong = httpGet(request, Pump());
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong.value().status, 401);
    request.failOnErrorStatus = true;
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::ErrorStatus));
    request.failOnErrorStatus = false;
    request.proxy.user.clear();
    request.proxy.password.clear();
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::ProxyFailed));
    EXPECT_EQ(server.requests(), 1) << "a refused request never reaches the server";

    EXPECT_TRUE(testProxyConnection(request.proxy, 2000ms, Pump()));
}

TEST(HttpProxyTest, UnreachableProxyIsAProxyFailure) {
    HttpTestServer server(&route);
    HttpRequest request;
    request.url = server.url("/hello");
    request.proxy = ProxySettings{"127.0.0.1", quillbox::test::freeLoopbackPort(), "", ""};
    EXPECT_EQ(failureOf(httpGet(request, Pump())), code(HttpFailure::ProxyFailed));
    EXPECT_EQ(server.requests(), 0);
}
