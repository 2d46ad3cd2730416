#include <filesystem>
#include <string>
#include <vector>

#include "contracts/Hostkit.h"
#include "hostkit/DeviceFiles.h"
#include "tests/hostkit/HostkitFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/FakeHost.h"
#include "tests/support/FileSizeLimit.h"

using namespace quillbox;
using quillbox::test::FakeApplication;
using quillbox::test::FakeLabel;
using quillbox::test::FakeProgressBar;
using quillbox::test::fileExists;
using quillbox::test::readFile;
using quillbox::test::writeFile;

namespace {

std::string patternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + i / 4096) % 251);
    }
    return bytes;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace

class DeviceCopyTest : public test::HostkitTest {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(readerFolder());
        std::filesystem::create_directories(programFolder() + "FB2");
    }
    std::string source(const std::string& name, std::size_t size) {
        const std::string path = programFolder() + "FB2/" + name;
        writeFile(path, patternBytes(size));
        return path;
    }
};

TEST_F(DeviceCopyTest, CreateDirExMakesEveryMissingLevelOnTheDrive) {
    EXPECT_TRUE(CreateDirEx("E:\\News\\"));
    EXPECT_TRUE(std::filesystem::is_directory(readerFolder() + "News"));
    EXPECT_TRUE(CreateDirEx("E:\\News\\"));
    EXPECT_TRUE(CreateDirEx("e:\\Shelf one\\Deeper\\Still\\"));
    EXPECT_TRUE(std::filesystem::is_directory(readerFolder() + "Shelf one/Deeper/Still"));

    writeFile(readerFolder() + "taken", "a file");
    EXPECT_FALSE(CreateDirEx("E:\\taken\\"));
    EXPECT_FALSE(CreateDirEx("E:\\taken\\below\\"));
    EXPECT_FALSE(CreateDirEx(""));
    EXPECT_FALSE(CreateDirEx(nullptr));
}

TEST_F(DeviceCopyTest, CreateDirExNeverMakesAMissingDriveOrLeavesIt) {
    // F is not in the table; G is, but its folder (the medium) is not there.
    test::EnvGuard drives("QUILLBOX_DRIVES",
                          "E=" + readerFolder() + ";G=" + root().file("unplugged"));
    EXPECT_FALSE(CreateDirEx("F:\\News\\"));
    EXPECT_FALSE(CreateDirEx("G:\\News\\"));
    EXPECT_FALSE(fileExists(root().file("unplugged")));
    EXPECT_FALSE(std::filesystem::exists("/proc/quillbox-no-drive-F"));

    EXPECT_FALSE(CreateDirEx("E:\\..\\outside\\"));
    EXPECT_FALSE(CreateDirEx("E:\\News\\..\\..\\outside\\"));
    EXPECT_FALSE(fileExists(root().file("outside")));
}

TEST_F(DeviceCopyTest, CopyShowsRisingPercentagesEndingAtOneHundred) {
    const std::string from = source("news.fb2", 9 * 1024 * 1024 + 123);
    ASSERT_TRUE(CreateDirEx("E:\\News\\"));
    FakeApplication application;
    FakeProgressBar bar;
    FakeLabel label;
    ASSERT_TRUE(CopyFileToDevice(from.c_str(), "E:\\News\\news.fb2", &application, &bar, &label));

    EXPECT_EQ(readFile(readerFolder() + "News/news.fb2"), readFile(from));
    EXPECT_EQ(folderEntries(readerFolder() + "News"), std::vector<std::string>{"news.fb2"});
    EXPECT_GE(application.calls, 1);
    ASSERT_FALSE(label.captions.empty());
    EXPECT_EQ(label.captions.front(), "0%");
    EXPECT_EQ(label.captions.back(), "100%");
    ASSERT_EQ(bar.positions.size(), label.captions.size());
    for (std::size_t i = 0; i < bar.positions.size(); ++i) {
        EXPECT_EQ(label.captions[i], std::to_string(bar.positions[i]) + "%");
        if (i > 0) {
            EXPECT_GT(bar.positions[i], bar.positions[i - 1]);
        }
    }
}

TEST_F(DeviceCopyTest, CopyReplacesAnOlderFileAndCopiesEmptyFiles) {
    writeFile(readerFolder() + "book.fb2", "old contents");
    const std::string from = source("book.fb2", 70000);
    EXPECT_TRUE(CopyFileToDevice(from.c_str(), "E:\\book.fb2", nullptr, nullptr, nullptr));
    EXPECT_EQ(readFile(readerFolder() + "book.fb2"), readFile(from));

    const std::string empty = source("empty.fb2", 0);
    FakeLabel label;
    EXPECT_TRUE(CopyFileToDevice(empty.c_str(), "E:\\empty.fb2", nullptr, nullptr, &label));
    EXPECT_TRUE(fileExists(readerFolder() + "empty.fb2"));
    ASSERT_FALSE(label.captions.empty());
    EXPECT_EQ(label.captions.back(), "100%");
}

