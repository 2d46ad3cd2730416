#pragma once
// The program-wide language tables and the two operations that fill them: the
// scan of the Language folder for language modules (contracts/Language.h),
// and the load of one module's texts and character set. No Qt here: the window
// gives the texts, the character set and the pictures to its controls.

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/LanguageTypes.h"

namespace quillbox::app {

struct LanguageTables {
    // By slot 1..kLanguageSlots ([0] unused). An empty name marks a free slot.
    // Names are in the language's own code page; files are bare file names in
    // the Language folder.
    std::array<std::string, kLanguageSlots + 1> LanguageNames;
    std::array<std::string, kLanguageSlots + 1> LanguageFiles;
    // Modules the last scan accepted; two on one slot count twice.
    int LanguageCount = 0;
    // Texts of the current language by id 1..kLanguageStringCount ([0] unused),
    // each cut to languageStringLimit(id), in the language's code page. Kept
    // after the module is closed.
    std::array<std::string, kLanguageStringCount + 1> LanguageStrings;
    // Font character set of the translated controls: 0, 1, 204 or 238.
    int Charset = 0;
};

// The Language folder beside the program, with a trailing '/'.
std::string languageFolder();

// The Charset value of a character-set name (ANSI_CHARSET 0, DEFAULT_CHARSET 1,
// RUSSIAN_CHARSET 204, EASTEUROPE_CHARSET 238; exact letter case), or nullopt.
std::optional<int> charsetForName(std::string_view name);

// Scans folder (trailing '/' optional) for language modules and fills
// LanguageNames and LanguageFiles afresh and LanguageCount. The candidates are
// the entries named *.so that are not folders, visited in byte order of their
// names. One is accepted when it loads, exports GetResourceInfo, fills exactly
// kLanguageIdentifier and a slot in 1..kLanguageSlots; any other is skipped
// silently and not counted. Of two accepted on one slot, the later in that
// order owns it. Every module that loaded stays loaded. Returns LanguageCount.
int readLanguageDir(LanguageTables& tables, const std::string& folder);

// A language module opened for one load, closed when the object goes.
class LanguageModule {
  public:
    // Opens the module at path; null when it does not load.
    static std::unique_ptr<LanguageModule> open(const std::string& path);
    ~LanguageModule();
    LanguageModule(const LanguageModule&) = delete;
    LanguageModule& operator=(const LanguageModule&) = delete;

    // The PNG bytes of picture name, owned by the module and valid while this
    // object lives; empty when the module holds no such picture.
    std::span<const unsigned char> picture(const char* name) const;
    // Language string id, cut to limit bytes; nullopt when the module has none.
    std::optional<std::string> string(int id, std::size_t limit) const;

  private:
    explicit LanguageModule(void* handle);

    using StringFunction = int (*)(int, char*, int);
    using PictureFunction = int (*)(const char*, const unsigned char**);
    void* m_handle;
    StringFunction m_string = nullptr;
    PictureFunction m_picture = nullptr;
};

// Loads the language module at path into tables: calls usePictures (when given)
// with the open module, so the window can take the pictures; sets Charset from
// string 55 when it names a known character set (else Charset stays); fills
// LanguageStrings 1..kLanguageStringCount, a string the module lacks becoming
// empty; closes the module. Returns false, with tables unchanged, when the file
// does not load.
bool loadLanguageResource(LanguageTables& tables, const std::string& path,
                          const std::function<void(const LanguageModule&)>& usePictures = {});

}  // namespace quillbox::app
