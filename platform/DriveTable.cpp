#include "platform/DriveTable.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <system_error>
#include <utility>

namespace quillbox::platform {
namespace {

constexpr int kFirstDrive = 2;  // C
constexpr int kLastDrive = 25;  // Z

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// QUILLBOX_DRIVES: "E=/tmp/reader;G=/tmp/other".
std::vector<Drive> drivesFromEnvironment(std::string_view setting) {
    std::vector<Drive> drives;
    while (!setting.empty()) {
        const std::size_t end = setting.find(';');
        std::string_view entry = setting.substr(0, end);
        setting = end == std::string_view::npos ? std::string_view() : setting.substr(end + 1);
        if (entry.size() < 3 || entry[1] != '=' ||
            !std::isalpha(static_cast<unsigned char>(entry[0]))) {
            continue;
        }
        const int number = std::toupper(static_cast<unsigned char>(entry[0])) - 'A';
        if (number < kFirstDrive || number > kLastDrive) {
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

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// First line of a small sysfs attribute, without the newline.
std::string readAttribute(const std::filesystem::path& path) {
    std::string text = readWholeFile(path.string());
    const std::size_t newline = text.find('\n');
    if (newline != std::string::npos) {
        text.resize(newline);
    }
    return text;
}

// Undoes the kernel's octal escapes in mountinfo paths ("\040" is a space).
std::string unescapeMountField(std::string_view field) {
    std::string result;
    result.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            const bool octal =
                digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; });
            if (octal) {
                const int value =
                    (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                if (value <= 0xFF) {
                    result.push_back(static_cast<char>(value));
                    i += 3;
                    continue;
                }
            }
        }
        result.push_back(field[i]);
    }
    return result;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t position = 0;
    while (position < line.size()) {
        while (position < line.size() && (line[position] == ' ' || line[position] == '\t')) {
            ++position;
        }
        const std::size_t start = position;
        while (position < line.size() && line[position] != ' ' && line[position] != '\t') {
            ++position;
        }
        if (position > start) {
            fields.push_back(line.substr(start, position - start));
        }
    }
    return fields;
}

bool parseUnsigned(std::string_view text, unsigned& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parseDeviceNumbers(std::string_view text, unsigned& major, unsigned& minor) {
    const std::size_t colon = text.find(':');
    return colon != std::string_view::npos && parseUnsigned(text.substr(0, colon), major) &&
           parseUnsigned(text.substr(colon + 1), minor);
}

// File systems that never stand for a drive the user could write books to.
bool isPseudoFileSystem(std::string_view type) {
    static constexpr std::array<std::string_view, 33> kPseudo = {"proc",
                                                                 "sysfs",
                                                                 "tmpfs",
                                                                 "devtmpfs",
                                                                 "devpts",
                                                                 "cgroup",
                                                                 "cgroup2",
                                                                 "overlay",
                                                                 "securityfs",
                                                                 "debugfs",
                                                                 "tracefs",
                                                                 "configfs",
                                                                 "fusectl",
                                                                 "mqueue",
                                                                 "hugetlbfs",
                                                                 "pstore",
                                                                 "bpf",
                                                                 "autofs",
                                                                 "binfmt_misc",
                                                                 "efivarfs",
                                                                 "squashfs",
                                                                 "ramfs",
                                                                 "rpc_pipefs",
                                                                 "nsfs",
                                                                 "selinuxfs",
                                                                 "nfsd",
                                                                 "aufs",
                                                                 "iso9660",
                                                                 "udf",
                                                                 "ecryptfs",
                                                                 "fuse.gvfsd-fuse",
                                                                 "fuse.portal",
                                                                 "fuse.lxcfs"};
    return std::find(kPseudo.begin(), kPseudo.end(), type) != kPseudo.end();
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    // Each line: id parent major:minor root mount-point options [optional...] - type source
    // super-options. Paths carry octal escapes for space, tab, newline and '\'.
    std::vector<MountEntry> entries;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);

        const std::vector<std::string_view> fields = splitFields(line);
        const auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 6 || separator == fields.end() ||
            std::distance(fields.begin(), separator) < 6 ||
            std::distance(separator, fields.end()) < 3) {
            continue;
        }
        MountEntry entry;
        entry.mountId =
            static_cast<unsigned>(std::strtoul(std::string(fields[0]).c_str(), nullptr, 10));
        if (!parseDeviceNumbers(fields[2], entry.major, entry.minor)) {
            continue;
        }
        entry.root = unescapeMountField(fields[3]);
        entry.mountPoint = unescapeMountField(fields[4]);
        entry.fileSystem = std::string(*(separator + 1));
        entry.source = unescapeMountField(*(separator + 2));
        entries.push_back(std::move(entry));
    }
    return entries;
}

