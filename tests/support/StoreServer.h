#pragma once
// Runs tools/store-server on a free 127.0.0.1 port for the life of the object.
// By default it serves the demo fixtures (tests/data/store) and, as its static
// folder, the shared feed samples. Command-line and URL forms of the server:
// tools/store-server/main.cpp.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillbox::test {

class StoreServer {
  public:
    // Starts the server with the given extra arguments ("--fixtures DIR" or
    // "--static DIR" among them replace the defaults). Fails the current test
    // with the reason when it is not listening within 5 seconds.
    explicit StoreServer(std::vector<std::string> arguments = {});
    // Stops the server (SIGTERM, then SIGKILL after 5 s) and reaps it.
    ~StoreServer();
    StoreServer(const StoreServer&) = delete;
    StoreServer& operator=(const StoreServer&) = delete;

    bool running() const { return m_port > 0; }
    const std::string& error() const { return m_error; }
    int port() const { return m_port; }
    // "http://127.0.0.1:PORT/".
    std::string baseUrl() const;
    // baseUrl() + path (path without a leading '/').
    std::string url(const std::string& path) const { return baseUrl() + path; }

    // The demo fixture folder (tests/data/store).
    static std::string fixturesFolder();

  private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_error;
};

// Stops and reaps a child: SIGTERM, then SIGKILL when it has not ended after
// the grace period. Shared by the fixtures that run helper programs.
void stopChild(pid_t pid, int graceMilliseconds);

}  // namespace quillbox::test
