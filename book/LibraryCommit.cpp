#include "book/LibraryCommit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <set>
#include <vector>

#include "platform/DurableFile.h"
#include "platform/FileDescriptor.h"
#include "platform/PathNormaliser.h"

// The commit marker, ".library.qbcommit" in the library folder:
//
//   "quillbox library commit 1\n"
//   then each target's path below the library folder, followed by a zero byte
//
// It is written through DurableFile, so it is either absent or whole, and only
// once every staged file it names is complete and synced. Its presence means
// "every staged file named here replaces its target": rolling forward renames
// those still there and then removes the marker. A marker that does not read
// as above is removed unused (then the old files stay).

namespace quillbox::book {
namespace {

constexpr std::string_view kMarkerName = ".library.qbcommit";
constexpr std::string_view kMarkerHeader = "quillbox library commit 1\n";
constexpr std::string_view kStagedSuffix = ".qbnew";
constexpr std::size_t kLargestMarker = std::size_t{64} * 1024;

SaveStepHook g_saveStepHook = nullptr;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A path below the folder that stays inside it: no leading '/', no empty, "."
// or ".." level.
bool staysInside(std::string_view name) {
    if (name.empty() || name.front() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view level = name.substr(start, end - start);
        if (level.empty() || level == "." || level == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Makes the renames in a folder lasting. A folder that cannot be synced does
// not undo a rename that happened, so errors are not reported.
void syncFolder(const std::string& folder) {
    const platform::FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

void syncFoldersOf(const std::string& folder, const std::vector<std::string>& names) {
    std::set<std::string> folders;
    for (const std::string& name : names) {
        folders.insert(folderOf(folder + name));
    }
    for (const std::string& each : folders) {
        syncFolder(each);
    }
}

// The names a marker lists; nullopt when it cannot be read or is not a marker.
std::optional<std::vector<std::string>> readMarker(const std::string& path) {
    const platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) {
        return std::nullopt;
    }
    std::string bytes(kLargestMarker + 1, '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    if (filled > kLargestMarker || !bytes.starts_with(kMarkerHeader) ||
        (filled > kMarkerHeader.size() && bytes.back() != '\0')) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    std::size_t start = kMarkerHeader.size();
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\0', start);
        std::string name = bytes.substr(start, end - start);
        if (!staysInside(name)) {
            return std::nullopt;
        }
        names.push_back(std::move(name));
        start = end + 1;
    }
    return names;
}

bool removeMarker(const std::string& folder) {
    const std::string marker = folder + std::string(kMarkerName);
    if (::unlink(marker.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    syncFolder(folder);
    return true;
}

// Moves every staged file the marker names over its target (a name whose staged
// file is gone was moved already), then removes the marker.
bool rollForward(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string target = folder + name;
        const std::string staged = stagedPathFor(target);
        if (isRegularFile(staged) && ::rename(staged.c_str(), target.c_str()) != 0) {
            return false;
        }
    }
    syncFoldersOf(folder, names);
    return removeMarker(folder);
}

}  // namespace

LibraryFileSet::LibraryFileSet(std::string_view folder, std::string_view shelfPrefix,
                               std::string_view bookPrefix)
    // The folder the files land in: a folder without its separator still
    // joins the prefixes as they are.
    : m_folder(folderOf(platform::toNativePath(std::string(folder) + "x"))) {
    const auto joined = [folder](std::string_view prefix, std::string_view name) {
        std::string path(folder);
        path += prefix;
        path += name;
        return platform::toNativePath(path);
    };
    for (int list = 1; list <= 3; ++list) {
        const std::string name = std::to_string(list) + ".dat";
        m_targets[list - 1] = joined(shelfPrefix, name);
        m_targets[2 + list] = joined(bookPrefix, name);
    }
    m_targets[6] = joined("", "Money.dat");
    for (std::size_t i = 0; i < kCount; ++i) {
        if (m_targets[i].starts_with(m_folder) &&
            staysInside(std::string_view(m_targets[i]).substr(m_folder.size()))) {
            m_names[i] = m_targets[i].substr(m_folder.size());
        } else {
            m_committable = false;
        }
    }
}

std::string LibraryFileSet::staged(std::size_t i) const {
    return stagedPathFor(target(i));
}

std::string stagedPathFor(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart) +
           std::string(kStagedSuffix);
}

bool settleLibraryFolder(const LibraryFileSet& files) {
    const std::string marker = files.folder() + std::string(kMarkerName);
    if (::access(marker.c_str(), F_OK) == 0) {
        const std::optional<std::vector<std::string>> names = readMarker(marker);
        const bool settled =
            names ? rollForward(files.folder(), *names) : removeMarker(files.folder());
        if (!settled) {
            return false;
        }
    }
    discardStagedFiles(files);
    return true;
}

bool commitLibraryFiles(const LibraryFileSet& files) {
    if (!files.committable()) {
        discardStagedFiles(files);
        return false;
    }
    std::string marker(kMarkerHeader);
    for (const std::string& name : files.names()) {
        marker += name;
        marker.push_back('\0');
    }
    reachSaveStep();
    platform::DurableFile markerFile;
    if (!markerFile.create(files.folder() + std::string(kMarkerName)) ||
        !markerFile.write(marker) || !markerFile.commit()) {
        discardStagedFiles(files);
        return false;
    }
    // The commit point is passed: from here on a stop is finished by the next
    // settle, never undone.
    for (std::size_t i = 0; i < LibraryFileSet::kCount; ++i) {
        reachSaveStep();
        if (::rename(files.staged(i).c_str(), files.target(i).c_str()) != 0) {
            return false;
        }
    }
    const std::vector<std::string> names(files.names().begin(), files.names().end());
    syncFoldersOf(files.folder(), names);
    reachSaveStep();
    // The files are in place; a marker that cannot be removed only names
    // renames that are done, and the next settle tries again.
    removeMarker(files.folder());
    return true;
}

void discardStagedFiles(const LibraryFileSet& files) {
    for (std::size_t i = 0; i < LibraryFileSet::kCount; ++i) {
        const std::string staged = files.staged(i);
        if (isRegularFile(staged)) {
            ::unlink(staged.c_str());
        }
    }
}

void setSaveStepHook(SaveStepHook hook) {
    g_saveStepHook = hook;
}

void reachSaveStep() {
    if (g_saveStepHook != nullptr) {
        g_saveStepHook();
    }
}

}  // namespace quillbox::book
