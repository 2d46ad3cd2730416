#pragma once
// Where the store's web site is: the root every account request, book
// download and the window's link to the site are built on.

#include <string>
#include <string_view>

namespace quillbox::platform {

// The built-in root, used when QUILLBOX_STORE_URL is not set.
inline constexpr std::string_view kDefaultStoreRoot = "http://store.tomeport.example/";

// QUILLBOX_STORE_URL when set and not empty, else kDefaultStoreRoot; always
// ending with '/'.
std::string storeRoot();

}  // namespace quillbox::platform
