#include "app/LanguageTables.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "contracts/Language.h"
#include "platform/ProgramFolder.h"

namespace quillbox::app {
namespace {

// dlopen searches the library path for a name without '/'; a module is
// always taken from the folder it was given in.
void* openLibrary(const std::string& path) {
    const std::string explicitPath = path.find('/') == std::string::npos ? "./" + path : path;
    return ::dlopen(explicitPath.c_str(), RTLD_NOW | RTLD_LOCAL);
}

template <class Function>
Function lookUp(void* handle, const char* name) {
    return reinterpret_cast<Function>(::dlsym(handle, name));
}

// The names of the entries of folder that end in ".so" and are not folders
// (a link counts as what it points to), in byte order.
std::vector<std::string> candidateFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        std::string name = entries->path().filename().string();
        std::error_code kindError;
        if (name.ends_with(".so") && !entries->is_directory(kindError)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The record of the module at path when it is a language module on a valid
// slot. The module stays loaded either way.
std::optional<TResourceInfo> languageInfo(const std::string& path) {
    void* handle = openLibrary(path);
    if (handle == nullptr) {
        return std::nullopt;
    }
    using InfoFunction = void (*)(TResourceInfo*);
    const auto getInfo = lookUp<InfoFunction>(handle, "GetResourceInfo");
    if (getInfo == nullptr) {
        return std::nullopt;
    }
    TResourceInfo info{};
    getInfo(&info);
    if (info.Identifier.Length != kLanguageIdentifier.size() ||
        info.Identifier.text() != kLanguageIdentifier || info.Slot < 1 ||
        info.Slot > kLanguageSlots) {
        return std::nullopt;
    }
    return info;
}

}  // namespace

std::string languageFolder() {
    return platform::executableFolder() + "Language/";
}

std::optional<int> charsetForName(std::string_view name) {
    static constexpr std::pair<std::string_view, int> kCharsets[] = {
        {"ANSI_CHARSET", 0},
        {"DEFAULT_CHARSET", 1},
        {"RUSSIAN_CHARSET", 204},
        {"EASTEUROPE_CHARSET", 238},
    };
    for (const auto& [charsetName, charset] : kCharsets) {
        if (name == charsetName) {
            return charset;
        }
    }
    return std::nullopt;
}

int readLanguageDir(LanguageTables& tables, const std::string& folder) {
    tables.LanguageCount = 0;
    tables.LanguageNames.fill({});
    tables.LanguageFiles.fill({});
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const std::string& file : candidateFiles(prefix)) {
        const std::optional<TResourceInfo> info = languageInfo(prefix + file);
        if (!info) {
            continue;
        }
        tables.LanguageNames[info->Slot] = std::string(info->DisplayName.text());
        tables.LanguageFiles[info->Slot] = file;
        ++tables.LanguageCount;
    }
    return tables.LanguageCount;
}

std::unique_ptr<LanguageModule> LanguageModule::open(const std::string& path) {
    void* handle = openLibrary(path);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<LanguageModule>(new LanguageModule(handle));
}

LanguageModule::LanguageModule(void* handle)
    : m_handle(handle),
      m_string(lookUp<StringFunction>(handle, "GetLanguageString")),
      m_picture(lookUp<PictureFunction>(handle, "GetLanguagePicture")) {}

LanguageModule::~LanguageModule() {
    ::dlclose(m_handle);
}

std::span<const unsigned char> LanguageModule::picture(const char* name) const {
    if (m_picture == nullptr || name == nullptr) {
        return {};
    }
    const unsigned char* data = nullptr;
    const int size = m_picture(name, &data);
    if (data == nullptr || size <= 0) {
        return {};
    }
    return {data, static_cast<std::size_t>(size)};
}

std::optional<std::string> LanguageModule::string(int id, std::size_t limit) const {
    if (m_string == nullptr) {
        return std::nullopt;
    }
    std::vector<char> buffer(limit + 1, 0);
    const int length = m_string(id, buffer.data(), static_cast<int>(buffer.size()));
    if (length < 0) {
        return std::nullopt;
    }
    return std::string(buffer.data(), std::min(static_cast<std::size_t>(length), limit));
}

bool loadLanguageResource(LanguageTables& tables, const std::string& path,
                          const std::function<void(const LanguageModule&)>& usePictures) {
    const std::unique_ptr<LanguageModule> module = LanguageModule::open(path);
    if (!module) {
        return false;
    }
    if (usePictures) {
        usePictures(*module);
    }
    const std::optional<std::string> charsetName =
        module->string(kCharsetStringId, languageStringLimit(kCharsetStringId));
    if (charsetName) {
        if (const std::optional<int> charset = charsetForName(*charsetName)) {
            tables.Charset = *charset;
        }
    }
    for (int id = 1; id <= kLanguageStringCount; ++id) {
        tables.LanguageStrings[id] = module->string(id, languageStringLimit(id)).value_or("");
    }
    return true;
}

}  // namespace quillbox::app
