#include "tools/store-server/StaticFiles.h"

#include <httplib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/store-server/Bodies.h"
#include "tools/store-server/SafePath.h"

namespace storeserver {

namespace {

std::string contentTypeFor(const std::string& path) {
    static const std::map<std::string, std::string> kTypes = {
        {"xml", "application/xml"},
        {"rss", "application/rss+xml"},
        {"atom", "application/atom+xml"},
        {"html", "text/html"},
        {"htm", "text/html"},
        {"txt", "text/plain"},
        {"fb2", "application/x-fictionbook+xml"},
        {"json", "application/json"}};
    const std::size_t dot = path.rfind('.');
    const auto type = kTypes.find(dot == std::string::npos ? "" : path.substr(dot + 1));
    return type == kTypes.end() ? "application/octet-stream" : type->second;
}

std::string_view withoutWeakPrefix(std::string_view tag) {
    if (tag.substr(0, 2) == "W/") {
        tag.remove_prefix(2);
    }
    return tag;
}

// Whether an If-None-Match list names the identity or the gzip tag.
bool tagMatches(const std::string& list, const std::string& tag, const std::string& gzipTag) {
    std::string_view rest = list;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        while (!item.empty() && item.back() == ' ') {
            item.remove_suffix(1);
        }
        item = withoutWeakPrefix(item);
        if (item == "*" || item == tag || item == gzipTag) {
            return true;
        }
    }
    return false;
}

// Reads up to three characters other than blanks, after any blanks; false
// when there are none.
bool readWord(const char*& at, char (&word)[4]) {
    while (std::isspace(static_cast<unsigned char>(*at)) != 0) {
        ++at;
    }
    std::size_t length = 0;
    while (length < 3 && *at != '\0' && std::isspace(static_cast<unsigned char>(*at)) == 0) {
        word[length++] = *at++;
    }
    word[length] = '\0';
    return length > 0;
}

// Reads one decimal int, optionally signed, after any blanks; false when there
// is none or it does not fit.
bool readNumber(const char*& at, int& value) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(at, &end, 10);
    if (end == at || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    value = static_cast<int>(number);
    at = end;
    return true;
}

// Reads the character expected next; false when another one is there.
bool readLiteral(const char*& at, char expected) {
    if (*at != expected) {
        return false;
    }
    ++at;
    return true;
}

}  // namespace

std::string httpDate(std::time_t time) {
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                  parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                  parts.tm_min, parts.tm_sec);
    return text;
}

bool parseHttpDate(const std::string& text, std::time_t& time) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char day[4] = {};
    char month[4] = {};
    std::tm parts{};
    // "DAY, DD MON YYYY HH:MM:SS"; blanks may precede each field and the zone
    // after the seconds is not read.
    const char* at = text.c_str();
    if (!readWord(at, day) || !readLiteral(at, ',') || !readNumber(at, parts.tm_mday) ||
        !readWord(at, month) || !readNumber(at, parts.tm_year) || !readNumber(at, parts.tm_hour) ||
        !readLiteral(at, ':') || !readNumber(at, parts.tm_min) || !readLiteral(at, ':') ||
        !readNumber(at, parts.tm_sec)) {
        return false;
    }
    parts.tm_mon = -1;
    for (int i = 0; i < 12; ++i) {
        if (std::strcmp(month, kMonths[i]) == 0) {
            parts.tm_mon = i;
        }
    }
    if (parts.tm_mon < 0) {
        return false;
    }
    parts.tm_year -= 1900;
    time = ::timegm(&parts);
    return time != static_cast<std::time_t>(-1);
}

bool acceptsGzip(const httplib::Request& request) {
    const std::string accepted = request.get_header_value("Accept-Encoding");
    std::string_view rest = accepted;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        const std::size_t semicolon = item.find(';');
        std::string_view name = item.substr(0, semicolon);
        while (!name.empty() && name.back() == ' ') {
            name.remove_suffix(1);
        }
        if (name == "gzip" || name == "*") {
            const std::string_view parameters =
                semicolon == std::string_view::npos ? std::string_view() : item.substr(semicolon);
            const bool refused = parameters.find("q=0") != std::string_view::npos &&
                                 parameters.find_first_of("123456789") == std::string_view::npos;
            return !refused;
        }
    }
    return false;
}

std::string gzipBytes(std::string_view bytes) {
    z_stream stream{};
    // 15 + 16: the largest window, with a gzip header and trailer.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::string();
}

bool StaticFiles::serve(const httplib::Request& request, httplib::Response& response,
                        const AnswerRules& rules) const {
    if (!enabled() || request.path.empty() || request.path.front() != '/' ||
        !safeRelativePath(std::string_view(request.path).substr(1))) {
        return false;
    }
    const std::string file = m_folder + "/" + request.path.substr(1);
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();

    char tagText[64];
    std::snprintf(tagText, sizeof(tagText), "\"%llx-%llx",
                  static_cast<unsigned long long>(status.st_size),
                  static_cast<unsigned long long>(status.st_mtim.tv_sec) * 1000000000ULL +
                      static_cast<unsigned long long>(status.st_mtim.tv_nsec));
    const std::string tag = std::string(tagText) + "\"";
    const std::string gzipTag = std::string(tagText) + "-gz\"";
    const bool gzip = acceptsGzip(request);

    response.set_header("ETag", gzip ? gzipTag : tag);
    response.set_header("Last-Modified", httpDate(status.st_mtim.tv_sec));
    response.set_header("Vary", "Accept-Encoding");

    bool notModified = false;
    if (request.has_header("If-None-Match")) {
        notModified = tagMatches(request.get_header_value("If-None-Match"), tag, gzipTag);
    } else if (request.has_header("If-Modified-Since")) {
        std::time_t since = 0;
        notModified = parseHttpDate(request.get_header_value("If-Modified-Since"), since) &&
                      status.st_mtim.tv_sec <= since;
    }
    if (notModified) {
        response.status = 304;
        return true;
    }

    std::string type =
        request.has_param("type") ? request.get_param_value("type") : contentTypeFor(file);
    if (request.has_param("charset")) {
        type += "; charset=" + request.get_param_value("charset");
    }
    std::string bytes = content.str();
    if (gzip) {
        bytes = gzipBytes(bytes);
        response.set_header("Content-Encoding", "gzip");
    }
    response.status = 200;
    sendBody(response, stringBody(std::move(bytes)), type, rules);
    return true;
}

}  // namespace storeserver
