#pragma once
// Owners of libcurl's C handles, and the one-time global set-up. Private to
// the HTTP code of this folder.

#include <curl/curl.h>

#include <memory>

namespace quillbox::platform::curl {

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiCleanup {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ShareCleanup {
    void operator()(CURLSH* handle) const { curl_share_cleanup(handle); }
};
struct SlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using Easy = std::unique_ptr<CURL, EasyCleanup>;
using Multi = std::unique_ptr<CURLM, MultiCleanup>;
using Share = std::unique_ptr<CURLSH, ShareCleanup>;
using Slist = std::unique_ptr<curl_slist, SlistCleanup>;

// Runs curl_global_init once per process copy of this code; safe to call from
// any thread before the first handle is made.
void ensureGlobalInit();

}  // namespace quillbox::platform::curl
