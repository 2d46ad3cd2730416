#include "tools/store-server/ConnectionCount.h"

#include <httplib.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace storeserver {

namespace {

// Whether the connection this worker serves now has been counted.
thread_local bool t_counted = false;

const char kControlPrefix[] = "/_control/";

// A thread pool whose every task is one connection: when the task returns,
// the connection is closed.
class CountingQueue : public httplib::TaskQueue {
  public:
    CountingQueue(std::size_t threads, ConnectionCount& count) : m_pool(threads), m_count(count) {}

    void enqueue(std::function<void()> task) override {
        m_pool.enqueue([this, task = std::move(task)] {
            t_counted = false;
            task();
            m_count.connectionClosed();
        });
    }
    void shutdown() override { m_pool.shutdown(); }
    void on_idle() override { m_pool.on_idle(); }

  private:
    httplib::ThreadPool m_pool;
    ConnectionCount& m_count;
};

}  // namespace

void ConnectionCount::install(httplib::Server& server, std::size_t threads) {
    server.new_task_queue = [this, threads] { return new CountingQueue(threads, *this); };
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        requestArrived(request.path);
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

void ConnectionCount::requestArrived(const std::string& path) {
    if (t_counted || path.rfind(kControlPrefix, 0) == 0) {
        return;
    }
    t_counted = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_open;
    m_most = std::max(m_most, m_open);
}

void ConnectionCount::connectionClosed() {
    if (!t_counted) {
        return;
    }
    t_counted = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_open;
}

std::string ConnectionCount::report() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return "open " + std::to_string(m_open) + "\nmost " + std::to_string(m_most) + "\n";
}

void ConnectionCount::resetMost() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_most = m_open;
}

}  // namespace storeserver
