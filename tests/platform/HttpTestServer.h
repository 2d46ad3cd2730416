#pragma once
// A small HTTP server on 127.0.0.1 for the HTTP layer's tests, run on threads
// of the test process. Each connection carries one request; the test's handler
// writes the raw answer, so it can be slow, silent, short or malformed on
// purpose. Sleeps inside a handler end early when the server stops.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/HeaderLines.h"

namespace quillbox::test {

struct TestRequest {
    std::string target;  // path and query as sent
    std::string head;    // the whole request head

    // Value of a request header (case-insensitive name), or empty.
    std::string header(std::string_view name) const {
        const std::vector<std::string> values = headerValues(head, name);
        return values.empty() ? std::string() : values.front();
    }
};

class TestConnection {
  public:
    TestConnection(int socket, const std::atomic<bool>& stopping)
        : m_socket(socket), m_stopping(stopping) {}

    // Sends all bytes; false when the client has gone.
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }
    // Sleeps, ending early when the server stops; false when it stopped.
    bool sleepFor(std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            if (m_stopping) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return !m_stopping;
    }

  private:
    int m_socket;
    const std::atomic<bool>& m_stopping;
};

class HttpTestServer {
  public:
    using Handler = std::function<void(const TestRequest&, TestConnection&)>;

    explicit HttpTestServer(Handler handler) : m_handler(std::move(handler)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~HttpTestServer() {
        m_stopping = true;
        m_acceptor.join();
        for (std::thread& worker : m_workers) {
            worker.join();
        }
        ::close(m_listener);
    }

    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + target;
    }
    // Requests answered so far.
    int requests() const { return m_requests; }

  private:
    void acceptLoop() {
        while (!m_stopping) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0) {
                continue;
            }
            const int socket = ::accept(m_listener, nullptr, nullptr);
            if (socket >= 0) {
                m_workers.emplace_back([this, socket] { serve(socket); });
            }
        }
    }

    void serve(int socket) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && !m_stopping) {
            pollfd waiting{socket, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0) {
                continue;
            }
            const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            head.append(buffer, static_cast<std::size_t>(got));
        }
        if (head.find("\r\n\r\n") != std::string::npos) {
            TestRequest request;
            request.head = head;
            const std::size_t first = head.find(' ');
            const std::size_t second = head.find(' ', first + 1);
            request.target = head.substr(first + 1, second - first - 1);
            ++m_requests;
            TestConnection connection(socket, m_stopping);
            m_handler(request, connection);
        }
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
    }

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_requests{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_workers;  // touched by the acceptor thread only until stop
};

// A complete answer with Content-Length and "Connection: close".
inline std::string httpAnswer(int status, std::string_view body,
                              const std::string& extraHeaders = std::string()) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n" +
           extraHeaders + "\r\n" + std::string(body);
}

}  // namespace quillbox::test
