// One easy handle's transfer: options from the request, header and body
// callbacks, the stall watch and the failure mapping.

#include "platform/EasyTransfer.h"

#include <algorithm>
#include <atomic>
#include <cctype>

namespace quillbox::platform {

// Seconds of overrideLowSpeedTime; negative: none.
std::atomic<long> g_lowSpeedTimeOverride{-1};

void overrideLowSpeedTime(std::optional<std::chrono::seconds> time) {
    g_lowSpeedTimeOverride = time ? static_cast<long>(time->count()) : -1L;
}

namespace curl {
namespace {

using std::chrono::milliseconds;

// Larger than libcurl's default 16 KiB: fewer callbacks on fast links.
constexpr long kReceiveBufferBytes = 64L * 1024;

std::string trimmed(std::string text) {
    auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    std::size_t first = 0;
    while (first < text.size() && blank(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    return text.substr(first);
}

}  // namespace

Error failure(HttpFailure kind, std::string message) {
    return Error{static_cast<int>(kind), std::move(message)};
}

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t length = std::char_traits<char>::length(prefix);
    if (text.size() < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

EasyTransfer::EasyTransfer(const HttpRequest& req, BodySink bodySink, Kind transferKind)
    : request(req), sink(std::move(bodySink)), kind(transferKind) {}

std::size_t EasyTransfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<EasyTransfer*>(self)->takeBody(data, size * count);
}

std::size_t EasyTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<EasyTransfer*>(self)->takeHeader(data, size * count);
}

std::size_t EasyTransfer::takeBody(const char* data, std::size_t size) {
    if (request.maxBodyBytes != 0 && bodyBytes + size > request.maxBodyBytes) {
        tooLarge = true;
        return CURL_WRITEFUNC_ERROR;
    }
    bodyBytes += size;
    if (!sink) {
        response.body.append(data, size);
        return size;
    }
    try {
        if (!sink(data, size)) {
            sinkRefused = true;
            return CURL_WRITEFUNC_ERROR;
        }
    } catch (...) {
        // No exception may cross libcurl's C frames; the owner rethrows it.
        sinkException = std::current_exception();
        sinkRefused = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return size;
}

std::size_t EasyTransfer::takeHeader(const char* data, std::size_t size) {
    headerBytes += size;
    std::string line(data, size);
    if (startsWithNoCase(line, "HTTP/")) {
        // A new response (after a redirect or a proxy's CONNECT answer):
        // only the headers of the last one are kept.
        response.headers.clear();
        return size;
    }
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && colon > 0) {
        response.headers.emplace_back(trimmed(line.substr(0, colon)),
                                      trimmed(line.substr(colon + 1)));
    }
    return size;
}

std::optional<Error> EasyTransfer::prepare() {
    ensureGlobalInit();
    easy.reset(curl_easy_init());
    if (!easy) {
        return failure(HttpFailure::Other, "libcurl could not make a handle");
    }
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_PRIVATE, this);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(
        handle, CURLOPT_CONNECTTIMEOUT_MS,
        static_cast<long>(std::max<milliseconds::rep>(1, request.connectTimeout.count())));
    if (kind == Kind::ConnectOnly) {
        curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXY, "");
        curl_easy_setopt(handle, CURLOPT_CONNECT_ONLY, 1L);
    } else {
        setUpGet(handle);
    }
    lastMovement = Clock::now();
    return std::nullopt;
}

void EasyTransfer::setUpGet(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &EasyTransfer::onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &EasyTransfer::onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    if (request.maxRedirects > 0) {
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(request.maxRedirects));
    }
    if (request.totalTimeout.count() > 0) {
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                         static_cast<long>(request.totalTimeout.count()));
    }
    if (request.lowSpeedBytesPerSecond > 0) {
        const long overridden = g_lowSpeedTimeOverride.load();
        const long seconds =
            overridden >= 0 ? overridden : static_cast<long>(request.lowSpeedTime.count());
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, request.lowSpeedBytesPerSecond);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, std::max(1L, seconds));
    }
    if (request.failOnErrorStatus) {
        curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    }
    if (request.acceptCompressed) {
        curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
    }
    if (request.maxBodyBytes != 0) {
        curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(request.maxBodyBytes));
    }
    if (!request.userAgent.empty()) {
        curl_easy_setopt(handle, CURLOPT_USERAGENT, request.userAgent.c_str());
    }
    for (const std::string& line : request.headers) {
        curl_slist* longer = curl_slist_append(headerLines.get(), line.c_str());
        if (longer != nullptr) {
            (void)headerLines.release();
            headerLines.reset(longer);
        }
    }
    if (headerLines) {
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headerLines.get());
    }
    if (proxied()) {
        curl_easy_setopt(handle, CURLOPT_PROXY, request.proxy.host.c_str());
        curl_easy_setopt(handle, CURLOPT_PROXYPORT, static_cast<long>(request.proxy.port));
        curl_easy_setopt(handle, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        if (!request.proxy.user.empty()) {
            curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, request.proxy.user.c_str());
            curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, request.proxy.password.c_str());
            curl_easy_setopt(handle, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        }
    } else if (!request.useSystemProxy) {
        // An empty proxy switches off the proxy variables of the environment.
        curl_easy_setopt(handle, CURLOPT_PROXY, "");
    }
    if (request.cookies != nullptr) {
        curl_easy_setopt(handle, CURLOPT_SHARE, request.cookies->shareHandle());
        curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
    }
}

