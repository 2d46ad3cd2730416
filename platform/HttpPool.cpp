// Many transfers on one multi handle. The pool starts queued transfers itself,
// within its limits, so libcurl never queues one: a transfer's time-outs start
// when it is on the wire, as they do for a single GET.

#include "platform/HttpPool.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <exception>
#include <string>
#include <unordered_map>

#include "platform/CurlHandles.h"
#include "platform/EasyTransfer.h"

namespace quillbox::platform {
namespace {

using Clock = std::chrono::steady_clock;
using curl::EasyTransfer;
using curl::failure;

constexpr std::chrono::milliseconds kPollSlice{20};
// A longer pause between steps is the caller's, not the server's: it does not
// count towards a transfer's stall time-out.
constexpr std::chrono::seconds kCallerPause{1};

struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string urlPart(CURLU* url, CURLUPart part, unsigned int flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::string();
    }
    std::string value(text);
    curl_free(text);
    return value;
}

// "scheme://name:port" with the name in lower case; the address itself when
// it cannot be taken apart (its transfer will fail on its own).
std::string hostKey(const std::string& address) {
    std::unique_ptr<CURLU, UrlCleanup> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
        return address;
    }
    std::string host = urlPart(url.get(), CURLUPART_HOST, 0);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return urlPart(url.get(), CURLUPART_SCHEME, 0) + "://" + host + ":" +
           urlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

}  // namespace

struct HttpPool::Impl {
    struct Entry {
        EasyTransfer easy;
        std::string host;
        bool running = false;
        bool urgent = false;

        Entry(const HttpRequest& request, BodySink sink)
            : easy(request, std::move(sink), EasyTransfer::Kind::Get), host(hostKey(request.url)) {}
    };

    Limits limits;
    curl::Multi multi;
    std::unordered_map<Id, std::unique_ptr<Entry>> entries;
    std::unordered_map<CURL*, Id> byHandle;
    std::unordered_map<std::string, std::size_t> perHost;
    std::deque<Id> queue;
    std::size_t runningCount = 0;
    std::size_t finishedCount = 0;  // transfers ended so far
    Id nextId = 1;
    Clock::time_point lastStep;
    std::exception_ptr pendingException;

    explicit Impl(Limits poolLimits) : limits(poolLimits) {
        limits.maxTransfers = std::max<std::size_t>(1, limits.maxTransfers);
        limits.maxPerHost = std::max<std::size_t>(1, limits.maxPerHost);
        curl::ensureGlobalInit();
        multi.reset(curl_multi_init());
        if (multi) {
            curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS,
                              static_cast<long>(limits.maxTransfers));
            if (limits.limitConnections) {
                curl_multi_setopt(multi.get(), CURLMOPT_MAX_HOST_CONNECTIONS,
                                  static_cast<long>(limits.maxPerHost));
            }
        }
    }

    ~Impl() { clear(); }

    void stopRunning(Entry& entry) {
        if (!entry.running) {
            return;
        }
        curl_multi_remove_handle(multi.get(), entry.easy.easy.get());
        byHandle.erase(entry.easy.easy.get());
        entry.running = false;
        --runningCount;
        if (--perHost[entry.host] == 0) {
            perHost.erase(entry.host);
        }
    }

    void clear() {
        for (auto& [id, entry] : entries) {
            stopRunning(*entry);
        }
        entries.clear();
        queue.clear();
    }

    bool start(Id id, Entry& entry) {
        CURL* handle = entry.easy.easy.get();
        if (!multi || curl_multi_add_handle(multi.get(), handle) != CURLM_OK) {
            entry.easy.outcome.emplace(
                failure(HttpFailure::Other, "libcurl could not start the transfer"));
            return false;
        }
        entry.running = true;
        entry.easy.lastMovement = Clock::now();
        byHandle[handle] = id;
        ++runningCount;
        ++perHost[entry.host];
        return true;
    }

    void startQueued() {
        for (auto at = queue.begin(); at != queue.end() && runningCount < limits.maxTransfers;) {
            Entry& entry = *entries.at(*at);
            // The last slot of a host is kept for urgent transfers, so that
            // the one the caller waits for never queues behind the others.
            const std::size_t slots =
                entry.urgent || limits.maxPerHost == 1 ? limits.maxPerHost : limits.maxPerHost - 1;
            const auto busy = perHost.find(entry.host);
            if (busy != perHost.end() && busy->second >= slots) {
                ++at;
                continue;
            }
            start(*at, entry);
            at = queue.erase(at);
        }
    }

    void collectFinished() {
        int waiting = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &waiting)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            const auto found = byHandle.find(message->easy_handle);
            if (found == byHandle.end()) {
                continue;
            }
            const CURLcode code = message->data.result;
            Entry& entry = *entries.at(found->second);
            stopRunning(entry);
            entry.easy.finish(code);
            ++finishedCount;
            if (entry.easy.sinkException && !pendingException) {
                pendingException = entry.easy.sinkException;
            }
            entry.easy.sinkException = nullptr;
        }
    }

    void perform() {
        int stillRunning = 0;
        const CURLMcode code = curl_multi_perform(multi.get(), &stillRunning);
        if (code != CURLM_OK) {
            for (auto& [id, entry] : entries) {
                if (entry->running) {
                    stopRunning(*entry);
                    entry->easy.outcome.emplace(
                        failure(HttpFailure::Other, curl_multi_strerror(code)));
                }
            }
            return;
        }
        collectFinished();
    }

    void watchForStalls() {
        const Clock::time_point now = Clock::now();
        for (auto& [id, entry] : entries) {
            if (entry->running && entry->easy.stalled(now)) {
                stopRunning(*entry);
            }
        }
    }

    void step(std::chrono::milliseconds wait) {
        const Clock::time_point now = Clock::now();
        if (lastStep != Clock::time_point() && now - lastStep > kCallerPause) {
            for (auto& [id, entry] : entries) {
                if (entry->running) {
                    entry->easy.excuse(now - lastStep);
                }
            }
        }
        startQueued();
        if (runningCount > 0 && multi) {
            const std::size_t finishedBefore = finishedCount;
            perform();
            // A transfer that just ended is news for the caller: no waiting.
            if (runningCount > 0 && wait.count() > 0 && finishedCount == finishedBefore) {
                curl_multi_poll(multi.get(), nullptr, 0,
                                static_cast<int>(std::min(wait, kPollSlice).count()), nullptr);
                perform();
            }
            watchForStalls();
            startQueued();
        }
        lastStep = Clock::now();
        if (pendingException) {
            std::exception_ptr pending = pendingException;
            pendingException = nullptr;
            std::rethrow_exception(pending);
        }
    }
};

