// The pictures of a language module built without captions: none, so every
// control that would show one stays empty.

#include "languages/LanguageModule.h"

namespace quillbox::languages {

std::span<const LanguagePicture> languagePictures() {
    return {};
}

}  // namespace quillbox::languages
