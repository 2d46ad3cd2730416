#pragma once
// How many client connections the store stand-in holds open at once, for tests
// and benchmarks that check a client's concurrency. A connection counts from
// its first request that is not a /_control/ request until it closes, so a
// test's own control requests never change the figures.
//
// cpp-httplib serves each accepted connection, for its whole keep-alive life,
// as one task of its task queue on one worker thread. The counting queue
// installed here notes when such a task ends; a pre-routing handler notes the
// first counted request in a thread-local flag of that worker.

#include <cstddef>
#include <mutex>
#include <string>

namespace httplib {
class Server;
}

namespace storeserver {

class ConnectionCount {
  public:
    // Replaces the server's task queue by a pool of `threads` workers that
    // count, and installs the pre-routing handler. The object must outlive
    // the server.
    void install(httplib::Server& server, std::size_t threads);

    // Called on the worker thread for every request; counts the worker's
    // connection when path is its first path outside /_control/.
    void requestArrived(const std::string& path);
    // Called on the worker thread when its connection has closed.
    void connectionClosed();

    // "open N\nmost M\n": counted connections open now, and the highest number
    // open at once since start or the last resetMost().
    std::string report() const;
    // Starts the highest number again from the connections open now.
    void resetMost();

  private:
    mutable std::mutex m_mutex;
    int m_open = 0;
    int m_most = 0;
};

}  // namespace storeserver
