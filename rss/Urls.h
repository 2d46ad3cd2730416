#pragma once
// Addresses: resolving relative links and the normal form that identifies a
// feed or an item whatever its scheme or spelling.

#include <string>
#include <string_view>

namespace quillbox::rss {

// Blanks around the text removed.
std::string_view trimmed(std::string_view text);

// reference resolved against base (both may hold blanks or non-ASCII
// characters); the reference itself when it cannot be resolved. Empty for a
// script or data reference (fb2::isScriptOrDataAddress); such a base counts
// as none.
std::string resolveUrl(std::string_view base, std::string_view reference);

// The address with blanks, quotes, control and non-ASCII bytes percent-escaped,
// as an HTTP request needs it.
std::string escapedUrl(std::string_view url);

// True for an absolute http:// or https:// address.
bool isHttpUrl(std::string_view url);

// The address to fetch for what the user typed: "http://" put before an
// address without a scheme.
std::string fetchableUrl(std::string_view typed);

// The normal form used as identity: no scheme for http and https, lower-case
// host, no default port, no fragment, no trailing '/'.
std::string normalisedUrl(std::string_view url);

// The text with A-Z made a-z; every other byte kept.
std::string lowerAscii(std::string_view text);

}  // namespace quillbox::rss
