#include "platform/PathNormaliser.h"

#include <gtest/gtest.h>

#include "tests/support/EnvGuard.h"

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
    EXPECT_EQ(path.rfind("/proc/quillbox-no-drive-F", 0), 0u) << path;
}

TEST(PathNormaliser, AnsiNamesBecomeUtf8AndUtf8FoldersStayAsTheyAre) {
    EnvGuard drives("QUILLBOX_DRIVES", std::string("E=/tmp/reader"));
    EnvGuard codePage("QUILLBOX_ANSI_CODEPAGE", std::nullopt);
    // "Фантастика" in windows-1251 below a folder whose name is already UTF-8.
    const std::string ansiShelf = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";
    EXPECT_EQ(toNativePath("/home/Иван/Books/" + ansiShelf + "\\a.fb2"),
              "/home/Иван/Books/Фантастика/a.fb2");
    EXPECT_EQ(toNativePath("E:\\" + ansiShelf + "\\"), "/tmp/reader/Фантастика/");
}
