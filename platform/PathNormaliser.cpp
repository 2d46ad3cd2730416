#include "platform/PathNormaliser.h"

#include <cctype>

#include "platform/CodePage.h"
#include "platform/DriveTable.h"

namespace quillbox::platform {
namespace {

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// File names on this system are UTF-8, while the shared records carry names in
// the ANSI code page (shelf names, titles). A segment that is not valid UTF-8 is
// taken as ANSI text and converted; the program's own folders, which come from
// the system, are already UTF-8 and stay as they are.
void appendSegment(std::string& out, std::string_view segment) {
    if (isValidUtf8(segment)) {
        out.append(segment);
        return;
    }
    Result<std::string> utf8 = toUtf8(segment, systemAnsiCodePage());
    out.append(utf8 ? std::string_view(utf8.value()) : segment);
}

}  // namespace

std::string toNativePath(std::string_view path) {
    std::string result;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        const std::optional<std::string> mount = driveMountPoint(letter);
        result = mount ? *mount : std::string("/proc/quillbox-no-drive-") + letter;
        path.remove_prefix(2);
        if (!path.empty() && path[0] != '\\' && path[0] != '/') {
            result.push_back('/');
        }
    }
    result.reserve(result.size() + path.size());
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        appendSegment(result, path.substr(start, end - start));
        if (end < path.size()) {
            result.push_back('/');
        }
        start = end + 1;
    }
    return result;
}

}  // namespace quillbox::platform
