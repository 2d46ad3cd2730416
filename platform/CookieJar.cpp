// The cookie jar: a libcurl share handle holding cookies for every transfer
// that is given it, and the process-wide jar.

#include <curl/curl.h>

#include <array>
#include <mutex>
#include <stdexcept>

#include "platform/CurlHandles.h"
#include "platform/Http.h"

namespace quillbox::platform {

namespace curl {

void ensureGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace curl

struct CookieJar::Impl {
    curl::Share share;
    // libcurl asks for a lock per kind of shared data; transfers of several
    // threads may use one jar.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<Impl*>(self)->locks.at(static_cast<std::size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<Impl*>(self)->locks.at(static_cast<std::size_t>(data)).unlock();
    }

    // An easy handle that sees the jar's cookies.
    curl::Easy handleOnJar() const {
        curl::Easy easy(curl_easy_init());
        if (!easy) {
            throw std::runtime_error("curl_easy_init failed");
        }
        curl_easy_setopt(easy.get(), CURLOPT_SHARE, share.get());
        curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
        return easy;
    }
};

CookieJar::CookieJar() : m_impl(std::make_unique<Impl>()) {
    curl::ensureGlobalInit();
    m_impl->share.reset(curl_share_init());
    if (!m_impl->share) {
        throw std::runtime_error("curl_share_init failed");
    }
    CURLSH* share = m_impl->share.get();
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &Impl::lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &Impl::unlock);
    curl_share_setopt(share, CURLSHOPT_USERDATA, m_impl.get());
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieJar::~CookieJar() = default;

void* CookieJar::shareHandle() const {
    return m_impl->share.get();
}

void CookieJar::clear() {
    curl::Easy easy = m_impl->handleOnJar();
    curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

std::vector<std::string> CookieJar::cookies() const {
    curl::Easy easy = m_impl->handleOnJar();
    curl_slist* raw = nullptr;
    std::vector<std::string> lines;
    if (curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &raw) == CURLE_OK) {
        curl::Slist list(raw);
        for (const curl_slist* item = list.get(); item != nullptr; item = item->next) {
            lines.emplace_back(item->data);
        }
    }
    return lines;
}

}  // namespace quillbox::platform

namespace quillbox::platform {

// The platform library is loaded once per process, so this one jar is seen by
// the program's browser stand-in and every library's download alike, as the
// visit that logs in requires.
CookieJar& sharedCookieJar() {
    static CookieJar jar;
    return jar;
}

}  // namespace quillbox::platform
