#include "book/ForceFolder.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/PathNormaliser.h"

namespace quillbox::book {
namespace {

bool isFolder(const std::string& nativePath) {
    struct stat info {};
    return ::stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool ForceFolder(std::string_view path) {
    std::string walk(path);
    if (!walk.empty() && walk.back() == '\\') {
        walk.pop_back();
    }
    if (walk.empty()) {
        return false;
    }
    walk.push_back('\\');
    for (std::size_t i = 0; i < walk.size(); ++i) {
        if (walk[i] != '\\') {
            continue;
        }
        const std::string level = platform::toNativePath(std::string_view(walk).substr(0, i + 1));
        if (isFolder(level)) {
            continue;
        }
        // Another process may create the same level between the test and mkdir.
        if (::mkdir(level.c_str(), 0777) != 0 && !(errno == EEXIST && isFolder(level))) {
            return false;
        }
    }
    return true;
}

}  // namespace quillbox::book
