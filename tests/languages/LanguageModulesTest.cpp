// The real language modules, through their C interface: their record, all 55
// strings within the lengths the program keeps, in their code page, and the
// button pictures (when the build draws them) as PNG of each control's size.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

// One real module opened with dlopen, its three functions looked up; closed
// when this goes.
class OpenedModule {
  public:
    explicit OpenedModule(const char* file) {
        const std::string path = std::string(QUILLBOX_LANGUAGE_MODULE_DIR) + file;
        m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle == nullptr) {
            m_error = ::dlerror();
            return;
        }
        info = reinterpret_cast<decltype(&GetResourceInfo)>(::dlsym(m_handle, "GetResourceInfo"));
        string =
            reinterpret_cast<decltype(&GetLanguageString)>(::dlsym(m_handle, "GetLanguageString"));
        picture = reinterpret_cast<decltype(&GetLanguagePicture)>(
            ::dlsym(m_handle, "GetLanguagePicture"));
        if (!info || !string || !picture) {
            m_error = std::string(file) + " lacks a function of its contract";
        }
    }
    ~OpenedModule() {
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }
    OpenedModule(const OpenedModule&) = delete;
    OpenedModule& operator=(const OpenedModule&) = delete;

    // Empty when the module opened with all three functions.
    const std::string& error() const { return m_error; }
    // The bytes of picture name; empty when the module has none.
    std::string pictureBytes(const char* name) const {
        const unsigned char* data = nullptr;
        const int size = picture(name, &data);
        return size > 0 ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
    }

    decltype(&GetResourceInfo) info = nullptr;
    decltype(&GetLanguageString) string = nullptr;
    decltype(&GetLanguagePicture) picture = nullptr;

  private:
    void* m_handle = nullptr;
    std::string m_error;
};

// The pictures the window asks for, at the design size of the control that
// shows each ("MenuIcon" serves two buttons of the same size).
struct PictureSize {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
};

const PictureSize kPictureSizes[] = {
    {"MenuRSSIcon", 110, 110},
    {"MenuBookShelfIcon", 110, 110},
    {"MenuMoneyIcon", 110, 110},
    {"MenuUpdateIcon", 110, 110},
    {"MenuSettingIcon", 110, 110},
    {"MenuAboutIcon", 110, 110},
    {"MenuLinkIcon", 110, 110},
    {"MenuMinimizeIcon", 110, 110},
    {"MenuExitIcon", 110, 110},
    {"AddRSSIcon", 111, 35},
    {"DeleteRSSIcon", 111, 35},
    {"MenuBookIcon", 111, 35},
    {"BookShelfIconMenu", 150, 40},
    {"CancelIcon", 110, 40},
    {"SaveIcon", 110, 40},
    {"MenuIcon", 110, 40},
    {"DownloadBook", 111, 35},
    {"DeleteBookFromComputerIcon", 166, 35},
    {"SaveBookIcon", 111, 35},
    {"DeleteBookFromDeviceIcon", 166, 35},
    {"UpdateBookShelfIcon", 150, 40},
    {"Convert", 165, 35},
    {"UpdateRSSIcon", 165, 35},
};

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

class RealLanguageModule : public testing::TestWithParam<RealModule> {
  protected:
    void SetUp() override { ASSERT_EQ(m_module.error(), ""); }

    std::string utf8(const std::string& bytes) const {
        const auto text = quillbox::platform::toUtf8(bytes, GetParam().codePage);
        return text ? text.value() : "<not " + std::string(GetParam().codePage) + ">";
    }

    OpenedModule m_module{GetParam().file};
    decltype(&GetResourceInfo) m_info = m_module.info;
    decltype(&GetLanguageString) m_string = m_module.string;
    decltype(&GetLanguagePicture) m_picture = m_module.picture;
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

TEST_P(RealLanguageModule, HoldsEveryButtonPictureAsPngOfItsControlsSize) {
    for (const auto& [name, width, height] : kPictureSizes) {
        const std::string png = m_module.pictureBytes(name);
        if (!QUILLBOX_LANGUAGE_PICTURES) {
            EXPECT_TRUE(png.empty()) << name;
            continue;
        }
        ASSERT_GE(png.size(), 45u) << name;  // signature, IHDR and IEND chunks
        EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16)) << name;
        EXPECT_EQ(bigEndian32(png, 16), width) << name;
        EXPECT_EQ(bigEndian32(png, 20), height) << name;
        EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12))
            << name;
    }
}

TEST_P(RealLanguageModule, AnswersNoneForUnknownPictureNames) {
    for (const char* name :
         {"NoSuchIcon", "menuicon", "MenuIcon ", "", static_cast<const char*>(nullptr)}) {
        const unsigned char* data = reinterpret_cast<const unsigned char*>("x");
        EXPECT_EQ(m_picture(name, &data), 0) << (name ? name : "null");
        EXPECT_EQ(data, nullptr) << (name ? name : "null");
    }
    EXPECT_EQ(m_picture("MenuIcon", nullptr), 0);
}

INSTANTIATE_TEST_SUITE_P(Modules, RealLanguageModule, testing::ValuesIn(kRealModules),
                         [](const auto& param) {
                             const std::string file = param.param.file;
                             return file.substr(0, file.find('.'));
                         });

#if QUILLBOX_LANGUAGE_PICTURES
// Every caption is translated except the store's name, so every picture but
// that one differs, and that one comes out byte for byte the same.
TEST(RealLanguageModules, PicturesDifferWhereTheirCaptionsDo) {
    const OpenedModule english("english.so");
    const OpenedModule russian("russian.so");
    ASSERT_EQ(english.error() + russian.error(), "");
    for (const auto& picture : kPictureSizes) {
        const bool same = english.pictureBytes(picture.name) == russian.pictureBytes(picture.name);
        EXPECT_EQ(same, std::string(picture.name) == "MenuLinkIcon") << picture.name;
    }
}
#endif

}  // namespace
