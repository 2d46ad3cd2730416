// GET over libcurl's multi interface. Each transfer has its own multi handle
// and is moved on in short polls, so the caller keeps its window alive while a
// server is silent; "stalled" means nothing was sent or received for the
// request's stall time-out, never a cap on a transfer that keeps moving.

#include "platform/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <optional>

#include "platform/CurlHandles.h"
#include "platform/EasyTransfer.h"

namespace quillbox::platform {

namespace {

using Clock = std::chrono::steady_clock;
using curl::EasyTransfer;
using curl::failure;
using std::chrono::milliseconds;

constexpr milliseconds kPollSlice{20};
constexpr milliseconds kPumpSpacing{10};

std::string proxyUrlHost(const std::string& host) {
    // A bare IPv6 address needs brackets inside a URL.
    if (host.find(':') != std::string::npos && host.front() != '[') {
        return "[" + host + "]";
    }
    return host;
}

}  // namespace

std::string HttpResponse::header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && curl::startsWithNoCase(key, name.c_str())) {
            return value;
        }
    }
    return std::string();
}

namespace {

// One transfer on its own multi handle.
struct Transfer {
    EasyTransfer easy;
    curl::Multi multi;
    bool attached = false;

    Transfer(const HttpRequest& request, BodySink sink, EasyTransfer::Kind kind)
        : easy(request, std::move(sink), kind) {}
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    ~Transfer() { detach(); }

    std::optional<Result<HttpResponse>>& outcome() { return easy.outcome; }

    void detach() {
        if (attached) {
            curl_multi_remove_handle(multi.get(), easy.easy.get());
            attached = false;
        }
    }

    // Returns an error when libcurl could not be set up.
    std::optional<Error> setUp() {
        if (std::optional<Error> error = easy.prepare()) {
            return error;
        }
        multi.reset(curl_multi_init());
        if (!multi) {
            return failure(HttpFailure::Other, "libcurl could not make a handle");
        }
        if (curl_multi_add_handle(multi.get(), easy.easy.get()) != CURLM_OK) {
            return failure(HttpFailure::Other, "libcurl could not start the transfer");
        }
        attached = true;
        return std::nullopt;
    }

    void collectFinished() {
        int waiting = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &waiting)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy.easy.get()) {
                const CURLcode code = message->data.result;
                detach();
                easy.finish(code);
                return;
            }
        }
    }

    void perform() {
        int running = 0;
        const CURLMcode code = curl_multi_perform(multi.get(), &running);
        if (code != CURLM_OK) {
            detach();
            outcome().emplace(failure(HttpFailure::Other, curl_multi_strerror(code)));
            return;
        }
        collectFinished();
    }

    bool step(milliseconds wait) {
        if (outcome()) {
            return true;
        }
        perform();
        if (!outcome() && wait.count() > 0) {
            curl_multi_poll(multi.get(), nullptr, 0,
                            static_cast<int>(std::min(wait, kPollSlice).count()), nullptr);
            perform();
        }
        if (!outcome() && easy.stalled(Clock::now())) {
            detach();
        }
        if (easy.sinkException) {
            std::exception_ptr pending = easy.sinkException;
            easy.sinkException = nullptr;
            std::rethrow_exception(pending);
        }
        return outcome().has_value();
    }
};

// Moves a transfer to its end, calling the pump between short polls. A
// TransferCancelled from the pump, or from the sink through step(), ends it
// as Cancelled.
void runToEnd(Transfer& transfer, const Pump& pump) {
    try {
        Clock::time_point lastPump = Clock::now();
        while (!transfer.step(kPollSlice)) {
            if (pump && Clock::now() - lastPump >= kPumpSpacing) {
                pump();
                lastPump = Clock::now();
            }
        }
    } catch (const TransferCancelled& cancelled) {
        transfer.detach();
        transfer.outcome().emplace(failure(HttpFailure::Cancelled, cancelled.what()));
    }
}

}  // namespace

struct HttpTransfer::Impl {
    Transfer transfer;
};

HttpTransfer::HttpTransfer(const HttpRequest& request, BodySink sink)
    : m_impl(new Impl{Transfer(request, std::move(sink), EasyTransfer::Kind::Get)}) {
    if (std::optional<Error> error = m_impl->transfer.setUp()) {
        m_impl->transfer.outcome().emplace(std::move(*error));
    }
}

HttpTransfer::~HttpTransfer() = default;

bool HttpTransfer::step(std::chrono::milliseconds wait) {
    return m_impl->transfer.step(wait);
}

bool HttpTransfer::finished() const {
    return m_impl->transfer.easy.outcome.has_value();
}

const Result<HttpResponse>& HttpTransfer::result() const {
    return *m_impl->transfer.easy.outcome;
}

Result<HttpResponse> httpGet(const HttpRequest& request, const Pump& pump, const BodySink& sink) {
    Transfer transfer(request, sink, EasyTransfer::Kind::Get);
    if (std::optional<Error> error = transfer.setUp()) {
        return *error;
    }
    runToEnd(transfer, pump);
    return std::move(*transfer.outcome());
}

Status testProxyConnection(const ProxySettings& proxy, std::chrono::milliseconds timeout,
                           const Pump& pump) {
    if (proxy.host.empty() || proxy.port <= 0 || proxy.port > 65535) {
        return failure(HttpFailure::ProxyFailed, "no proxy host and port");
    }
    HttpRequest request;
    request.url = "http://" + proxyUrlHost(proxy.host) + ":" + std::to_string(proxy.port) + "/";
    request.connectTimeout = timeout;
    Transfer transfer(request, BodySink(), EasyTransfer::Kind::ConnectOnly);
    if (std::optional<Error> error = transfer.setUp()) {
        return *error;
    }
    runToEnd(transfer, pump);
    if (!transfer.outcome()->ok()) {
        return transfer.outcome()->error();
    }
    return Done{};
}

}  // namespace quillbox::platform