BlockDevice describeBlockDevice(unsigned major, unsigned minor, const std::string& sysfsRoot) {
    namespace fs = std::filesystem;
    BlockDevice device;
    std::error_code error;
    const fs::path root = fs::weakly_canonical(fs::path(sysfsRoot), error);
    const fs::path link = fs::path(sysfsRoot) / "dev" / "block" /
                          (std::to_string(major) + ":" + std::to_string(minor));
    const fs::path node = fs::canonical(link, error);
    if (error) {
        return device;
    }
    device.known = true;
    // A partition's attributes sit beside those of its disk, one level up.
    const fs::path disk = fs::exists(node / "partition", error) ? node.parent_path() : node;
    const std::string relative = node.lexically_relative(root).generic_string();
    device.removable =
        readAttribute(disk / "removable") == "1" || relative.find("/usb") != std::string::npos;
    unsigned long long sectors = 0;
    const std::string size = readAttribute(node / "size");
    const auto [end, parseError] = std::from_chars(size.data(), size.data() + size.size(), sectors);
    device.hasMedium = parseError == std::errc() && end != size.data() && sectors > 0;
    return device;
}

std::vector<Drive> drivesFromMounts(const std::vector<MountEntry>& mounts,
                                    const std::string& sysfsRoot) {
    // A cache of its own: every mount is looked up once.
    BlockDeviceCache devices(sysfsRoot);
    return drivesFromMounts(mounts, devices);
}

bool BlockDeviceCache::sysfsReadable() {
    if (!m_readable) {
        std::error_code error;
        m_readable = std::filesystem::is_directory(m_sysfsRoot + "/dev/block", error);
    }
    return *m_readable;
}

BlockDevice BlockDeviceCache::describe(unsigned mountId, unsigned major, unsigned minor) {
    const auto key = std::make_tuple(mountId, major, minor);
    const auto known = m_known.find(key);
    if (known != m_known.end()) {
        return known->second;
    }
    ++m_lookups;
    const BlockDevice device = describeBlockDevice(major, minor, m_sysfsRoot);
    m_known.emplace(key, device);
    return device;
}

std::vector<Drive> drivesFromMounts(const std::vector<MountEntry>& mounts,
                                    BlockDeviceCache& devices) {
    std::vector<const MountEntry*> ordered;
    ordered.reserve(mounts.size());
    for (const MountEntry& entry : mounts) {
        ordered.push_back(&entry);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const MountEntry* a, const MountEntry* b) {
        return a->mountPoint < b->mountPoint;
    });

    const bool sysfsReadable = devices.sysfsReadable();
    // The root file system is C whatever it is (an overlay in a container, tmpfs on a live
    // system); it is non-removable unless sysfs says otherwise.
    Drive rootDrive{kFirstDrive, "", false, true};
    std::vector<Drive> others;
    std::set<std::pair<unsigned, unsigned>> seenDevices;
    for (const MountEntry* entry : ordered) {
        const bool isRoot = entry->mountPoint == "/";
        if (!isRoot && (isPseudoFileSystem(entry->fileSystem) ||
                        entry->source.rfind("/dev/", 0) != 0 || entry->root != "/")) {
            continue;  // pseudo file systems and bind mounts of sub-folders are no drives
        }
        unsigned major = entry->major;
        unsigned minor = entry->minor;
        if (major == 0) {
            // btrfs and fuseblk report an anonymous device; the source names the real one.
            struct stat info {};
            if (::stat(entry->source.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
                major = ::major(info.st_rdev);
                minor = ::minor(info.st_rdev);
            }
        }
        if (!seenDevices.insert({major, minor}).second && !isRoot) {
            continue;  // the same device mounted a second time
        }
        const BlockDevice device = devices.describe(entry->mountId, major, minor);
        Drive drive;
        drive.mountPoint = isRoot ? std::string() : entry->mountPoint;
        drive.removable = device.removable;
        // A block device that has left sysfs is gone even if its mount lingers.
        drive.hasMedium = device.known ? device.hasMedium : (major == 0 || !sysfsReadable);
        if (isRoot) {
            rootDrive.removable = drive.removable;
        } else {
            others.push_back(drive);
        }
    }

    std::vector<Drive> drives{rootDrive};
    int number = kFirstDrive + 1;
    for (Drive& drive : others) {
        if (number > kLastDrive) {
            break;
        }
        drive.number = number++;
        drives.push_back(drive);
    }
    return drives;
}

std::vector<Drive> readDriveTable() {
    const char* configured = std::getenv("QUILLBOX_DRIVES");
    if (configured != nullptr && *configured != 0) {
        return drivesFromEnvironment(configured);
    }
    static BlockDeviceCache devices("/sys");
    return drivesFromMounts(parseMountInfo(readWholeFile("/proc/self/mountinfo")), devices);
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
