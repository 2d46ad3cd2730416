#pragma once
// The feed-host half of the stand-in: a folder of static files served with
// ETag and Last-Modified, 304 on If-None-Match / If-Modified-Since, gzip when
// the client accepts it, and query switches ?charset=NAME (adds the charset
// to Content-Type) and ?type=MIME (replaces the Content-Type).

#include <ctime>
#include <string>
#include <string_view>

#include "tools/store-server/Rules.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace storeserver {

class StaticFiles {
  public:
    explicit StaticFiles(std::string folder) : m_folder(std::move(folder)) {}
    bool enabled() const { return !m_folder.empty(); }

    // Answers a GET of request.path from the folder. Returns false (nothing
    // set) when there is no such regular file or the path leaves the folder.
    bool serve(const httplib::Request& request, httplib::Response& response,
               const AnswerRules& rules) const;

  private:
    std::string m_folder;
};

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string httpDate(std::time_t time);
// Reads an HTTP date as written by httpDate; false when it is not one.
bool parseHttpDate(const std::string& text, std::time_t& time);
// Whether Accept-Encoding allows gzip.
bool acceptsGzip(const httplib::Request& request);
// The bytes compressed in the gzip format.
std::string gzipBytes(std::string_view bytes);

}  // namespace storeserver