HttpPool::HttpPool(Limits limits) : m_impl(std::make_unique<Impl>(limits)) {}

HttpPool::~HttpPool() = default;

HttpPool::Id HttpPool::add(const HttpRequest& request, BodySink sink, bool urgent) {
    const Id id = m_impl->nextId++;
    auto entry = std::make_unique<Impl::Entry>(request, std::move(sink));
    const bool ready = !entry->easy.prepare().has_value() && m_impl->multi;
    if (!ready && !entry->easy.outcome) {
        entry->easy.outcome.emplace(failure(HttpFailure::Other, "libcurl could not make a handle"));
    }
    entry->urgent = urgent;
    m_impl->entries.emplace(id, std::move(entry));
    if (ready) {
        if (urgent) {
            m_impl->queue.push_front(id);
        } else {
            m_impl->queue.push_back(id);
        }
    }
    return id;
}

void HttpPool::hurry(Id id) {
    if (const auto found = m_impl->entries.find(id); found != m_impl->entries.end()) {
        found->second->urgent = true;
    }
    auto& queue = m_impl->queue;
    const auto at = std::find(queue.begin(), queue.end(), id);
    if (at != queue.end()) {
        queue.erase(at);
        queue.push_front(id);
    }
}

void HttpPool::step(std::chrono::milliseconds wait) {
    m_impl->step(wait);
}

bool HttpPool::contains(Id id) const {
    return m_impl->entries.count(id) != 0;
}

bool HttpPool::finished(Id id) const {
    const auto found = m_impl->entries.find(id);
    return found != m_impl->entries.end() && found->second->easy.outcome.has_value();
}

Result<HttpResponse> HttpPool::take(Id id) {
    const auto found = m_impl->entries.find(id);
    Result<HttpResponse> outcome = std::move(*found->second->easy.outcome);
    m_impl->entries.erase(found);
    return outcome;
}

void HttpPool::remove(Id id) {
    const auto found = m_impl->entries.find(id);
    if (found == m_impl->entries.end()) {
        return;
    }
    m_impl->stopRunning(*found->second);
    auto& queue = m_impl->queue;
    queue.erase(std::remove(queue.begin(), queue.end(), id), queue.end());
    m_impl->entries.erase(found);
}

void HttpPool::clear() {
    m_impl->clear();
}

std::size_t HttpPool::running() const {
    return m_impl->runningCount;
}

std::size_t HttpPool::queued() const {
    return m_impl->queue.size();
}

std::size_t HttpPool::size() const {
    return m_impl->entries.size();
}

}  // namespace quillbox::platform
