#pragma once
// HTTP over libcurl for the whole program: the account request, book
// downloads, the browser stand-in and feed fetching. Transfers run through
// libcurl's multi interface with a short poll, and the caller's pump is called
// at least every 50 ms while a transfer waits, so the window stays alive.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Result.h"

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

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The one jar of the process, shared by the browser stand-in and downloads.
CookieJar& sharedCookieJar();

struct HttpRequest {
    std::string url;
    ProxySettings proxy;               // used when proxy.host is not empty
    std::string userAgent;             // empty: no User-Agent header
    std::vector<std::string> headers;  // extra "Name: value" lines
    // A transfer fails with TimedOut when nothing arrives and nothing is sent
    // for this long; a long transfer that keeps moving is never cut.
    std::chrono::milliseconds stallTimeout{2000};
    std::chrono::milliseconds connectTimeout{10000};
    int maxRedirects = 0;            // 0: redirects are not followed
    bool acceptCompressed = false;   // ask for and decode gzip/deflate
    std::uint64_t maxBodyBytes = 0;  // 0: no cap; above it: TooLarge
    CookieJar* cookies = nullptr;    // nullptr: no cookies kept
};

enum class HttpFailure {
    CouldNotResolve = 1,
    CouldNotConnect,
    ProxyFailed,  // the proxy refused us or could not reach the server
    TimedOut,
    TooLarge,
    SinkRefused,  // the body sink asked to stop (for example a write error)
    Other,
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

// Called while a transfer waits, at least every 50 ms.
using Pump = std::function<void()>;
// Takes each block of the body as it arrives; returning false stops the
// transfer with SinkRefused.
using BodySink = std::function<bool(const char* data, std::size_t size)>;

// A GET. Error codes are HttpFailure values; a server's error status (404, 500)
// is a response, not an error. With a sink, the body goes to the sink only.
Result<HttpResponse> httpGet(const HttpRequest& request, const Pump& pump,
                             const BodySink& sink = BodySink());

// Opens a TCP connection to the proxy and closes it again: the reachability
// test before an account request through a proxy.
Status testProxyConnection(const ProxySettings& proxy, std::chrono::milliseconds timeout,
                           const Pump& pump);

}  // namespace quillbox::platform
