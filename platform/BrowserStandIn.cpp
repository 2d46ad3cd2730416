#include "platform/BrowserStandIn.h"

#include <optional>
#include <utility>

namespace quillbox::platform {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxRedirects = 10;

}  // namespace

struct BrowserStandIn::Impl {
    CookieJar* jar = nullptr;
    DocumentCompleteHandler handler = nullptr;
    void* context = nullptr;
    ProxySettings proxy;
    std::string userAgent = "Mozilla/5.0 (X11; Linux x86_64)";
    std::chrono::milliseconds limit = kDefaultNavigationLimit;

    std::optional<HttpTransfer> transfer;
    Clock::time_point deadline;

    long lastStatus = 0;
    bool lastSucceeded = false;
    std::string lastError;
};

BrowserStandIn::BrowserStandIn(CookieJar& jar) : m_impl(std::make_unique<Impl>()) {
    m_impl->jar = &jar;
}

BrowserStandIn::~BrowserStandIn() = default;

void BrowserStandIn::SetOnDocumentComplete(DocumentCompleteHandler handler, void* context) {
    m_impl->handler = handler;
    m_impl->context = context;
}

void BrowserStandIn::Navigate(const std::string& url) {
    HttpRequest request;
    request.url = url;
    request.proxy = m_impl->proxy;
    request.useSystemProxy = true;
    request.userAgent = m_impl->userAgent;
    request.stallTimeout = m_impl->limit;
    request.connectTimeout = m_impl->limit;
    request.maxRedirects = kMaxRedirects;
    request.acceptCompressed = true;
    request.cookies = m_impl->jar;
    m_impl->transfer.reset();
    // The page itself is not shown anywhere; only its cookies matter.
    m_impl->transfer.emplace(request, [](const char*, std::size_t) { return true; });
    m_impl->deadline = Clock::now() + m_impl->limit;
}

void BrowserStandIn::pump() {
    if (!m_impl->transfer) {
        return;
    }
    const bool done = m_impl->transfer->step(std::chrono::milliseconds(0));
    if (!done && Clock::now() < m_impl->deadline) {
        return;
    }
    if (done && m_impl->transfer->result().ok()) {
        m_impl->lastStatus = m_impl->transfer->result().value().status;
        m_impl->lastSucceeded = true;
        m_impl->lastError.clear();
    } else {
        m_impl->lastStatus = 0;
        m_impl->lastSucceeded = false;
        m_impl->lastError = done ? m_impl->transfer->result().error().message
                                 : std::string("the page did not load in time");
    }
    m_impl->transfer.reset();
    // Last, since the handler may start the next navigation.
    if (m_impl->handler != nullptr) {
        m_impl->handler(m_impl->context);
    }
}

bool BrowserStandIn::busy() const {
    return m_impl->transfer.has_value();
}

void BrowserStandIn::setProxy(const ProxySettings& proxy) {
    m_impl->proxy = proxy;
}

void BrowserStandIn::setUserAgent(const std::string& agent) {
    m_impl->userAgent = agent;
}

void BrowserStandIn::setNavigationLimit(std::chrono::milliseconds limit) {
    m_impl->limit = limit;
}

long BrowserStandIn::lastStatus() const {
    return m_impl->lastStatus;
}

bool BrowserStandIn::lastSucceeded() const {
    return m_impl->lastSucceeded;
}

const std::string& BrowserStandIn::lastError() const {
    return m_impl->lastError;
}

}  // namespace quillbox::platform
