// The real language modules, through their C interface: their record, all 55
// strings within the lengths the program keeps, in their code page.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "contracts/Language.h"
#include "languages/LanguageModule.h"
#include "platform/CodePage.h"

namespace {

struct RealModule {
    const char* file;
    const char* displayName;  // UTF-8
    int slot;
    const char* codePage;
    const char* charsetName;
    // The UTF-8 source of the texts when this test is linked with it.
    const quillbox::languages::LanguageTexts* source;
};

const RealModule kRealModules[] = {
    {"english.so", "English", 1, "WINDOWS-1252", "ANSI_CHARSET", nullptr},
    {"russian.so", "Русский", 2, "WINDOWS-1251", "RUSSIAN_CHARSET",
     &quillbox::languages::languageTexts()},
};

void PrintTo(const RealModule& module, std::ostream* out) {
    *out << module.file;
}

// The names the window asks pictures for.
const char* const kPictureNames[] = {"MenuRSSIcon",
                                     "MenuBookShelfIcon",
                                     "MenuMoneyIcon",
                                     "MenuUpdateIcon",
                                     "MenuSettingIcon",
                                     "MenuAboutIcon",
                                     "MenuLinkIcon",
                                     "MenuMinimizeIcon",
                                     "MenuExitIcon",
                                     "AddRSSIcon",
                                     "DeleteRSSIcon",
                                     "MenuBookIcon",
                                     "BookShelfIconMenu",
                                     "CancelIcon",
                                     "SaveIcon",
                                     "MenuIcon",
                                     "DownloadBook",
                                     "DeleteBookFromComputerIcon",
                                     "SaveBookIcon",
                                     "DeleteBookFromDeviceIcon",
                                     "UpdateBookShelfIcon",
                                     "Convert",
                                     "UpdateRSSIcon"};

class RealLanguageModule : public testing::TestWithParam<RealModule> {
  protected:
    void SetUp() override {
        const std::string path = std::string(QUILLBOX_LANGUAGE_MODULE_DIR) + GetParam().file;
        m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << ::dlerror();
        m_info = reinterpret_cast<decltype(&GetResourceInfo)>(::dlsym(m_handle, "GetResourceInfo"));
        m_string =
            reinterpret_cast<decltype(&GetLanguageString)>(::dlsym(m_handle, "GetLanguageString"));
        m_picture = reinterpret_cast<decltype(&GetLanguagePicture)>(
            ::dlsym(m_handle, "GetLanguagePicture"));
        ASSERT_TRUE(m_info && m_string && m_picture);
    }
    void TearDown() override {
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }

    std::string utf8(const std::string& bytes) const {
        const auto text = quillbox::platform::toUtf8(bytes, GetParam().codePage);
        return text ? text.value() : "<not " + std::string(GetParam().codePage) + ">";
    }

    void* m_handle = nullptr;
    decltype(&GetResourceInfo) m_info = nullptr;
    decltype(&GetLanguageString) m_string = nullptr;
    decltype(&GetLanguagePicture) m_picture = nullptr;
};

TEST_P(RealLanguageModule, FillsTheMarkerItsNameAndSlot) {
    TResourceInfo info;
    std::fill_n(reinterpret_cast<unsigned char*>(&info), sizeof info, 0xEE);
    m_info(&info);
    EXPECT_EQ(info.Identifier.Length, 29);
    EXPECT_EQ(info.Identifier.text(), kLanguageIdentifier);
    EXPECT_EQ(utf8(std::string(info.DisplayName.text())), GetParam().displayName);
    EXPECT_EQ(info.Slot, GetParam().slot);
}

TEST_P(RealLanguageModule, HasAll55StringsWithinTheirLengthsInItsCodePage) {
    for (int id = 1; id <= kLanguageStringCount; ++id) {
        const int length = m_string(id, nullptr, 0);
        ASSERT_GT(length, 0) << "string " << id;
        EXPECT_LE(static_cast<std::size_t>(length), languageStringLimit(id)) << "string " << id;
        std::string bytes(static_cast<std::size_t>(length) + 1, '\xEE');
        EXPECT_EQ(m_string(id, bytes.data(), length + 1), length);
        ASSERT_EQ(bytes.back(), 0) << "string " << id;
        bytes.pop_back();
        const std::string text = utf8(bytes);
        const auto back = quillbox::platform::fromUtf8(text, GetParam().codePage);
        EXPECT_TRUE(back && back.value() == bytes) << "string " << id << ": " << text;
        if (const auto* source = GetParam().source) {
            const auto entry = std::find_if(source->strings.begin(), source->strings.end(),
                                            [id](const auto& s) { return s.id == id; });
            ASSERT_NE(entry, source->strings.end());
            EXPECT_EQ(text, entry->text) << "string " << id;
        }
    }
    char name[100];
    ASSERT_GT(m_string(kCharsetStringId, name, sizeof name), 0);
    EXPECT_STREQ(name, GetParam().charsetName);
}

TEST_P(RealLanguageModule, CutsToTheBufferAndAnswersMinusOneForUnknownIds) {
    const int length = m_string(51, nullptr, 0);
    char small[11];
    EXPECT_EQ(m_string(51, small, sizeof small), length);
    EXPECT_EQ(std::string(small).size(), 10u);
    for (const int id : {0, -1, kLanguageStringCount + 1}) {
        char buffer[4] = "xyz";
        EXPECT_EQ(m_string(id, buffer, sizeof buffer), -1) << id;
        EXPECT_EQ(buffer[0], 0) << id;
    }
}

TEST_P(RealLanguageModule, HoldsNoPicturesYet) {
    for (const char* name : kPictureNames) {
        const unsigned char* data = reinterpret_cast<const unsigned char*>(name);
        EXPECT_EQ(m_picture(name, &data), 0) << name;
        EXPECT_EQ(data, nullptr) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, RealLanguageModule, testing::ValuesIn(kRealModules),
                         [](const auto& param) {
                             const std::string file = param.param.file;
                             return file.substr(0, file.find('.'));
                         });

}  // namespace
