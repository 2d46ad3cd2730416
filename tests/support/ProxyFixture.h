#pragma once
// Runs Debian's tinyproxy on a free 127.0.0.1 port for the life of the object:
// no upstream, clients from 127.0.0.1 only, optionally asking for Basic
// credentials. Its configuration and log live in a temporary folder.

#include <sys/types.h>

#include <memory>
#include <string>

namespace quillbox::test {

class TempDir;

class ProxyFixture {
  public:
    // Starts the proxy; with a non-empty user it requires these credentials
    // (407 without them). Neither may hold a blank: the proxy's configuration
    // file cannot quote them. Fails the current test with the reason when the
    // proxy does not accept connections within 5 seconds.
    explicit ProxyFixture(const std::string& user = {}, const std::string& password = {});
    // Stops the proxy (SIGTERM, then SIGKILL) and reaps it.
    ~ProxyFixture();
    ProxyFixture(const ProxyFixture&) = delete;
    ProxyFixture& operator=(const ProxyFixture&) = delete;

    bool running() const { return m_port > 0; }
    const std::string& error() const { return m_error; }
    std::string host() const { return "127.0.0.1"; }
    int port() const { return m_port; }
    // The proxy's log so far.
    std::string log() const;

  private:
    bool startOn(int port, const std::string& user, const std::string& password);

    std::unique_ptr<TempDir> m_folder;
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_error;
};

// A port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();
// Whether something accepts TCP connections on 127.0.0.1:port.
bool loopbackPortAccepts(int port);

}  // namespace quillbox::test
