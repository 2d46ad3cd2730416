#include "platform/DriveTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/PathNormaliser.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

using namespace quillbox::platform;
using quillbox::test::EnvGuard;
using quillbox::test::TempDir;
using quillbox::test::writeFile;

namespace {

const char* const kMountInfo =
    "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
    "22 26 0:21 / /sys rw,relatime - sysfs sysfs rw\n"
    "24 23 0:22 / /dev/shm rw,relatime - tmpfs tmpfs rw,size=24683748k\n"
    "26 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "31 30 0:28 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
    "90 26 8:17 / /media/user/READER\\040ONE rw,nosuid shared:50 master:2 - vfat /dev/sdb1 "
    "rw,uid=1000\n"
    "91 26 254:1 / /boot rw,relatime - ext4 /dev/vda1 rw\n"
    "92 26 254:0 /home/user/shared /srv/bind rw - ext4 /dev/vda rw\n"
    "93 26 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
    "94 26 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro\n"
    "95 26 0:50 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "96 26 8:33 / /media/user/card rw - exfat /dev/sdc1 rw\n"
    "not a mount line\n"
    "97 26 8:x / /broken rw - ext4 /dev/sdz rw\n"
    "98 26 8:49 / /media/no\\134where rw - ext4\n";

// A minimal sysfs: vda a fixed disk, sdb a USB stick, sdc a card reader that
// reports removable media but sits on PCI.
void makeFakeSysfs(const std::string& root) {
    namespace fs = std::filesystem;
    const std::string pci = root + "devices/pci0000:00/";
    const std::string usb = pci + "0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/";
    fs::create_directories(pci + "virtio0/block/vda/vda1");
    fs::create_directories(usb + "block/sdb/sdb1");
    fs::create_directories(pci + "0000:00:1f.2/host7/block/sdc/sdc1");
    writeFile(pci + "virtio0/block/vda/removable", "0\n");
    writeFile(pci + "virtio0/block/vda/size", "1000\n");
    writeFile(pci + "virtio0/block/vda/vda1/partition", "1\n");
    writeFile(pci + "virtio0/block/vda/vda1/size", "500\n");
    writeFile(usb + "block/sdb/removable", "0\n");
    writeFile(usb + "block/sdb/sdb1/partition", "1\n");
    writeFile(usb + "block/sdb/sdb1/size", "30000\n");
    writeFile(pci + "0000:00:1f.2/host7/block/sdc/removable", "1\n");
    writeFile(pci + "0000:00:1f.2/host7/block/sdc/sdc1/partition", "1\n");
    writeFile(pci + "0000:00:1f.2/host7/block/sdc/sdc1/size", "0\n");
    fs::create_directories(root + "dev/block");
    fs::create_directory_symlink(pci + "virtio0/block/vda", root + "dev/block/254:0");
    fs::create_directory_symlink(pci + "virtio0/block/vda/vda1", root + "dev/block/254:1");
    fs::create_directory_symlink(usb + "block/sdb/sdb1", root + "dev/block/8:17");
    fs::create_directory_symlink(pci + "0000:00:1f.2/host7/block/sdc/sdc1",
                                 root + "dev/block/8:33");
}

}  // namespace

TEST(MountInfo, ParsesFieldsAndUndoesEscapes) {
    const std::vector<MountEntry> entries = parseMountInfo(kMountInfo);
    ASSERT_EQ(entries.size(), 12u);
    EXPECT_EQ(entries[0].mountPoint, "/proc");
    EXPECT_GT(entries[5].mountId, 0u);
    EXPECT_EQ(entries[0].fileSystem, "proc");
    EXPECT_EQ(entries[3].major, 254u);
    EXPECT_EQ(entries[3].minor, 0u);
    EXPECT_EQ(entries[3].source, "/dev/vda");
    EXPECT_EQ(entries[5].mountPoint, "/media/user/READER ONE");
    EXPECT_EQ(entries[5].fileSystem, "vfat");
    EXPECT_EQ(entries[5].source, "/dev/sdb1");
    EXPECT_EQ(entries[7].root, "/home/user/shared");
    EXPECT_EQ(entries[11].mountPoint, "/media/user/card");

    EXPECT_EQ(parseMountInfo("1 2 3:4 /a\\011b /c\\012d\\134 rw - ext4 /dev/x rw")[0].mountPoint,
              "/c\nd\\");
    EXPECT_EQ(parseMountInfo("1 2 3:4 / /m\\04 rw - ext4 /dev/x rw")[0].mountPoint, "/m\\04");
    EXPECT_TRUE(parseMountInfo("").empty());
    EXPECT_TRUE(parseMountInfo("1 2 3:4 / /m rw -").empty());
}

