#pragma once
// The drive table: drive numbers 2..25 (C..Z) mapped to mount points, with
// whether the drive is removable and has a medium. QUILLBOX_DRIVES (for example
// "E=/tmp/reader;G=/tmp/other") replaces the table with folders that count as
// removable drives with a medium while the folder exists.
//
// Without the override the table comes from /proc/self/mountinfo and sysfs:
// the root file system is C, every other mounted block device follows in
// mount-point order; pseudo file systems are left out.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quillbox::platform {

struct Drive {
    int number = 0;          // 2 = C, 3 = D, ... 25 = Z
    std::string mountPoint;  // without a trailing '/'; empty for the root file system
    bool removable = false;
    bool hasMedium = false;
};

// Reads the table afresh (drives come and go): the mount table, and sysfs
// once for each new mount.
std::vector<Drive> readDriveTable();

// Mount point of the drive with this letter ('A'..'Z', either case), if any.
std::optional<std::string> driveMountPoint(char letter);

// One line of /proc/<pid>/mountinfo, with the octal escapes (\040 for a
// space and so on) of the paths undone.
struct MountEntry {
    unsigned mountId = 0;  // unique while the mount lives; a new mount gets a new one
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the folder of the file system that is mounted
    std::string mountPoint;  // where it is mounted
    std::string fileSystem;  // e.g. "ext4", "vfat"
    std::string source;      // e.g. "/dev/sdb1"
};

// Parses mountinfo text; lines that do not have the expected shape are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// What sysfs says about a block device.
struct BlockDevice {
    bool known = false;      // sysfs has an entry for the device
    bool removable = false;  // its disk reports removable media or sits on USB
    bool hasMedium = false;  // its size is not zero
};

// Looks the device up under sysfsRoot (normally "/sys") through dev/block/M:m.
BlockDevice describeBlockDevice(unsigned major, unsigned minor, const std::string& sysfsRoot);

// Builds the drive table from mount entries: the root file system is C, the
// other mounted block devices follow in mount-point order up to Z. Bind mounts
// of sub-folders, repeated mounts of one device and pseudo file systems are
// left out.
std::vector<Drive> drivesFromMounts(const std::vector<MountEntry>& mounts,
                                    const std::string& sysfsRoot);

// What sysfs said about the device of each mount, asked once per mount: a
// device's kind does not change while it stays mounted, and a new mount (the
// reader plugged in again) has a new mount id. Keeps the drive table of a
// periodic scan down to reading the mount table.
class BlockDeviceCache {
  public:
    explicit BlockDeviceCache(std::string sysfsRoot) : m_sysfsRoot(std::move(sysfsRoot)) {}
    BlockDevice describe(unsigned mountId, unsigned major, unsigned minor);
    // Whether sysfs can be read at all (asked once).
    bool sysfsReadable();
    // sysfs lookups made so far.
    int lookups() const { return m_lookups; }
    const std::string& sysfsRoot() const { return m_sysfsRoot; }

  private:
    std::string m_sysfsRoot;
    std::map<std::tuple<unsigned, unsigned, unsigned>, BlockDevice> m_known;
    std::optional<bool> m_readable;
    int m_lookups = 0;
};

// drivesFromMounts with the devices described through the cache.
std::vector<Drive> drivesFromMounts(const std::vector<MountEntry>& mounts,
                                    BlockDeviceCache& devices);

}  // namespace quillbox::platform
