#include "PathNormaliser.h"

#include <gtest/gtest.h>

#include "EnvGuard.h"

using namespace quillbox::platform;
using quillbox::test::EnvGuard;

TEST(PathNormaliser, DriveLetterMapsToItsMountPointAndBackslashesTurn) {
    EnvGuard drives("QUILLBOX_DRIVES", std::string("E=/tmp/reader/;g=/media/other"));
    EXPECT_EQ(toNativePath("E:\\News\\today.fb2"), "/tmp/reader/News/today.fb2");
    EXPECT_EQ(toNativePath("e:\\News\\"), "/tmp/reader/News/");
    EXPECT_EQ(toNativePath("G:\\"), "/media/other/");
    EXPECT_EQ(toNativePath("/opt/quillbox/Books/Shelf\\a.fb2"), "/opt/quillbox/Books/Shelf/a.fb2");
}

TEST(PathNormaliser, UnknownDriveNeverMapsIntoTheCurrentFolder) {
    EnvGuard drives("QUILLBOX_DRIVES", std::string("E=/tmp/reader"));
    const std::string path = toNativePath("F:\\News\\");
    EXPECT_EQ(path.rfind("/nonexistent-drive-F", 0), 0u) << path;
}
