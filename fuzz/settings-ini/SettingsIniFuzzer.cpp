// Any bytes as the settings and account files, read the way Hostkit reads
// them: every value must come back within its range whatever the file says.
// The account texts must match the document parsed from the same bytes, and
// the bytes also go through the value escaping, whose round trip
// decodeValue(encodeValue(x)) == x holds for any bytes and code page.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/SystemTypes.h"
#include "fuzz/support/FuzzFolder.h"
#include "hostkit/IniText.h"
#include "hostkit/SettingsStore.h"
#include "platform/CodePage.h"

namespace {

using namespace quillbox;

constexpr const char* kCodePages[] = {"WINDOWS-1251", "WINDOWS-1252", "KOI8-R", "NO-SUCH-CODEPAGE"};

bool validStamp(const TStamp& stamp) {
    const bool never = stamp.Year == 0 && stamp.Month == 0 && stamp.Day == 0 && stamp.Hour == 0 &&
                       stamp.Minute == 0;
    return never ||
           (stamp.Year >= 1 && stamp.Year <= 9999 && stamp.Month >= 1 && stamp.Month <= 12 &&
            stamp.Day >= 1 && stamp.Day <= 31 && stamp.Hour <= 23 && stamp.Minute <= 59);
}

void checkSettings(const TSystemInfo& info) {
    if (info.RSSUpdatePeriod < 1 || info.RSSUpdatePeriod > 6 || info.BookShelfUpdatePeriod < 1 ||
        info.BookShelfUpdatePeriod > 3 || info.Language == 0 || info.Language < -1 ||
        info.Language > 25 || !validStamp(info.LastRSSUpdate) ||
        !validStamp(info.LastBookShelfUpdate)) {
        __builtin_trap();
    }
}

// An account text must be what the document holds under section/key, decoded
// in the system code page; empty when missing, undecodable or too long.
void requireText(const TShortString& field, const hostkit::IniDocument& document,
                 const char* section, const char* key) {
    const std::optional<std::string> text = document.value(section, key);
    const std::optional<std::string> bytes =
        text ? hostkit::decodeValue(*text, platform::systemAnsiCodePage()) : std::nullopt;
    const bool fits = bytes && bytes->size() <= sizeof field.Chars;
    if (field.text() != (fits ? std::string_view(*bytes) : std::string_view())) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("XDG_CONFIG_HOME", fuzz::scratchFolder().c_str(), 1);
    std::filesystem::create_directories(hostkit::settingsFolder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeWholeFile(hostkit::systemInfoPath(), bytes);
    fuzz::writeWholeFile(hostkit::userDataPath(), bytes);

    checkSettings(hostkit::loadSystemInfo());
    const Result<TUserData> user = hostkit::loadUserData();
    if (!user.ok()) {
        __builtin_trap();
    }
    const hostkit::IniDocument document = hostkit::IniDocument::parse(bytes);
    requireText(user.value().Login, document, "Account", "Login");
    requireText(user.value().Password, document, "Account", "Password");
    requireText(user.value().ProxyHost, document, "Proxy", "Host");
    requireText(user.value().ProxyLogin, document, "Proxy", "Login");
    requireText(user.value().ProxyPassword, document, "Proxy", "Password");

    const char* codePage = kCodePages[size % std::size(kCodePages)];
    if (hostkit::decodeValue(hostkit::encodeValue(bytes, codePage), codePage) != bytes) {
        __builtin_trap();
    }
    return 0;
}
