#include "hostkit/SettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "hostkit/IniText.h"
#include "platform/Autostart.h"
#include "platform/CodePage.h"
#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "platform/ProgramFolder.h"

// settings.ini:
//   [Settings]
//   Language = -1                  -1 or 1..25
//   RSSUpdatePeriod = 1            1..6
//   BookShelfUpdatePeriod = 1      1..3
//   AutoUpdateRSS = false          true / false (also yes/no, on/off, 1/0)
//   AutoUpdateBookShelfs = false
//   Pictures = false
//   AutoRun = false
//   LastRSSUpdate = 2024-05-01 13:45        year-month-day hour:minute, zeros for never
//   LastBookShelfUpdate = 0000-00-00 00:00
//
// account.ini (mode 0600):
//   [Account]  Login, Password
//   [Proxy]    UseProxy, Host, Port (an int32), Login, Password
//   [Options]  Pictures
//
// Texts are the records' ANSI bytes decoded with the system ANSI code page and
// written as UTF-8, with escapes for bytes the text form cannot carry (see
// IniText.h). A value that is missing, malformed or out of range reads as its
// first-use value; the rest of the file still counts.

namespace quillbox::hostkit {
namespace {

constexpr std::size_t kLargestFile = 1u << 20;

const char* const kSettings = "Settings";
const char* const kAccount = "Account";
const char* const kProxy = "Proxy";
const char* const kOptions = "Options";

// The file's bytes; nullopt when there is no file; an error when it is there
// but cannot be read. Only the first kLargestFile bytes count.
Result<std::optional<std::string>> readSmallFile(const std::string& path) {
    const platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            return std::optional<std::string>();
        }
        return Error{errno, "cannot open " + path + ": " + std::strerror(errno)};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Error{EISDIR, "not a file: " + path};
    }
    std::string bytes(kLargestFile, '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const int code = errno;
            return Error{code, "cannot read " + path + ": " + std::strerror(code)};
        }
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);
    return std::optional<std::string>(std::move(bytes));
}

std::optional<long long> parseInteger(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> parseSwitch(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true" || lower == "yes" || lower == "on" || lower == "1") {
        return true;
    }
    if (lower == "false" || lower == "no" || lower == "off" || lower == "0") {
        return false;
    }
    return std::nullopt;
}

std::string switchText(bool value) {
    return value ? "true" : "false";
}

std::string stampText(const TStamp& stamp) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", unsigned{stamp.Year},
                  unsigned{stamp.Month}, unsigned{stamp.Day}, unsigned{stamp.Hour},
                  unsigned{stamp.Minute});
    return text;
}

bool isValidStamp(const TStamp& stamp) {
    const bool never = stamp.Year == 0 && stamp.Month == 0 && stamp.Day == 0 && stamp.Hour == 0 &&
                       stamp.Minute == 0;
    return never ||
           (stamp.Year >= 1 && stamp.Year <= 9999 && stamp.Month >= 1 && stamp.Month <= 12 &&
            stamp.Day >= 1 && stamp.Day <= 31 && stamp.Hour <= 23 && stamp.Minute <= 59);
}

// "YYYY-MM-DD hh:mm"; nullopt when malformed or not a date and time.
std::optional<TStamp> parseStamp(std::string_view text) {
    std::uint16_t parts[5] = {};
    const char separators[4] = {'-', '-', ' ', ':'};
    for (int i = 0; i < 5; ++i) {
        const std::size_t end = i < 4 ? text.find(separators[i]) : text.size();
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<long long> number = parseInteger(text.substr(0, end));
        if (!number || *number < 0 || *number > 65535) {
            return std::nullopt;
        }
        parts[i] = static_cast<std::uint16_t>(*number);
        text = i < 4 ? text.substr(end + 1) : std::string_view();
    }
    const TStamp stamp{parts[0], parts[1], parts[2], parts[3], parts[4]};
    if (!isValidStamp(stamp)) {
        return std::nullopt;
    }
    return stamp;
}

// Reads an integer; fallback when missing, malformed or outside [low, high].
std::int32_t integerOr(const IniDocument& document, const char* section, const char* key,
                       long long low, long long high, std::int32_t fallback) {
    const std::optional<std::string> text = document.value(section, key);
    const std::optional<long long> number = text ? parseInteger(*text) : std::nullopt;
    if (!number || *number < low || *number > high) {
        return fallback;
    }
    return static_cast<std::int32_t>(*number);
}

bool switchOr(const IniDocument& document, const char* section, const char* key) {
    const std::optional<std::string> text = document.value(section, key);
    const std::optional<bool> value = text ? parseSwitch(*text) : std::nullopt;
    return value.value_or(false);
}

TStamp stampOr(const IniDocument& document, const char* section, const char* key) {
    const std::optional<std::string> text = document.value(section, key);
    const std::optional<TStamp> stamp = text ? parseStamp(*text) : std::nullopt;
    return stamp.value_or(TStamp{0, 0, 0, 0, 0});
}

// A short string; empty when missing, not representable or too long.
void readText(const IniDocument& document, const char* section, const char* key,
              const std::string& codePage, TShortString& field) {
    field.assign("");
    const std::optional<std::string> text = document.value(section, key);
    if (!text) {
        return;
    }
    const std::optional<std::string> bytes = decodeValue(*text, codePage);
    if (bytes && bytes->size() <= sizeof field.Chars) {
        field.assign(*bytes);
    }
}

