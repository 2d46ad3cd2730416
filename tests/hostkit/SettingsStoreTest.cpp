#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

#include "contracts/Hostkit.h"
#include "hostkit/SettingsStore.h"
#include "tests/hostkit/HostkitFixture.h"
#include "tests/support/FileSizeLimit.h"

using namespace quillbox;
using quillbox::test::fileExists;
using quillbox::test::readFile;
using quillbox::test::writeFile;

namespace {

// Cyrillic "Иван" and "пароль" in windows-1251.
const std::string kIvan = "\xC8\xE2\xE0\xED";
const std::string kParol = "\xEF\xE0\xF0\xEE\xEB\xFC";

TSystemInfo filledSystemInfo() {
    TSystemInfo info{};
    info.RSSUpdatePeriod = 4;
    info.BookShelfUpdatePeriod = 3;
    info.Language = 7;
    info.AutoUpdateRSS = true;
    info.AutoUpdateBookShelfs = true;
    info.Pictures = true;
    info.LastRSSUpdate = {2024, 2, 29, 23, 59};
    info.LastBookShelfUpdate = {1999, 12, 31, 0, 1};
    info.AutoRun = true;
    info.BaseFolder.assign("/media/books/Shelf/Books/");
    return info;
}

TUserData filledUserData() {
    TUserData data{};
    data.Login.assign(kIvan);
    data.Password.assign(kParol + " ;#\\x41 \\");
    data.UseProxy = true;
    data.ProxyHost.assign("proxy.example;  # not a comment");
    data.ProxyPort = 3128;
    data.ProxyLogin.assign(" padded user ");
    std::string everyByte;
    for (int byte = 1; byte < 256; ++byte) {
        everyByte.push_back(static_cast<char>(byte));
    }
    data.ProxyPassword.assign(everyByte);
    data.Pictures = true;
    return data;
}

TSystemInfo loadedSystemInfo() {
    TSystemInfo info;
    std::memset(&info, 0xAB, sizeof info);
    LoadSystemInfo(&info);
    return info;
}

TUserData loadedUserData() {
    TUserData data;
    std::memset(&data, 0xAB, sizeof data);
    LoadUserData(&data);
    return data;
}

bool sameBytes(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

}  // namespace

class SettingsStoreTest : public test::HostkitTest {};

TEST_F(SettingsStoreTest, FirstUseGivesTheStartingValues) {
    const TSystemInfo info = loadedSystemInfo();
    TSystemInfo expected{};
    expected.RSSUpdatePeriod = 1;
    expected.BookShelfUpdatePeriod = 1;
    expected.Language = -1;
    expected.BaseFolder.assign(programFolder());
    EXPECT_TRUE(sameBytes(&info, &expected, sizeof info));

    const TUserData data = loadedUserData();
    const TUserData empty{};
    EXPECT_TRUE(sameBytes(&data, &empty, sizeof data));
    EXPECT_FALSE(fileExists(configFolder() + "settings.ini"));
}

TEST_F(SettingsStoreTest, SystemInfoRoundTripsAndBaseFolderIsAlwaysTheProgramFolder) {
    EXPECT_TRUE(SaveSystemInfo(filledSystemInfo()));
    TSystemInfo expected = filledSystemInfo();
    expected.BaseFolder.assign(programFolder());
    const TSystemInfo info = loadedSystemInfo();
    EXPECT_TRUE(sameBytes(&info, &expected, sizeof info));
    EXPECT_EQ(info.BaseFolder.text(), programFolder());

    TSystemInfo cleared = filledSystemInfo();
    cleared.AutoUpdateRSS = false;
    cleared.AutoRun = false;
    cleared.Language = -1;
    cleared.LastRSSUpdate = {0, 0, 0, 0, 0};
    SaveSystemInfo(cleared);
    const TSystemInfo again = loadedSystemInfo();
    EXPECT_FALSE(again.AutoUpdateRSS);
    EXPECT_FALSE(again.AutoRun);
    EXPECT_EQ(again.Language, -1);
    EXPECT_EQ(again.LastRSSUpdate.Year, 0);
    EXPECT_TRUE(again.AutoUpdateBookShelfs);
}

TEST_F(SettingsStoreTest, UserDataRoundTripsEveryByteAndIsStoredReadably) {
    EXPECT_TRUE(SaveUserData(filledUserData()));
    const TUserData expected = filledUserData();
    const TUserData data = loadedUserData();
    EXPECT_TRUE(sameBytes(&data, &expected, sizeof data));
    EXPECT_EQ(data.ProxyPassword.text(), expected.ProxyPassword.text());

    const std::string text = readFile(configFolder() + "account.ini");
    EXPECT_NE(text.find("Login = \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\n"), std::string::npos) << text;
    for (const std::string& line : {std::string("Port = 3128"), std::string("UseProxy = true")}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        EXPECT_LT(end - start, 200u) << "a line too long for the reader";
        start = end + 1;
    }
}

TEST_F(SettingsStoreTest, LongestCyrillicTextsSurviveAcrossContinuationLines) {
    TUserData data{};
    std::string login;
    for (int i = 0; i < 255; ++i) {
        login.push_back(static_cast<char>(i % 7 == 6 ? ' ' : 0xC0 + i % 64));
    }
    data.Login.assign(login);
    data.ProxyPort = -2147483647 - 1;
    SaveUserData(data);
    const TUserData loaded = loadedUserData();
    EXPECT_TRUE(sameBytes(&loaded, &data, sizeof data));
}

TEST_F(SettingsStoreTest, AccountFileIsOnlyEverReadableByTheUser) {
    const mode_t previous = ::umask(0);
    SaveUserData(filledUserData());
    SaveUserData(filledUserData());
    ::umask(previous);
    struct stat info {};
    ASSERT_EQ(::stat((configFolder() + "account.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat(configFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(SettingsStoreTest, CorruptSettingsGiveStartingValuesForWhatCannotBeRead) {
    std::filesystem::create_directories(configFolder());
    const std::string path = configFolder() + "settings.ini";

    std::string garbage;
    for (int i = 0; i < 5000; ++i) {
        garbage.push_back(static_cast<char>((i * 7919 + 13) % 256));
    }
    writeFile(path, garbage);
    TSystemInfo info = loadedSystemInfo();
    EXPECT_EQ(info.Language, -1);
    EXPECT_EQ(info.RSSUpdatePeriod, 1);
    EXPECT_EQ(info.BaseFolder.text(), programFolder());

    writeFile(path,
              "[Settings]\nLanguage = 99\nRSSUpdatePeriod = 9\nBookShelfUpdatePeriod = 2\n"
              "AutoRun = maybe\nPictures = yes\nLastRSSUpdate = 2024-13-01 10:00\n"
              "LastBookShelfUpdate = 2023-04-05 06:07\nAutoUpdateRSS = " +
                  std::string(1000, 'x') + "\n");
    info = loadedSystemInfo();
    EXPECT_EQ(info.Language, -1);
    EXPECT_EQ(info.RSSUpdatePeriod, 1);
    EXPECT_EQ(info.BookShelfUpdatePeriod, 2);
    EXPECT_FALSE(info.AutoRun);
    EXPECT_TRUE(info.Pictures);
    EXPECT_FALSE(info.AutoUpdateRSS);
    EXPECT_EQ(info.LastRSSUpdate.Year, 0);
    EXPECT_EQ(info.LastBookShelfUpdate.Minute, 7);

    SaveSystemInfo(filledSystemInfo());
    const std::string whole = readFile(path);
    writeFile(path, whole.substr(0, whole.find("AutoUpdateBookShelfs") + 10));
    info = loadedSystemInfo();
    EXPECT_EQ(info.Language, 7);
    EXPECT_EQ(info.RSSUpdatePeriod, 4);
    EXPECT_FALSE(info.AutoUpdateBookShelfs);
    EXPECT_FALSE(info.AutoRun);
}

TEST_F(SettingsStoreTest, AccountTextOutsideTheCodePageReadsEmptyAndTheRestStays) {
    std::filesystem::create_directories(configFolder());
    writeFile(configFolder() + "account.ini",
              "[Account]\nLogin = \xF0\x9F\x93\x9A reader\nPassword = secret\n[Proxy]\n"
              "Port = 80x\nHost = " +
                  std::string(400, 'h') + "\n");
    const TUserData data = loadedUserData();
    EXPECT_EQ(data.Login.text(), "");
    EXPECT_EQ(data.Password.text(), "secret");
    EXPECT_EQ(data.ProxyPort, 0);
    EXPECT_EQ(data.ProxyHost.text(), "");
}

TEST_F(SettingsStoreTest, UnreadableAccountFileLeavesTheRecordAsItWas) {
    std::filesystem::create_directories(configFolder() + "account.ini");
    TUserData data = filledUserData();
    LoadUserData(&data);
    const TUserData expected = filledUserData();
    EXPECT_TRUE(sameBytes(&data, &expected, sizeof data));
}

TEST_F(SettingsStoreTest, SavesThatCannotBeStoredReportFalseAndLeaveThePreviousSettings) {
    ASSERT_TRUE(SaveSystemInfo(filledSystemInfo()));
    ASSERT_TRUE(SaveUserData(filledUserData()));
    const std::string settingsBefore = readFile(hostkit::systemInfoPath());
    const std::string accountBefore = readFile(hostkit::userDataPath());
    TSystemInfo changedInfo = filledSystemInfo();
    changedInfo.Language = 3;
    TUserData changedData = filledUserData();
    changedData.Login.assign("someone else");

    {
        const test::FileSizeLimit fullDisk(0);
        EXPECT_FALSE(SaveSystemInfo(changedInfo));
        EXPECT_FALSE(SaveUserData(changedData));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(hostkit::settingsFolder()),
                            std::filesystem::directory_iterator()),
              2);
    EXPECT_EQ(readFile(hostkit::systemInfoPath()), settingsBefore);
    EXPECT_EQ(readFile(hostkit::userDataPath()), accountBefore);

    // Configuration homes where no folder can be made: its place is taken by a
    // file, or a level above it is a file.
    std::filesystem::create_directories(root().file("taken"));
    writeFile(root().file("taken/quillbox"), "a file");
    writeFile(root().file("plain"), "a file");
    for (const std::string& home : {root().file("taken"), root().file("plain/config")}) {
        SCOPED_TRACE(home);
        const test::EnvGuard config("XDG_CONFIG_HOME", home);
        EXPECT_FALSE(SaveSystemInfo(changedInfo));
        EXPECT_FALSE(SaveUserData(changedData));
        EXPECT_EQ(loadedSystemInfo().Language, -1);
    }
    EXPECT_EQ(readFile(root().file("taken/quillbox")), "a file");
    EXPECT_EQ(readFile(root().file("plain")), "a file");

    EXPECT_EQ(loadedSystemInfo().Language, 7);
    EXPECT_EQ(loadedUserData().Login.text(), kIvan);
}