TEST(MountInfo, RealDrivesAreNumberedFromCInMountPointOrder) {
    TempDir sysfs;
    makeFakeSysfs(sysfs.path());
    const std::vector<Drive> drives = drivesFromMounts(parseMountInfo(kMountInfo), sysfs.path());
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0].number, 2);
    EXPECT_EQ(drives[0].mountPoint, "");
    EXPECT_FALSE(drives[0].removable);
    EXPECT_TRUE(drives[0].hasMedium);

    EXPECT_EQ(drives[1].number, 3);
    EXPECT_EQ(drives[1].mountPoint, "/boot");
    EXPECT_FALSE(drives[1].removable);

    EXPECT_EQ(drives[2].number, 4);
    EXPECT_EQ(drives[2].mountPoint, "/media/user/READER ONE");
    EXPECT_TRUE(drives[2].removable);  // on USB
    EXPECT_TRUE(drives[2].hasMedium);

    EXPECT_EQ(drives[3].number, 5);
    EXPECT_EQ(drives[3].mountPoint, "/media/user/card");
    EXPECT_TRUE(drives[3].removable);   // reports removable media
    EXPECT_FALSE(drives[3].hasMedium);  // no card in it

    // A periodic scan asks sysfs once per mount: later scans read only the
    // mount table, and a new mount (plugged in again) is looked up afresh.
    BlockDeviceCache devices(sysfs.path());
    std::vector<MountEntry> mounts = parseMountInfo(kMountInfo);
    ASSERT_EQ(drivesFromMounts(mounts, devices).size(), 4u);
    const int firstScan = devices.lookups();
    EXPECT_EQ(drivesFromMounts(mounts, devices).size(), 4u);
    EXPECT_EQ(devices.lookups(), firstScan);
    mounts[5].mountId += 1000;
    const std::vector<Drive> again = drivesFromMounts(mounts, devices);
    EXPECT_EQ(devices.lookups(), firstScan + 1);
    EXPECT_TRUE(again[2].removable);
}

TEST(MountInfo, AtMostTwentyFourDrivesAndCIsTheRootEvenWithoutAnEntry) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += std::to_string(100 + i) + " 1 8:" + std::to_string(i + 1) + " / /mnt/d" +
                (i < 10 ? "0" : "") + std::to_string(i) + " rw - ext4 /dev/sd" + std::to_string(i) +
                " rw\n";
    }
    TempDir sysfs;
    const std::vector<Drive> drives = drivesFromMounts(parseMountInfo(text), sysfs.path());
    ASSERT_EQ(drives.size(), 24u);
    EXPECT_EQ(drives.front().mountPoint, "");
    EXPECT_EQ(drives[1].mountPoint, "/mnt/d00");
    EXPECT_EQ(drives.back().number, 25);
    EXPECT_EQ(drives.back().mountPoint, "/mnt/d22");
}

TEST(DriveTable, OverrideNamesRemovableDrivesWithMediumWhileTheFolderExists) {
    TempDir root;
    std::filesystem::create_directories(root.file("reader"));
    EnvGuard drives("QUILLBOX_DRIVES",
                    "E=" + root.file("reader/") + ";g=" + root.file("gone") + ";A=/tmp;bad;Q");
    const std::vector<Drive> table = readDriveTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].number, 4);
    EXPECT_EQ(table[0].mountPoint, root.file("reader"));
    EXPECT_TRUE(table[0].removable);
    EXPECT_TRUE(table[0].hasMedium);
    EXPECT_EQ(table[1].number, 6);
    EXPECT_FALSE(table[1].hasMedium);

    EXPECT_EQ(toNativePath("E:\\News\\x.fb2"), root.file("reader/News/x.fb2"));
    EXPECT_EQ(driveMountPoint('g'), root.file("gone"));
    EXPECT_EQ(driveMountPoint('A'), std::nullopt);
}

TEST(DriveTable, WithoutOverrideTheRootFileSystemIsC) {
    EnvGuard drives("QUILLBOX_DRIVES", std::nullopt);
    const std::vector<Drive> table = readDriveTable();
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table[0].number, 2);
    EXPECT_EQ(driveMountPoint('C'), "");
    EXPECT_EQ(toNativePath("C:\\tmp\\x"), "/tmp/x");
}
