// The C interface of a language module over the texts of its Texts.cpp and
// its pictures. The module keeps no state: every call answers from the
// constant tables.

#include <algorithm>
#include <cstring>

#include "contracts/Language.h"
#include "languages/LanguageModule.h"

namespace {

using quillbox::languages::languagePictures;
using quillbox::languages::languageTexts;

const quillbox::languages::LanguageString* findString(int id) {
    for (const auto& entry : languageTexts().strings) {
        if (entry.id == id) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

void GetResourceInfo(TResourceInfo* info) {
    if (info == nullptr) {
        return;
    }
    const auto& texts = languageTexts();
    std::memset(info, 0, sizeof *info);
    info->Identifier.assign(texts.identifier);
    char name[sizeof info->DisplayName.Chars];
    std::size_t length = 0;
    quillbox::languages::encodeText(texts.displayName, texts.codePage, [&](char c) {
        if (length < sizeof name) {
            name[length++] = c;
        }
    });
    info->DisplayName.assign(std::string_view(name, length));
    info->Slot = texts.slot;
}

int GetLanguageString(int id, char* buffer, int size) {
    const bool hasRoom = buffer != nullptr && size > 0;
    if (hasRoom) {
        buffer[0] = 0;
    }
    const auto* entry = findString(id);
    if (entry == nullptr) {
        return -1;
    }
    const std::size_t room = hasRoom ? static_cast<std::size_t>(size) - 1 : 0;
    std::size_t length = 0;
    // The build checked that every text encodes; a text that does not anyway
    // is reported as missing rather than delivered in part.
    const bool encoded =
        quillbox::languages::encodeText(entry->text, languageTexts().codePage, [&](char c) {
            if (length < room) {
                buffer[length] = c;
            }
            ++length;
        });
    if (!encoded) {
        if (hasRoom) {
            buffer[0] = 0;
        }
        return -1;
    }
    if (hasRoom) {
        buffer[std::min(length, room)] = 0;
    }
    return static_cast<int>(length);
}

int GetLanguagePicture(const char* name, const unsigned char** data) {
    if (data == nullptr) {
        return 0;
    }
    *data = nullptr;
    if (name == nullptr) {
        return 0;
    }
    for (const auto& picture : languagePictures()) {
        if (picture.name == name && !picture.png.empty()) {
            *data = picture.png.data();
            return static_cast<int>(picture.png.size());
        }
    }
    return 0;
}
