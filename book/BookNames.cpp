#include "book/BookNames.h"

#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "platform/PathNormaliser.h"
#include "platform/ProgramFolder.h"

namespace quillbox::book {

bool VerifyTitle(char* text) {
    if (text == nullptr) {
        return true;
    }
    char* out = text;
    for (const char* in = text; *in != 0; ++in) {
        if (!isRemovedFromFileNames(*in)) {
            *out++ = *in;
        }
    }
    *out = 0;
    return true;
}

std::string bookFilePath(std::string_view folder, const TBook& book) {
    const std::string relative = bookRelativePath(book);
    if (relative.empty()) {
        return {};
    }
    return platform::toNativePath(std::string(folder) + relative);
}

std::string computerCopyPath(const TBook& book) {
    return bookFilePath(platform::dataFolder() + "Books/", book);
}

}  // namespace quillbox::book
