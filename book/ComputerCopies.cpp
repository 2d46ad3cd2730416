#include "book/ComputerCopies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

#include "book/BookNames.h"
#include "platform/ProgramFolder.h"

namespace quillbox::book {

ComputerCopies::ComputerCopies() : m_booksFolder(platform::dataFolder() + "Books/") {}

bool ComputerCopies::has(const TBook& book) {
    // The names are compared as the system spells them: the path's own
    // mapping, not the record's ANSI bytes.
    const std::string path = bookFilePath(m_booksFolder, book);
    const std::size_t slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos) {
        return false;
    }
    return filesIn(path.substr(0, slash + 1)).count(path.substr(slash + 1)) > 0;
}

const std::unordered_set<std::string>& ComputerCopies::filesIn(const std::string& nativeFolder) {
    const auto [entry, added] = m_folders.try_emplace(nativeFolder);
    if (!added) {
        return entry->second;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(nativeFolder.c_str()), &::closedir);
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
