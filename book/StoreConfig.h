#pragma once
// Where the store's web site is: the root every account request and book
// download is built on, and the host name named in connection messages.

#include <string>
#include <string_view>

namespace quillbox::book {

// The built-in root, used when QUILLBOX_STORE_URL is not set.
inline constexpr std::string_view kDefaultStoreRoot = "http://store.tomeport.example/";

// QUILLBOX_STORE_URL when set and not empty, else kDefaultStoreRoot; always
// ending with '/'.
std::string storeRoot();

// The host part of a root ("http://host:port/path/" gives "host"; a bracketed
// IPv6 address keeps its brackets); empty when there is none.
std::string hostNameOf(std::string_view root);

}  // namespace quillbox::book
