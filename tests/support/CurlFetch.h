#pragma once
// One plain libcurl GET for tests that talk to the store stand-in or a proxy
// directly. Header-only: only the test executables that include it link
// libcurl.

#include <curl/curl.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/support/HeaderLines.h"

namespace quillbox::test {

struct FetchOptions {
    std::string cookieFile;            // cookies read from and written to this file; empty: none
    std::vector<std::string> headers;  // extra "Name: value" lines
    std::string proxy;                 // "http://127.0.0.1:PORT"; empty: no proxy
    std::string proxyUserPassword;     // "user:password"
    bool acceptGzip = false;           // ask for gzip (the body is decoded)
    bool followRedirects = false;
    long timeoutMilliseconds = 10000;
};

struct Fetched {
    CURLcode code = CURLE_OK;
    long status = 0;
    long redirects = 0;
    std::string body;
    std::string headers;  // of every response, as received

    // Value of the last header with this name (case-insensitive), or empty.
    std::string header(const std::string& name) const {
        const std::vector<std::string> values = headerValues(headers, name);
        return values.empty() ? std::string() : values.back();
    }
};

inline std::size_t appendToString(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

inline Fetched fetch(const std::string& url, const FetchOptions& options = {}) {
    Fetched fetched;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        fetched.code = CURLE_FAILED_INIT;
        return fetched;
    }
    curl_slist* headers = nullptr;
    for (const std::string& line : options.headers) {
        headers = curl_slist_append(headers, line.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendToString);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &appendToString);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &fetched.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeoutMilliseconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, options.followRedirects ? 1L : 0L);
    if (!options.cookieFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, options.cookieFile.c_str());
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, options.cookieFile.c_str());
    }
    // Only loopback is ever contacted: no proxy from the environment.
    curl_easy_setopt(curl, CURLOPT_PROXY, options.proxy.c_str());
    if (!options.proxyUserPassword.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, options.proxyUserPassword.c_str());
    }
    if (options.acceptGzip) {
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    }
    fetched.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &fetched.status);
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &fetched.redirects);
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    return fetched;
}

}  // namespace quillbox::test
