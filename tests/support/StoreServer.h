#pragma once
// Runs tools/store-server on a free loopback port for the life of the object
// (127.0.0.1 unless the arguments hold "--bind ADDRESS"). By default it serves
// the demo fixtures (tests/data/store) and, as its static folder, the shared
// feed samples. Command-line and URL forms of the server:
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
    // The address it listens on, "127.0.0.1" unless given with --bind.
    const std::string& host() const { return m_host; }
    // "http://HOST:PORT/".
    std::string baseUrl() const;
    // baseUrl() + path (path without a leading '/').
    std::string url(const std::string& path) const { return baseUrl() + path; }

    // The demo fixture folder (tests/data/store).
    static std::string fixturesFolder();

  private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_host;
    std::string m_error;
};

// Runs store-server with exactly these arguments, its output discarded, and
// returns its exit status; -1 when it could not be started or was still
// running after waitMilliseconds (it is then stopped).
int storeServerExitStatus(const std::vector<std::string>& arguments, int waitMilliseconds);

// Stops and reaps a child: SIGTERM, then SIGKILL when it has not ended after
// the grace period. Shared by the fixtures that run helper programs.
void stopChild(pid_t pid, int graceMilliseconds);

}  // namespace quillbox::test
