// The scan of a Language folder and the load of one language into the tables,
// over the real modules and the fakes (see CMakeLists.txt for their settings).

#include "app/LanguageTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

using quillbox::app::LanguageModule;
using quillbox::app::LanguageTables;
using quillbox::app::loadLanguageResource;
using quillbox::app::readLanguageDir;
using quillbox::test::TempDir;

namespace {

std::string builtModule(const std::string& file) {
    const bool real = file == "english.so" || file == "russian.so";
    return (real ? QUILLBOX_LANGUAGE_MODULE_DIR : QUILLBOX_FAKE_LANGUAGE_DIR) + file;
}

// A fresh Language folder; each install copies a built module under a name of
// the test's choice (a copy is a new file, so it loads as a module of its own).
class LanguageFolder {
  public:
    std::string install(const std::string& module, const std::string& asName) {
        const std::string target = m_dir.file(asName);
        std::filesystem::copy_file(builtModule(module), target);
        return target;
    }
    const TempDir& dir() const { return m_dir; }

  private:
    TempDir m_dir;
};

bool sameTables(const LanguageTables& a, const LanguageTables& b) {
    return a.LanguageNames == b.LanguageNames && a.LanguageFiles == b.LanguageFiles &&
           a.LanguageCount == b.LanguageCount && a.LanguageStrings == b.LanguageStrings &&
           a.Charset == b.Charset;
}

struct ScanCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> installs;  // module, installed as
    std::vector<std::string> junkFiles;                         // written as text
    std::vector<std::string> folders;                           // created as folders
    int count;
    std::map<int, std::pair<std::string, std::string>> slots;  // slot: name, file
};

const ScanCase kScanCases[] = {
    {"RealModules",
     {{"english.so", "english.so"}, {"russian.so", "russian.so"}},
     {},
     {},
     2,
     {{1, {"English", "english.so"}}, {2, {"\xD0\xF3\xF1\xF1\xEA\xE8\xE9", "russian.so"}}}},
    {"IdentifierInOtherCaseOrWithExtraCharacterIsRejected",
     {{"fake_case.so", "fake_case.so"}, {"fake_extra.so", "fake_extra.so"}, {"fake_a.so", "a.so"}},
     {},
     {},
     1,
     {{3, {"fake_a", "a.so"}}}},
    {"SameSlotTwiceCountsTwiceAndTheLaterNameWins",
     {{"fake_b.so", "2.so"}, {"fake_a.so", "1.so"}},
     {},
     {},
     2,
     {{3, {"fake_b", "2.so"}}}},
    {"SameSlotTwiceInTheOtherNameOrder",
     {{"fake_a.so", "2.so"}, {"fake_b.so", "1.so"}},
     {},
     {},
     2,
     {{3, {"fake_a", "2.so"}}}},
    {"SlotOutsideTheTablesIsSkippedAndNotCounted",
     {{"fake_slot0.so", "zero.so"}, {"fake_slot26.so", "big.so"}, {"fake_oem.so", "oem.so"}},
     {},
     {},
     1,
     {{4, {"fake_oem", "oem.so"}}}},
    {"OnlyLoadableSoFilesWithTheRecordCount",
     {{"fake_no_info.so", "noinfo.so"},
      {"fake_a.so", "a.so"},
      {"fake_oem.so", "oem.so.1"},
      {"fake_b.so", "b.SO"}},
     {"text.so"},
     {"folder.so"},
     1,
     {{3, {"fake_a", "a.so"}}}},
    {"EmptyFolder", {}, {}, {}, 0, {}},
};

void PrintTo(const ScanCase& scan, std::ostream* out) {
    *out << scan.name;
}

class LanguageScan : public testing::TestWithParam<ScanCase> {};

