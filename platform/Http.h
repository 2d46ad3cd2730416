#pragma once
// HTTP over libcurl for the whole program: the account request, book
// downloads, the browser stand-in and feed fetching. Transfers run through
// libcurl's multi interface with a short poll, and the caller's pump is called
// at least every 50 ms while a transfer waits, so the window stays alive. A
// pump stops its transfer by throwing TransferCancelled.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Result.h"

namespace quillbox::platform {

struct ProxySettings {
    std::string host;  // empty: no proxy
    int port = 0;
    std::string user;  // empty: no credentials
    std::string password;
};

// Cookies shared by several transfers (the browser stand-in's visit and the
// download that relies on it). Copies share one jar.
class CookieJar {
  public:
    CookieJar();
    ~CookieJar();
    CookieJar(const CookieJar&) = delete;
    CookieJar& operator=(const CookieJar&) = delete;

    // The libcurl share handle (CURLSH*), for the implementation.
    void* shareHandle() const;
    void clear();
    // The cookies held, one Netscape cookie-file line each.
    std::vector<std::string> cookies() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The one jar of the process, shared by the browser stand-in and downloads.
// It lives in the platform library, which the program and every library link,
// so all of them hold the same jar.
CookieJar& sharedCookieJar();

struct HttpRequest {
    std::string url;
    ProxySettings proxy;  // used when proxy.host is not empty
    // With no proxy.host: true uses the system's proxy configuration (the
    // http_proxy/https_proxy/no_proxy environment), false goes direct.
    bool useSystemProxy = false;
    std::string userAgent;             // empty: no User-Agent header
    std::vector<std::string> headers;  // extra "Name: value" lines
    // A transfer fails with TimedOut when nothing arrives and nothing is sent
    // for this long; a long transfer that keeps moving is never cut.
    std::chrono::milliseconds stallTimeout{2000};
    std::chrono::milliseconds connectTimeout{10000};
    // 0: none; else the whole transfer fails with TimedOut after this long,
    // for answers that trickle on without end.
    std::chrono::milliseconds totalTimeout{0};
    // The transfer fails with TimedOut when it moves fewer than
    // lowSpeedBytesPerSecond for lowSpeedTime on end: a server that drips its
    // answer never holds the caller for long. 0 bytes: no floor.
    long lowSpeedBytesPerSecond = 1024;
    std::chrono::seconds lowSpeedTime{60};
    int maxRedirects = 0;            // 0: redirects are not followed
    bool acceptCompressed = false;   // ask for and decode gzip/deflate
    std::uint64_t maxBodyBytes = 0;  // 0: no cap; above it: TooLarge
    // true: an answer with status 400 or above fails with ErrorStatus before
    // any of its body reaches the sink.
    bool failOnErrorStatus = false;
    CookieJar* cookies = nullptr;  // nullptr: no cookies kept
};

enum class HttpFailure {
    CouldNotResolve = 1,
    CouldNotConnect,
    ProxyFailed,  // the proxy refused us or could not reach the server
    TimedOut,
    TooLarge,
    SinkRefused,  // the body sink asked to stop (for example a write error)
    Other,
    ErrorStatus,  // status 400 or above, with failOnErrorStatus
    Cancelled,    // the pump (or the sink) threw TransferCancelled
};

// Thrown by a pump or a body sink to stop the transfer it serves; httpGet and
// testProxyConnection catch it and fail with Cancelled.
class TransferCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "the transfer was cancelled"; }
};

struct HttpResponse {
    long status = 0;
    std::string body;  // empty when a body sink took the data
    std::vector<std::pair<std::string, std::string>> headers;  // of the last response
    std::string effectiveUrl;                                  // after redirects
    std::string contentType;

    // Value of the first header with this name (case-insensitive), or empty.
    std::string header(const std::string& name) const;
};

// Called while a transfer waits, at least every 50 ms (and not more often than
// every 10 ms while data flows). It may throw TransferCancelled.
using Pump = std::function<void()>;
// Takes each block of the body as it arrives; returning false stops the
// transfer with SinkRefused.
using BodySink = std::function<bool(const char* data, std::size_t size)>;

// A GET. Error codes are HttpFailure values; a server's error status (404, 500)
// is a response, not an error. With a sink, the body goes to the sink only.
// TransferCancelled from the pump or the sink ends it with Cancelled; any other
// exception from them is rethrown.
Result<HttpResponse> httpGet(const HttpRequest& request, const Pump& pump,
                             const BodySink& sink = BodySink());

// Replaces lowSpeedTime in every transfer started from now on (nullopt: each
// request's own again). For tests, which cannot wait a minute for a slow server.
void overrideLowSpeedTime(std::optional<std::chrono::seconds> time);

// One GET that moves on only when asked, for callers that run their own event
// loop (the browser stand-in). Not copyable; destroying it abandons the transfer.
class HttpTransfer {
  public:
    explicit HttpTransfer(const HttpRequest& request, BodySink sink = BodySink());
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Moves the transfer on, waiting at most `wait` for the network (0: not at
    // all). Returns true once it has finished. An exception thrown by the sink
    // ends the transfer and is rethrown here.
    bool step(std::chrono::milliseconds wait);
    bool finished() const;
    // The outcome, as httpGet gives it. Requires finished().
    const Result<HttpResponse>& result() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Opens a TCP connection to the proxy and closes it again: the reachability
// test before an account request through a proxy. The pump may cancel it as
// it does a GET.
Status testProxyConnection(const ProxySettings& proxy, std::chrono::milliseconds timeout,
                           const Pump& pump);

}  // namespace quillbox::platform
