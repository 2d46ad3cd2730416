#include "Urls.h"

#include <libxml/uri.h>
#include <libxml/xmlmemory.h>

#include <cctype>
#include <cstdio>

namespace quillbox::rss {
namespace {

std::string lower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// Percent-escapes what a URI may not hold as it is: blanks, quotes, control
// and non-ASCII bytes.
std::string escapeForUri(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
            c == '^' || c == '`' || c == '{' || c == '|' || c == '}') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool hasScheme(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.')) {
            return false;
        }
    }
    return std::isalpha(static_cast<unsigned char>(url[0])) != 0;
}

}  // namespace

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string resolveUrl(std::string_view base, std::string_view reference) {
    const std::string ref = escapeForUri(trimmed(reference));
    const std::string from = escapeForUri(trimmed(base));
    if (from.empty() || (hasScheme(ref) && ref.find("://") != std::string::npos)) {
        return ref;
    }
    xmlChar* built = xmlBuildURI(reinterpret_cast<const xmlChar*>(ref.c_str()),
                                 reinterpret_cast<const xmlChar*>(from.c_str()));
    if (built == nullptr) {
        return ref;
    }
    std::string result(reinterpret_cast<const char*>(built));
    xmlFree(built);
    return result;
}

std::string escapedUrl(std::string_view url) {
    return escapeForUri(trimmed(url));
}

bool isHttpUrl(std::string_view url) {
    const std::string start = lower(url.substr(0, 8));
    return start.rfind("http://", 0) == 0 || start.rfind("https://", 0) == 0;
}

std::string fetchableUrl(std::string_view typed) {
    const std::string_view url = trimmed(typed);
    if (url.find("://") == std::string_view::npos) {
        return "http://" + std::string(url);
    }
    return std::string(url);
}

std::string normalisedUrl(std::string_view url) {
    std::string_view rest = trimmed(url);
    const std::size_t hash = rest.find('#');
    if (hash != std::string_view::npos) {
        rest = rest.substr(0, hash);
    }
    std::string scheme;
    const std::size_t marker = rest.find("://");
    if (marker != std::string_view::npos && hasScheme(rest.substr(0, marker + 1))) {
        scheme = lower(rest.substr(0, marker));
        rest = rest.substr(marker + 3);
    }
    std::size_t hostEnd = rest.find_first_of("/?");
    if (hostEnd == std::string_view::npos) {
        hostEnd = rest.size();
    }
    std::string host = lower(rest.substr(0, hostEnd));
    std::string path(rest.substr(hostEnd));
    if (host.size() > 3 && host.compare(host.size() - 3, 3, ":80") == 0 &&
        (scheme == "http" || scheme.empty())) {
        host.resize(host.size() - 3);
    } else if (host.size() > 4 && host.compare(host.size() - 4, 4, ":443") == 0 &&
               (scheme == "https" || scheme.empty())) {
        host.resize(host.size() - 4);
    }
    const std::size_t query = path.find('?');
    std::string tail;
    if (query != std::string::npos) {
        tail = path.substr(query);
        path.resize(query);
    }
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    std::string out;
    if (!scheme.empty() && scheme != "http" && scheme != "https") {
        out = scheme + "://";
    }
    return out + host + path + tail;
}

}  // namespace quillbox::rss