TEST_P(LanguageScan, FillsTheSlotTables) {
    const ScanCase& scan = GetParam();
    LanguageFolder folder;
    for (const auto& [module, asName] : scan.installs) {
        folder.install(module, asName);
    }
    for (const std::string& junk : scan.junkFiles) {
        quillbox::test::writeFile(folder.dir().file(junk), "not a library\n");
    }
    for (const std::string& name : scan.folders) {
        std::filesystem::create_directory(folder.dir().file(name));
    }
    LanguageTables tables;
    tables.LanguageNames[7] = "left from before";
    tables.LanguageCount = 9;

    EXPECT_EQ(readLanguageDir(tables, folder.dir().path()), scan.count);
    EXPECT_EQ(tables.LanguageCount, scan.count);
    for (int slot = 0; slot <= kLanguageSlots; ++slot) {
        const auto expected = scan.slots.find(slot);
        const std::pair<std::string, std::string> want =
            expected == scan.slots.end() ? std::pair<std::string, std::string>{} : expected->second;
        EXPECT_EQ(tables.LanguageNames[slot], want.first) << "slot " << slot;
        EXPECT_EQ(tables.LanguageFiles[slot], want.second) << "slot " << slot;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageScan, testing::ValuesIn(kScanCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(LanguageScan, MissingFolderFindsNothing) {
    LanguageTables tables;
    EXPECT_EQ(readLanguageDir(tables, "/nonexistent/quillbox/Language/"), 0);
}

TEST(LanguageScan, LanguageFolderLiesBesideTheProgramWhereverItsDataIs) {
    // The data folder may be elsewhere (QUILLBOX_HOME), the current directory
    // anything: the modules are installed with the executable.
    quillbox::test::EnvGuard home("QUILLBOX_HOME", "/opt/quillbox-data");
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(quillbox::app::languageFolder(),
              executable.substr(0, executable.rfind('/') + 1) + "Language/");
}

class LanguageLoad : public testing::Test {
  protected:
    std::string path(const std::string& module) {
        const std::string installed = m_folder.dir().file(module);
        if (!std::filesystem::exists(installed)) {
            m_folder.install(module, module);
        }
        return installed;
    }
    LanguageFolder m_folder;
    LanguageTables m_tables;
};

TEST_F(LanguageLoad, RealLanguageGivesItsStringsAndCharset) {
    ASSERT_TRUE(loadLanguageResource(m_tables, path("russian.so")));
    EXPECT_EQ(m_tables.Charset, 204);
    EXPECT_EQ(m_tables.LanguageStrings[55], "RUSSIAN_CHARSET");
    EXPECT_EQ(m_tables.LanguageStrings[10], "\xCD\xEE\xE2\xEE\xF1\xF2\xE8");  // Новости
    for (int id = 1; id <= kLanguageStringCount; ++id) {
        EXPECT_FALSE(m_tables.LanguageStrings[id].empty()) << id;
    }
    ASSERT_TRUE(loadLanguageResource(m_tables, path("english.so")));
    EXPECT_EQ(m_tables.Charset, 0);
    EXPECT_EQ(m_tables.LanguageStrings[10], "News");
}

TEST_F(LanguageLoad, LoadingTwiceGivesTheSameTables) {
    for (const char* module : {"russian.so", "english.so", "fake_a.so"}) {
        ASSERT_TRUE(loadLanguageResource(m_tables, path(module))) << module;
        const LanguageTables once = m_tables;
        ASSERT_TRUE(loadLanguageResource(m_tables, path(module))) << module;
        EXPECT_TRUE(sameTables(once, m_tables)) << module;
    }
}

TEST_F(LanguageLoad, StringsAreCutAndMissingOnesBecomeEmpty) {
    m_tables.LanguageStrings.fill("old");
    ASSERT_TRUE(loadLanguageResource(m_tables, path("fake_a.so")));
    EXPECT_EQ(m_tables.LanguageStrings[1], "fake_a");
    EXPECT_EQ(m_tables.LanguageStrings[51], std::string(999, 'x'));
    EXPECT_EQ(m_tables.LanguageStrings[2], "");
    EXPECT_EQ(m_tables.Charset, 238);
}

TEST_F(LanguageLoad, CharsetStaysWhenStringIsMissingOrUnknown) {
    const struct {
        const char* before;  // loaded first, or null: a fresh start
        const char* module;
        int charset;
    } cases[] = {
        {nullptr, "fake_b.so", 0},          // no string 55 at start
        {"russian.so", "fake_b.so", 204},   // no string 55 after Russian
        {"fake_a.so", "fake_oem.so", 238},  // a name the program does not know
    };
    for (const auto& entry : cases) {
        LanguageTables tables;
        if (entry.before != nullptr) {
            ASSERT_TRUE(loadLanguageResource(tables, path(entry.before)));
        }
        ASSERT_TRUE(loadLanguageResource(tables, path(entry.module)));
        EXPECT_EQ(tables.Charset, entry.charset) << entry.module;
    }
}

TEST_F(LanguageLoad, FileThatDoesNotLoadChangesNothing) {
    ASSERT_TRUE(loadLanguageResource(m_tables, path("russian.so")));
    const LanguageTables before = m_tables;
    quillbox::test::writeFile(m_folder.dir().file("broken.so"), "not a library\n");
    bool picturesAsked = false;
    for (const std::string& bad : {m_folder.dir().file("broken.so"), m_folder.dir().file("gone.so"),
                                   m_folder.dir().path()}) {
        EXPECT_FALSE(loadLanguageResource(m_tables, bad, [&](const LanguageModule&) {
            picturesAsked = true;
        })) << bad;
        EXPECT_TRUE(sameTables(before, m_tables)) << bad;
    }
    EXPECT_FALSE(picturesAsked);
}

TEST_F(LanguageLoad, PicturesAreOfferedWhileTheModuleIsOpen) {
    std::string icon;
    bool othersEmpty = false;
    ASSERT_TRUE(loadLanguageResource(m_tables, path("english.so"), [&](const LanguageModule& m) {
        const auto bytes = m.picture("MenuIcon");
        icon.assign(bytes.begin(), bytes.end());
        othersEmpty = m.picture("NoSuchIcon").empty() && m.picture(nullptr).empty();
    }));
    if (QUILLBOX_LANGUAGE_PICTURES) {
        EXPECT_EQ(icon.substr(0, 8), "\x89PNG\r\n\x1A\n");
    } else {
        EXPECT_EQ(icon, "");
    }
    EXPECT_TRUE(othersEmpty);
}

}  // namespace
