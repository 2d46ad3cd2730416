#include "platform/StoreAddress.h"

#include <cstdlib>

namespace quillbox::platform {

std::string storeRoot() {
    const char* configured = std::getenv("QUILLBOX_STORE_URL");
    std::string root = (configured != nullptr && configured[0] != 0)
                           ? std::string(configured)
                           : std::string(kDefaultStoreRoot);
    if (root.back() != '/') {
        root.push_back('/');
    }
    return root;
}

}  // namespace quillbox::platform
