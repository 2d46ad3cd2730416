#pragma once
// One GET (or a bare connect) on a libcurl easy handle: its options, the
// callbacks that collect headers and body, the stall watch and the mapping of
// libcurl's codes to HttpFailure. The multi handle that moves it on belongs to
// the caller (a single transfer, or a pool of them). Private to this folder.

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <optional>

#include "platform/CurlHandles.h"
#include "platform/Http.h"

namespace quillbox::platform::curl {

Error failure(HttpFailure kind, std::string message);
// Whether text starts with prefix, ASCII letters compared without case.
bool startsWithNoCase(const std::string& text, const char* prefix);

struct EasyTransfer {
    using Clock = std::chrono::steady_clock;
    enum class Kind { Get, ConnectOnly };

    HttpRequest request;
    BodySink sink;
    Kind kind = Kind::Get;

    Easy easy;
    Slist headerLines;
    char errorText[CURL_ERROR_SIZE] = {};

    HttpResponse response;
    std::uint64_t bodyBytes = 0;
    std::uint64_t headerBytes = 0;
    bool tooLarge = false;
    bool sinkRefused = false;
    std::exception_ptr sinkException;

    // Stall watch: the clock starts once the connection stands (connecting has
    // its own time-out) and restarts whenever a byte moves.
    bool connected = false;
    std::uint64_t lastMoved = 0;
    Clock::time_point lastMovement;

    std::optional<Result<HttpResponse>> outcome;

    EasyTransfer(const HttpRequest& req, BodySink bodySink, Kind transferKind);
    EasyTransfer(const EasyTransfer&) = delete;
    EasyTransfer& operator=(const EasyTransfer&) = delete;

    // Makes the easy handle and sets its options; an error when libcurl could
    // not. The handle's CURLOPT_PRIVATE is this object.
    std::optional<Error> prepare();
    // Takes the outcome of a finished transfer (already out of its multi).
    void finish(CURLcode code);
    // True, with the outcome set to TimedOut, when nothing moved for the
    // request's stall time-out since the connection stood.
    bool stalled(Clock::time_point now);
    // Moves the stall clock on by a time in which nobody moved the transfer,
    // so that the caller's own pause is never taken for a silent server.
    void excuse(Clock::duration paused) { lastMovement += paused; }
    bool proxied() const { return !request.proxy.host.empty(); }

  private:
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t takeBody(const char* data, std::size_t size);
    std::size_t takeHeader(const char* data, std::size_t size);
    void setUpGet(CURL* handle);
    std::string curlMessage(CURLcode code) const;
    Error mapFailure(CURLcode code) const;
};

}  // namespace quillbox::platform::curl