TEST_F(DeviceCopyTest, ReaderPulledOutMidCopyFailsWithoutLeftovers) {
    const std::string from = source("news.fb2", 6 * 1024 * 1024);
    ASSERT_TRUE(CreateDirEx("E:\\News\\"));
    FakeApplication application;
    application.onProcess = [&] { std::filesystem::remove_all(readerFolder() + "News"); };
    EXPECT_FALSE(
        CopyFileToDevice(from.c_str(), "E:\\News\\news.fb2", &application, nullptr, nullptr));
    EXPECT_GE(application.calls, 1);
    EXPECT_TRUE(folderEntries(readerFolder()).empty());
}

TEST_F(DeviceCopyTest, CopyOntoAMissingOrBlockedFolderFailsWithoutLeftovers) {
    const std::string from = source("news.fb2", 100000);
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\Gone\\news.fb2", nullptr, nullptr, nullptr));
    writeFile(readerFolder() + "News", "a file where the folder should be");
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\News\\news.fb2", nullptr, nullptr, nullptr));
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "F:\\news.fb2", nullptr, nullptr, nullptr));
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\", nullptr, nullptr, nullptr));
    std::filesystem::create_directories(readerFolder() + "Book.fb2");
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\Book.fb2", nullptr, nullptr, nullptr));
    EXPECT_EQ(folderEntries(readerFolder()).size(), 2u);
    EXPECT_TRUE(folderEntries(readerFolder() + "Book.fb2").empty());
}

TEST_F(DeviceCopyTest, MissingSourceFailsAndKeepsTheDestination) {
    writeFile(readerFolder() + "book.fb2", "kept");
    EXPECT_FALSE(CopyFileToDevice((programFolder() + "FB2/none.fb2").c_str(), "E:\\book.fb2",
                                  nullptr, nullptr, nullptr));
    EXPECT_FALSE(
        CopyFileToDevice(programFolder().c_str(), "E:\\book.fb2", nullptr, nullptr, nullptr));
    EXPECT_FALSE(CopyFileToDevice(nullptr, "E:\\book.fb2", nullptr, nullptr, nullptr));
    EXPECT_EQ(readFile(readerFolder() + "book.fb2"), "kept");
    EXPECT_EQ(folderEntries(readerFolder()).size(), 1u);
}

TEST_F(DeviceCopyTest, FullDriveFailsAndKeepsTheOldFile) {
    const std::string from = source("big.fb2", 3 * 1024 * 1024);
    writeFile(readerFolder() + "big.fb2", "old contents");
    FakeLabel label;
    {
        const test::FileSizeLimit limit(1024 * 1024);
        EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\big.fb2", nullptr, nullptr, &label));
    }
    EXPECT_EQ(readFile(readerFolder() + "big.fb2"), "old contents");
    EXPECT_EQ(folderEntries(readerFolder()), std::vector<std::string>{"big.fb2"});
}

TEST_F(DeviceCopyTest, AnExceptionFromTheWindowStopsTheCopyCleanly) {
    const std::string from = source("news.fb2", 4 * 1024 * 1024);
    FakeApplication application;
    application.onProcess = [] { throw std::runtime_error("window gone"); };
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\news.fb2", &application, nullptr, nullptr));
    EXPECT_TRUE(folderEntries(readerFolder()).empty());
}

TEST_F(DeviceCopyTest, StopAskedByTheWindowFailsAndKeepsTheOldFile) {
    const std::string from = source("news.fb2", 6 * 1024 * 1024);
    writeFile(readerFolder() + "news.fb2", "old contents");
    FakeApplication application;
    // Asked after the first wait, before the copy may replace the old file.
    application.cancelAfterCalls = 1;
    EXPECT_FALSE(CopyFileToDevice(from.c_str(), "E:\\news.fb2", &application, nullptr, nullptr));
    EXPECT_GE(application.cancelQueries, 1);
    EXPECT_EQ(readFile(readerFolder() + "news.fb2"), "old contents");
    EXPECT_EQ(folderEntries(readerFolder()), std::vector<std::string>{"news.fb2"});
}

TEST(RoundedPercent, HalvesGoToTheEvenNeighbour) {
    using hostkit::roundedPercent;
    EXPECT_EQ(roundedPercent(0, 1000), 0);
    EXPECT_EQ(roundedPercent(5, 1000), 0);   // 0.5 -> 0
    EXPECT_EQ(roundedPercent(15, 1000), 2);  // 1.5 -> 2
    EXPECT_EQ(roundedPercent(25, 1000), 2);  // 2.5 -> 2
    EXPECT_EQ(roundedPercent(26, 1000), 3);
    EXPECT_EQ(roundedPercent(995, 1000), 100);  // 99.5 -> 100
    EXPECT_EQ(roundedPercent(985, 1000), 98);   // 98.5 -> 98
    EXPECT_EQ(roundedPercent(1, 3), 33);
    EXPECT_EQ(roundedPercent(2, 3), 67);
    EXPECT_EQ(roundedPercent(0, 0), 100);
    EXPECT_EQ(roundedPercent(7, 5), 100);
}
