#pragma once
// Paths that come from requests or fixture files must stay inside the folder
// they are joined to.

#include <string_view>

namespace storeserver {

// True when path is relative and none of its '/'-separated levels is empty,
// "." or "..", so joining it to a folder cannot leave that folder.
inline bool safeRelativePath(std::string_view path) {
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string_view::npos) {
        return false;
    }
    for (std::string_view rest = path; !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view level = rest.substr(0, slash);
        if (level.empty() || level == "." || level == "..") {
            return false;
        }
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return true;
}

}  // namespace storeserver
