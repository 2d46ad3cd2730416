#include "rss/Urls.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "rss/fb2/HtmlToFb2.h"

namespace quillbox::rss {
namespace {

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

// The five parts of a URI reference (RFC 3986, section 3).
struct UriParts {
    std::string scheme;
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
    bool hasFragment = false;
    std::string fragment;
};

UriParts splitUri(std::string_view text) {
    UriParts parts;
    const std::size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        parts.hasFragment = true;
        parts.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    const std::size_t question = text.find('?');
    if (question != std::string_view::npos) {
        parts.hasQuery = true;
        parts.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && hasScheme(text.substr(0, colon + 1)) &&
        text.substr(0, colon).find('/') == std::string_view::npos) {
        for (const char c : text.substr(0, colon)) {
            parts.scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        text = text.substr(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        parts.hasAuthority = true;
        const std::size_t slash = text.find('/', 2);
        parts.authority = std::string(
            text.substr(2, slash == std::string_view::npos ? std::string_view::npos : slash - 2));
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    parts.path = std::string(text);
    return parts;
}

std::string removeDotSegments(const std::string& path) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    const bool absolute = !path.empty() && path.front() == '/';
    std::string input = absolute ? path.substr(1) : path;
    bool trailingSlash = false;
    while (start <= input.size()) {
        std::size_t end = input.find('/', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::string segment = input.substr(start, end - start);
        const bool last = end == input.size();
        if (segment == ".") {
            trailingSlash = last;
        } else if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
            trailingSlash = last;
        } else {
            segments.push_back(segment);
            trailingSlash = false;
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            out += '/';
        }
        out += segments[i];
    }
    if (trailingSlash && (out.empty() || out.back() != '/')) {
        out += '/';
    }
    return out;
}

std::string joinUri(const UriParts& parts) {
    std::string out;
    if (!parts.scheme.empty()) {
        out += parts.scheme + ":";
    }
    if (parts.hasAuthority) {
        out += "//" + parts.authority;
        if (!parts.path.empty() && parts.path.front() != '/') {
            out += '/';
        }
    }
    out += parts.path;
    if (parts.hasQuery) {
        out += "?" + parts.query;
    }
    if (parts.hasFragment) {
        out += "#" + parts.fragment;
    }
    return out;
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
    // Judged before escaping, which would turn "java\tscript:" into a
    // harmless-looking relative path.
    if (fb2::isScriptOrDataAddress(reference)) {
        return {};
    }
    std::string ref = escapeForUri(trimmed(reference));
    const std::string from =
        fb2::isScriptOrDataAddress(base) ? std::string() : escapeForUri(trimmed(base));
    const UriParts r = splitUri(ref);
    if (!r.scheme.empty() || from.empty()) {
        if (r.scheme.empty()) {
            return ref;
        }
        UriParts target = r;
        target.path = removeDotSegments(r.path);
        return joinUri(target);
    }
    const UriParts b = splitUri(from);
    if (b.scheme.empty()) {
        return ref;  // no absolute base to resolve against
    }
    UriParts target;
    target.scheme = b.scheme;
    if (r.hasAuthority) {
        target.hasAuthority = true;
        target.authority = r.authority;
        target.path = removeDotSegments(r.path);
        target.hasQuery = r.hasQuery;
        target.query = r.query;
    } else {
        target.hasAuthority = b.hasAuthority;
        target.authority = b.authority;
        if (r.path.empty()) {
            target.path = b.path;
            target.hasQuery = r.hasQuery || b.hasQuery;
            target.query = r.hasQuery ? r.query : b.query;
        } else {
            if (r.path.front() == '/') {
                target.path = removeDotSegments(r.path);
            } else {
                std::string merged;
                if (b.hasAuthority && b.path.empty()) {
                    merged = "/" + r.path;
                } else {
                    const std::size_t slash = b.path.find_last_of('/');
                    merged =
                        (slash == std::string::npos ? std::string() : b.path.substr(0, slash + 1)) +
                        r.path;
                }
                target.path = removeDotSegments(merged);
            }
            target.hasQuery = r.hasQuery;
            target.query = r.query;
        }
    }
    target.hasFragment = r.hasFragment;
    target.fragment = r.fragment;
    return joinUri(target);
}

std::string escapedUrl(std::string_view url) {
    return escapeForUri(trimmed(url));
}

bool isHttpUrl(std::string_view url) {
    const std::string start = lowerAscii(url.substr(0, 8));
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
        scheme = lowerAscii(rest.substr(0, marker));
        rest = rest.substr(marker + 3);
    }
    std::size_t hostEnd = rest.find_first_of("/?");
    if (hostEnd == std::string_view::npos) {
        hostEnd = rest.size();
    }
    std::string host = lowerAscii(rest.substr(0, hostEnd));
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

std::string lowerAscii(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace quillbox::rss
