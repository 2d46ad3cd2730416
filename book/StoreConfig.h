#pragma once
// Where the store's web site is: the root every account request and book
// download is built on, and the host name named in connection messages.

#include <string>
#include <string_view>

#include "platform/StoreAddress.h"

namespace quillbox::book {

using platform::kDefaultStoreRoot;
using platform::storeRoot;

// The host part of a root ("http://host:port/path/" gives "host"; a bracketed
// IPv6 address keeps its brackets); empty when there is none.
std::string hostNameOf(std::string_view root);

}  // namespace quillbox::book
