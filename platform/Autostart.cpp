#include "platform/Autostart.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/FileCopy.h"

namespace quillbox::platform {
namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/tmp";
}

}  // namespace

std::string configHome() {
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the base-directory rules say.
    if (configured != nullptr && *configured == '/') {
        return withSlash(configured);
    }
    return withSlash(homeFolder()) + ".config/";
}

Status createPrivateFolders(const std::string& folder) {
    std::string path;
    std::size_t position = 0;
    while (position < folder.size()) {
        const std::size_t slash = folder.find('/', position + 1);
        path = folder.substr(0, slash);
        position = slash == std::string::npos ? folder.size() : slash;
        if (path.empty() || path == "/") {
            continue;
        }
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return Error{errno, "cannot create " + path + ": " + std::strerror(errno)};
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Error{ENOTDIR, "not a folder: " + folder};
    }
    return Done{};
}

std::string autostartEntryPath() {
    return configHome() + "autostart/quillbox.desktop";
}

std::string quoteExecArgument(std::string_view argument) {
    // First the Exec quoting ('"', '`', '$' and '\' take a backslash inside
    // quotes, '%' is doubled as it would start a field code), then the escapes
    // of a desktop-entry string, which turn every '\' into "\\" again.
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted.push_back('\\');
        } else if (c == '%') {
            quoted.push_back('%');
        }
        quoted.push_back(c);
    }
    quoted.push_back('"');

    std::string escaped;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default:
                escaped.push_back(c);
        }
    }
    return escaped;
}

std::string autostartEntryText(const std::string& executable) {
    // An XDG desktop entry; the session starts it at logon.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillbox\n"
           "Exec=" +
           quoteExecArgument(executable) +
           " auto\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

Status enableAutostart(const std::string& executable) {
    const std::string path = autostartEntryPath();
    Status folder = createPrivateFolders(configHome() + "autostart");
    if (!folder) {
        return folder;
    }
    return writeFileAtomically(path, autostartEntryText(executable), 0644);
}

Status disableAutostart() {
    const std::string path = autostartEntryPath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Error{errno, "cannot remove " + path + ": " + std::strerror(errno)};
    }
    return Done{};
}

}  // namespace quillbox::platform
