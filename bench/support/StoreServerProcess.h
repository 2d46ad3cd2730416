#pragma once
// The store stand-in (tools/store-server) on a free loopback port for the life
// of the object, for benchmarks.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillbox::bench {

class StoreServerProcess {
  public:
    // Starts the server with these arguments (for example "--static", DIR) on
    // bindAddress (127.X.Y.Z). Throws std::runtime_error when it does not
    // start listening.
    explicit StoreServerProcess(const std::vector<std::string>& arguments,
                                const std::string& bindAddress = "127.0.0.1");
    // Stops the server and waits for it.
    ~StoreServerProcess();
    StoreServerProcess(const StoreServerProcess&) = delete;
    StoreServerProcess& operator=(const StoreServerProcess&) = delete;

    // "http://ADDRESS:PORT/".
    const std::string& baseUrl() const { return m_baseUrl; }

  private:
    pid_t m_pid = -1;
    std::string m_baseUrl;
};

}  // namespace quillbox::bench
