#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillbox::platform {
namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != 0) ? std::string(value) : fallback;
}

}  // namespace

std::string programFolder() {
    const char* home = std::getenv("QUILLBOX_HOME");
    if (home != nullptr && *home != 0) {
        return withSlash(home);
    }
    return executableFolder();
}

std::string executableFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return withSlash(std::filesystem::current_path(error).string());
    }
    return withSlash(exe.parent_path().string());
}

std::string dataFolder() {
    std::string program = programFolder();
    if (::access(program.c_str(), W_OK) == 0) {
        return program;
    }
    const std::string dataHome = envOr("XDG_DATA_HOME", envOr("HOME", "/tmp") + "/.local/share");
    std::string folder = withSlash(dataHome) + "quillbox/";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

}  // namespace quillbox::platform