void writeText(IniWriter& writer, const char* key, const TShortString& field,
               const std::string& codePage) {
    writer.entry(key, encodeValue(field.text(), codePage));
}

Status writeSettingsFile(const std::string& path, const std::string& text, unsigned mode) {
    Status folder = platform::createPrivateFolders(settingsFolder());
    if (!folder) {
        return folder;
    }
    return platform::writeFileAtomically(path, text, mode);
}

}  // namespace

std::string settingsFolder() {
    return platform::configHome() + "quillbox/";
}
std::string systemInfoPath() {
    return settingsFolder() + "settings.ini";
}
std::string userDataPath() {
    return settingsFolder() + "account.ini";
}

TSystemInfo defaultSystemInfo() {
    TSystemInfo info{};
    info.RSSUpdatePeriod = 1;
    info.BookShelfUpdatePeriod = 1;
    info.Language = -1;
    info.BaseFolder.assign(platform::programFolder());
    return info;
}

TSystemInfo loadSystemInfo() {
    TSystemInfo info = defaultSystemInfo();
    const Result<std::optional<std::string>> bytes = readSmallFile(systemInfoPath());
    if (!bytes || !bytes.value()) {
        return info;
    }
    const IniDocument document = IniDocument::parse(*bytes.value());
    info.RSSUpdatePeriod = integerOr(document, kSettings, "RSSUpdatePeriod", 1, 6, 1);
    info.BookShelfUpdatePeriod = integerOr(document, kSettings, "BookShelfUpdatePeriod", 1, 3, 1);
    info.Language = integerOr(document, kSettings, "Language", -1, 25, -1);
    if (info.Language == 0) {
        info.Language = -1;
    }
    info.AutoUpdateRSS = switchOr(document, kSettings, "AutoUpdateRSS");
    info.AutoUpdateBookShelfs = switchOr(document, kSettings, "AutoUpdateBookShelfs");
    info.Pictures = switchOr(document, kSettings, "Pictures");
    info.AutoRun = switchOr(document, kSettings, "AutoRun");
    info.LastRSSUpdate = stampOr(document, kSettings, "LastRSSUpdate");
    info.LastBookShelfUpdate = stampOr(document, kSettings, "LastBookShelfUpdate");
    return info;
}

Status saveSystemInfo(const TSystemInfo& info) {
    IniWriter writer;
    writer.comment("Quillbox settings, rewritten by the program when they change.");
    writer.section(kSettings);
    writer.entry("Language", std::to_string(info.Language));
    writer.entry("RSSUpdatePeriod", std::to_string(info.RSSUpdatePeriod));
    writer.entry("BookShelfUpdatePeriod", std::to_string(info.BookShelfUpdatePeriod));
    writer.entry("AutoUpdateRSS", switchText(info.AutoUpdateRSS));
    writer.entry("AutoUpdateBookShelfs", switchText(info.AutoUpdateBookShelfs));
    writer.entry("Pictures", switchText(info.Pictures));
    writer.entry("AutoRun", switchText(info.AutoRun));
    writer.entry("LastRSSUpdate", stampText(info.LastRSSUpdate));
    writer.entry("LastBookShelfUpdate", stampText(info.LastBookShelfUpdate));
    return writeSettingsFile(systemInfoPath(), writer.text(), 0644);
}

Result<TUserData> loadUserData() {
    TUserData data{};
    const Result<std::optional<std::string>> bytes = readSmallFile(userDataPath());
    if (!bytes) {
        return bytes.error();
    }
    if (!bytes.value()) {
        return data;
    }
    const std::string codePage = platform::systemAnsiCodePage();
    const IniDocument document = IniDocument::parse(*bytes.value());
    readText(document, kAccount, "Login", codePage, data.Login);
    readText(document, kAccount, "Password", codePage, data.Password);
    data.UseProxy = switchOr(document, kProxy, "UseProxy");
    readText(document, kProxy, "Host", codePage, data.ProxyHost);
    data.ProxyPort = integerOr(document, kProxy, "Port", INT32_MIN, INT32_MAX, 0);
    readText(document, kProxy, "Login", codePage, data.ProxyLogin);
    readText(document, kProxy, "Password", codePage, data.ProxyPassword);
    data.Pictures = switchOr(document, kOptions, "Pictures");
    return data;
}

Status saveUserData(const TUserData& data) {
    const std::string codePage = platform::systemAnsiCodePage();
    IniWriter writer;
    writer.comment("Quillbox account and proxy data, rewritten by the program.");
    writer.comment("Texts are UTF-8; \\xHH stands for a byte, \\\\ for a backslash.");
    writer.section(kAccount);
    writeText(writer, "Login", data.Login, codePage);
    writeText(writer, "Password", data.Password, codePage);
    writer.section(kProxy);
    writer.entry("UseProxy", switchText(data.UseProxy));
    writeText(writer, "Host", data.ProxyHost, codePage);
    writer.entry("Port", std::to_string(data.ProxyPort));
    writeText(writer, "Login", data.ProxyLogin, codePage);
    writeText(writer, "Password", data.ProxyPassword, codePage);
    writer.section(kOptions);
    writer.entry("Pictures", switchText(data.Pictures));
    return writeSettingsFile(userDataPath(), writer.text(), 0600);
}

}  // namespace quillbox::hostkit
