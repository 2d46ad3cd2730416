#pragma once
// The drive table: drive numbers 2..25 (C..Z) mapped to mount points, with
// whether the drive is removable and has a medium. QUILLBOX_DRIVES (for example
// "E=/tmp/reader;G=/tmp/other") replaces the table with folders that count as
// removable drives with a medium while the folder exists.

#include <optional>
#include <string>
#include <vector>

namespace quillbox::platform {

struct Drive {
    int number = 0;          // 2 = C, 3 = D, ... 25 = Z
    std::string mountPoint;  // without a trailing '/'
    bool removable = false;
    bool hasMedium = false;
};

// Reads the table afresh (drives come and go).
std::vector<Drive> readDriveTable();

// Mount point of the drive with this letter ('A'..'Z', either case), if any.
std::optional<std::string> driveMountPoint(char letter);

}  // namespace quillbox::platform
