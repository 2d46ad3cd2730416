#include "PathNormaliser.h"

#include <cctype>

#include "DriveTable.h"

namespace quillbox::platform {

std::string toNativePath(std::string_view path) {
    std::string result;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        const std::optional<std::string> mount = driveMountPoint(letter);
        result = mount ? *mount : std::string("/nonexistent-drive-") + letter;
        path.remove_prefix(2);
        if (!path.empty() && path[0] != '\\' && path[0] != '/') {
            result.push_back('/');
        }
    }
    result.reserve(result.size() + path.size());
    for (const char c : path) {
        result.push_back(c == '\\' ? '/' : c);
    }
    return result;
}

}  // namespace quillbox::platform
