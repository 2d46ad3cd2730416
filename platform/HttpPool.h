#pragma once
// Many GETs at once on one libcurl multi handle, on the caller's thread: the
// caller queues transfers and moves them all on with step(). At most
// maxTransfers run at once and at most maxPerHost to one host (scheme, name
// and port of the address); the others wait in the queue, in order, and a host
// that is busy never holds back the transfers to other hosts behind it. The
// last slot of a host is kept for urgent (or hurried) transfers.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Http.h"

namespace quillbox::platform {

class HttpPool {
  public:
    struct Limits {
        std::size_t maxTransfers = 16;
        std::size_t maxPerHost = 2;
        // Also hold libcurl to maxPerHost connections a host. Leave it off for
        // transfers through a proxy: libcurl counts those by the proxy.
        bool limitConnections = true;
    };
    using Id = std::uint64_t;

    explicit HttpPool(Limits limits);
    ~HttpPool();
    HttpPool(const HttpPool&) = delete;
    HttpPool& operator=(const HttpPool&) = delete;

    // Queues a GET and returns its id (never 0). With a sink the body goes to
    // the sink only. urgent: ahead of every queued transfer, and allowed the
    // host's last slot.
    Id add(const HttpRequest& request, BodySink sink = BodySink(), bool urgent = false);
    // Makes a transfer urgent and moves it to the front of the queue.
    void hurry(Id id);
    // Starts what the limits allow and moves every running transfer on,
    // waiting at most `wait` (capped at 20 ms) for the network. An exception a
    // sink threw ends its transfer (as SinkRefused) and is rethrown here.
    void step(std::chrono::milliseconds wait);

    bool contains(Id id) const;
    bool finished(Id id) const;
    // The outcome, as httpGet gives it, and the transfer is forgotten.
    // Requires finished(id).
    Result<HttpResponse> take(Id id);
    // Abandons a transfer, running or queued; unknown ids are ignored.
    void remove(Id id);
    // Abandons every transfer.
    void clear();

    std::size_t running() const;
    std::size_t queued() const;
    // Transfers held: running, queued and finished but not taken.
    std::size_t size() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillbox::platform
