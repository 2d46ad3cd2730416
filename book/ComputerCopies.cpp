#include "book/ComputerCopies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "book/BookNames.h"
#include "common/FixedText.h"
#include "common/SafeFolderName.h"
#include "platform/PathNormaliser.h"
#include "platform/ProgramFolder.h"

namespace quillbox::book {

ComputerCopies::ComputerCopies() : m_booksFolder(platform::dataFolder() + "Books/") {}

bool ComputerCopies::has(const TBook& book) {
    const std::string name = bookFileName(book);
    return !name.empty() && filesIn(safeFolderName(fieldText(book.ShelfName))).count(name) > 0;
}

const std::unordered_set<std::string>& ComputerCopies::filesIn(const std::string& shelfFolder) {
    const auto [entry, added] = m_folders.try_emplace(shelfFolder);
    if (!added) {
        return entry->second;
    }
    const std::string path = platform::toNativePath(m_booksFolder + shelfFolder + "/");
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), &::closedir);
    if (folder == nullptr) {
        return entry->second;
    }
    while (const dirent* file = ::readdir(folder.get())) {
        bool regular = file->d_type == DT_REG;
        if (file->d_type == DT_LNK || file->d_type == DT_UNKNOWN) {
            struct stat info {};
            regular = ::fstatat(::dirfd(folder.get()), file->d_name, &info, 0) == 0 &&
                      S_ISREG(info.st_mode);
        }
        if (regular) {
            entry->second.emplace(file->d_name);
        }
    }
    return entry->second;
}

}  // namespace quillbox::book
