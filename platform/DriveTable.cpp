#include "DriveTable.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace quillbox::platform {
namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// QUILLBOX_DRIVES: "E=/tmp/reader;G=/tmp/other".
std::vector<Drive> drivesFromEnvironment(std::string_view spec) {
    std::vector<Drive> drives;
    while (!spec.empty()) {
        const std::size_t end = spec.find(';');
        std::string_view entry = spec.substr(0, end);
        spec = end == std::string_view::npos ? std::string_view() : spec.substr(end + 1);
        if (entry.size() < 3 || entry[1] != '=' ||
            !std::isalpha(static_cast<unsigned char>(entry[0]))) {
            continue;
        }
        const int number = std::toupper(static_cast<unsigned char>(entry[0])) - 'A';
        if (number < 2 || number > 25) {
            continue;
        }
        std::string mount(entry.substr(2));
        while (mount.size() > 1 && mount.back() == '/') {
            mount.pop_back();
        }
        Drive drive;
        drive.number = number;
        drive.mountPoint = mount;
        drive.removable = true;
        drive.hasMedium = isFolder(mount);
        drives.push_back(drive);
    }
    return drives;
}

}  // namespace

std::vector<Drive> readDriveTable() {
    const char* configured = std::getenv("QUILLBOX_DRIVES");
    if (configured != nullptr && *configured != 0) {
        return drivesFromEnvironment(configured);
    }
    // Without the override only the root file system is known as drive C.
    return {Drive{2, "", false, true}};
}

std::optional<std::string> driveMountPoint(char letter) {
    const int number = std::toupper(static_cast<unsigned char>(letter)) - 'A';
    for (const Drive& drive : readDriveTable()) {
        if (drive.number == number) {
            return drive.mountPoint;
        }
    }
    return std::nullopt;
}

}  // namespace quillbox::platform
