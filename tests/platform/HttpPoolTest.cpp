// The pool of transfers: its limits per host and in all, the order in which
// it starts what waits, and a caller's pause that is not taken for silence.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/HttpPool.h"
#include "tests/platform/HttpTestServer.h"

namespace quillbox::test {
namespace {

using platform::HttpPool;
using platform::HttpRequest;
using std::chrono::milliseconds;

// Answers every request (those with "slow" in the path after a pause), and notes the order of
// arrival and how many requests of each kind (the first letter of the path) it held at once.
class CountingServer {
  public:
    explicit CountingServer(milliseconds pause)
        : m_pause(pause), m_server([this](const TestRequest& request, TestConnection& connection) {
              answer(request, connection);
          }) {}

    std::string url(const std::string& host, const std::string& path) const {
        return "http://" + host + ":" + std::to_string(m_server.port()) + path;
    }
    std::vector<std::string> arrivals() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrivals;
    }
    int most(char kind) const { return m_most[static_cast<unsigned char>(kind)]; }
    int mostInAll() const { return m_mostInAll; }

  private:
    void answer(const TestRequest& request, TestConnection& connection) {
        const auto kind =
            static_cast<unsigned char>(request.target.size() > 1 ? request.target[1] : '/');
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_arrivals.push_back(request.target);
            m_most[kind] = std::max(m_most[kind], ++m_now[kind]);
            m_mostInAll = std::max(m_mostInAll, ++m_inAll);
        }
        if (request.target.find("slow") != std::string::npos) {
            connection.sleepFor(m_pause);
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            --m_now[kind];
            --m_inAll;
        }
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
    }

    milliseconds m_pause;
    std::mutex m_mutex;
    std::vector<std::string> m_arrivals;
    int m_now[256] = {};
    int m_most[256] = {};
    int m_inAll = 0;
    int m_mostInAll = 0;
    HttpTestServer m_server;
};

HttpRequest get(const std::string& url) {
    HttpRequest request;
    request.url = url;
    return request;
}

void runAll(HttpPool& pool, const std::vector<HttpPool::Id>& ids) {
    const auto done = [&] {
        return std::all_of(ids.begin(), ids.end(),
                           [&](HttpPool::Id id) { return pool.finished(id); });
    };
    while (!done()) {
        pool.step(milliseconds(20));
    }
}

}  // namespace

TEST(HttpPoolTest, LimitsHoldPerHostAndInAllAndABusyHostHoldsNoOtherBack) {
    CountingServer server(milliseconds(150));
    HttpPool pool(HttpPool::Limits{4, 2, true});
    std::vector<HttpPool::Id> ids;
    for (int i = 0; i < 4; ++i) {
        ids.push_back(pool.add(get(server.url("127.0.0.1", "/a-slow" + std::to_string(i)))));
    }
    // The same server under another name is another host.
    for (int i = 0; i < 2; ++i) {
        ids.push_back(pool.add(get(server.url("localhost", "/b-slow" + std::to_string(i)))));
    }
    // Once the first "a" is at the server, which holds it for 150 ms:
    const auto arrived = [&server](const char* target) {
        const std::vector<std::string> seen = server.arrivals();
        return std::find(seen.begin(), seen.end(), target) != seen.end();
    };
    while (!arrived("/a-slow0")) {
        pool.step(milliseconds(5));
    }
    // A host's last slot is kept for the transfer the caller waits for.
    ids.push_back(pool.add(get(server.url("127.0.0.1", "/a-urgent")), {}, true));
    runAll(pool, ids);
    for (HttpPool::Id id : ids) {
        const Result<platform::HttpResponse> result = pool.take(id);
        ASSERT_TRUE(result.ok()) << result.error().message;
        EXPECT_EQ(result.value().body, "ok");
    }
    EXPECT_EQ(pool.size(), 0u);
    EXPECT_EQ(server.most('a'), 2);  // one queued "a" and the urgent one
    EXPECT_EQ(server.most('b'), 1);
    EXPECT_LE(server.mostInAll(), 3);
    const std::vector<std::string> arrivals = server.arrivals();
    ASSERT_EQ(arrivals.size(), 7u);
    const auto order = [&arrivals](const char* target) {
        return std::find(arrivals.begin(), arrivals.end(), target) - arrivals.begin();
    };
    // The urgent one came before the "a" queued ahead of it, and the "b"
    // behind the busy "a" did not wait for it.
    EXPECT_LT(order("/a-urgent"), order("/a-slow1"));
    EXPECT_LT(order("/b-slow0"), order("/a-slow1"));
}

TEST(HttpPoolTest, UrgentTransfersStartFirstAndTheCallersPauseIsNotSilence) {
    CountingServer server(milliseconds(1400));
    HttpPool pool(HttpPool::Limits{1, 1, true});
    HttpRequest request = get(server.url("127.0.0.1", "/x-slow"));
    request.stallTimeout = milliseconds(500);
    const HttpPool::Id x = pool.add(request);
    const HttpPool::Id y = pool.add(get(server.url("127.0.0.1", "/y")));
    const HttpPool::Id z = pool.add(get(server.url("127.0.0.1", "/z")), {}, true);
    pool.hurry(x);  // x ahead of z after all
    // x goes on the wire, then the caller is busy elsewhere for longer than
    // the stall time-out; the server answers soon after the caller is back.
    pool.step(milliseconds(20));
    std::this_thread::sleep_for(milliseconds(1200));
    runAll(pool, {x, y, z});
    for (HttpPool::Id id : {x, y, z}) {
        EXPECT_TRUE(pool.take(id).ok());
    }
    EXPECT_EQ(server.arrivals(), (std::vector<std::string>{"/x-slow", "/z", "/y"}));

    // Removing abandons a running transfer and forgets a queued one.
    const HttpPool::Id running = pool.add(get(server.url("127.0.0.1", "/r")));
    const HttpPool::Id waiting = pool.add(get(server.url("127.0.0.1", "/w")));
    pool.step(milliseconds(20));
    EXPECT_EQ(pool.running(), 1u);
    pool.remove(running);
    pool.remove(waiting);
    EXPECT_EQ(pool.size(), 0u);
    EXPECT_FALSE(pool.contains(running));
}

}  // namespace quillbox::test
