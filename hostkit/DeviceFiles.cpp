#include "hostkit/DeviceFiles.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/DriveTable.h"
#include "platform/FileCopy.h"
#include "platform/PathNormaliser.h"

namespace quillbox::hostkit {
namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool hasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

bool climbsUp(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (path.substr(start, end - start) == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Shows a percentage once per change.
class ProgressDisplay {
  public:
    ProgressDisplay(TProgressBar* bar, TLabel* label) : m_bar(bar), m_label(label) {}

    void show(int percent) {
        if (percent == m_shown) {
            return;
        }
        m_shown = percent;
        if (m_bar != nullptr) {
            m_bar->SetPosition(percent);
        }
        if (m_label != nullptr) {
            const std::string caption = std::to_string(percent) + "%";
            m_label->SetCaption(caption.c_str());
        }
    }

  private:
    TProgressBar* m_bar;
    TLabel* m_label;
    int m_shown = -1;
};

}  // namespace

std::optional<std::string> resolvePath(std::string_view path) {
    if (!hasDriveLetter(path)) {
        return platform::toNativePath(path);
    }
    // The drive itself must be there: a missing mount point is never created
    // or written to in its place, and ".." never leads off the drive.
    const int number = std::toupper(static_cast<unsigned char>(path[0])) - 'A';
    for (const platform::Drive& drive : platform::readDriveTable()) {
        if (drive.number != number) {
            continue;
        }
        const std::string mountFolder = drive.mountPoint.empty() ? "/" : drive.mountPoint;
        if (!drive.hasMedium || !isFolder(mountFolder) || climbsUp(path.substr(2))) {
            return std::nullopt;
        }
        return platform::toNativePath(path);
    }
    return std::nullopt;
}

bool createFolder(std::string_view folder) {
    std::optional<std::string> native = resolvePath(folder);
    if (!native || native->empty()) {
        return false;
    }
    while (native->size() > 1 && native->back() == '/') {
        native->pop_back();
    }
    std::error_code error;
    std::filesystem::create_directories(*native, error);
    return isFolder(*native);
}

int roundedPercent(std::uint64_t copied, std::uint64_t total) {
    if (total == 0 || copied >= total) {
        return 100;
    }
    // copied < total here, so copied * 100 stays far from overflow for any real file.
    const std::uint64_t scaled = copied * 100;
    std::uint64_t percent = scaled / total;
    const std::uint64_t twiceRest = (scaled % total) * 2;
    if (twiceRest > total || (twiceRest == total && percent % 2 == 1)) {
        ++percent;
    }
    return static_cast<int>(percent);
}

bool copyWithProgress(std::string_view source, std::string_view destination,
                      TApplication* application, TProgressBar* bar, TLabel* label) {
    const std::optional<std::string> from = resolvePath(source);
    const std::optional<std::string> to = resolvePath(destination);
    if (!from || !to || to->empty() || to->back() == '/') {
        return false;
    }
    ProgressDisplay display(bar, label);
    display.show(0);
    platform::CopyCallbacks callbacks;
    callbacks.onProgress = [&](std::uint64_t copied, std::uint64_t total) {
        display.show(roundedPercent(copied, total));
    };
    callbacks.keepAlive = [&] {
        if (application != nullptr) {
            application->ProcessMessages();
        }
    };
    callbacks.cancelled = [&] { return application != nullptr && application->Cancelled(); };
    return platform::copyFileDurably(*from, *to, callbacks).ok();
}

}  // namespace quillbox::hostkit