std::string EasyTransfer::curlMessage(CURLcode code) const {
    std::string text = curl_easy_strerror(code);
    if (errorText[0] != 0) {
        text += ": ";
        text += errorText;
    }
    return text;
}

Error EasyTransfer::mapFailure(CURLcode code) const {
    const std::string message = curlMessage(code);
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return failure(HttpFailure::CouldNotResolve, message);
        case CURLE_COULDNT_RESOLVE_PROXY:
            return failure(HttpFailure::ProxyFailed, message);
        case CURLE_OPERATION_TIMEDOUT:
            return failure(HttpFailure::TimedOut, message);
        case CURLE_FILESIZE_EXCEEDED:
            return failure(HttpFailure::TooLarge, message);
        case CURLE_HTTP_RETURNED_ERROR:
            return failure(HttpFailure::ErrorStatus, message);
        case CURLE_WRITE_ERROR:
            if (tooLarge) {
                return failure(HttpFailure::TooLarge, "the answer is larger than allowed");
            }
            return failure(sinkRefused ? HttpFailure::SinkRefused : HttpFailure::Other, message);
        case CURLE_COULDNT_CONNECT:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PROXY:
            // Through a proxy these mean the proxy refused us (a failed
            // CONNECT ends in a receive error) or could not be reached.
            if (proxied()) {
                return failure(HttpFailure::ProxyFailed, message);
            }
            if (code == CURLE_COULDNT_CONNECT) {
                return failure(HttpFailure::CouldNotConnect, message);
            }
            return failure(HttpFailure::Other, message);
        default:
            return failure(HttpFailure::Other, message);
    }
}

void EasyTransfer::finish(CURLcode code) {
    CURL* handle = easy.get();
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    response.status = status;
    const char* url = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url) {
        response.effectiveUrl = url;
    }
    const char* type = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
        response.contentType = type;
    }
    if (proxied() && status == 407) {
        outcome.emplace(failure(HttpFailure::ProxyFailed, "the proxy refused our credentials"));
    } else if (code != CURLE_OK) {
        outcome.emplace(mapFailure(code));
    } else {
        outcome.emplace(std::move(response));
    }
}

bool EasyTransfer::stalled(Clock::time_point now) {
    if (kind != Kind::Get) {
        return false;
    }
    if (!connected) {
        curl_off_t connectTime = 0;
        curl_easy_getinfo(easy.get(), CURLINFO_CONNECT_TIME_T, &connectTime);
        if (connectTime <= 0) {
            return false;
        }
        connected = true;
        lastMovement = now;
    }
    curl_off_t sent = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_SIZE_UPLOAD_T, &sent);
    const std::uint64_t moved = headerBytes + bodyBytes + static_cast<std::uint64_t>(sent);
    if (moved != lastMoved) {
        lastMoved = moved;
        lastMovement = now;
        return false;
    }
    if (now - lastMovement < request.stallTimeout) {
        return false;
    }
    outcome.emplace(failure(
        HttpFailure::TimedOut,
        "no answer or no progress for " + std::to_string(request.stallTimeout.count()) + " ms"));
    return true;
}

}  // namespace curl
}  // namespace quillbox::platform
