// Reader detection: every tick of CopyTimer looks at the removable drives in
// drive order and takes the first that holds a medium and the reader's marker
// file. While a reader stays, the ticks alternate: one reads the marker, the
// next only confirms the medium.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "app/Form.h"
#include "app/ProgramLog.h"
#include "platform/DriveTable.h"

namespace quillbox::app {
namespace {

constexpr int kFirstDrive = 2;  // C
constexpr int kLastDrive = 25;  // Z

bool markerOpens(const std::string& mountPoint) {
    const std::string marker = mountPoint + "/System/.leafdevice";
    const int fd = ::open(marker.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

void TForm1::CopyTimerTimer() {
    if (!isEnabled()) {
        return;  // another action runs
    }
    // The scan runs to its end without processing messages, so nothing can
    // start meanwhile; the window stays enabled, which keeps the keyboard
    // where the user has it (disabling a window takes its focus away).
    CopyTimer.setEnabled(false);
    const std::vector<platform::Drive> drives = platform::readDriveTable();
    int taken = 0;
    for (int d = kFirstDrive; d <= kLastDrive && taken == 0; ++d) {
        const auto drive =
            std::find_if(drives.begin(), drives.end(),
                         [d](const platform::Drive& each) { return each.number == d; });
        if (drive == drives.end() || !drive->removable) {
            continue;  // its flag keeps its value
        }
        auto& seen = ReaderMarkSeen[static_cast<std::size_t>(d)];
        if (!drive->hasMedium) {
            seen = false;
            continue;
        }
        if (seen) {
            seen = false;
            taken = d;
        } else if (markerOpens(drive->mountPoint)) {
            seen = true;
            taken = d;
        }
    }
    if (taken == 0) {
        if (ReaderDrive != 0) {
            logInfo("reader gone");
        }
        ReaderDrive = 0;
        UpdateTimer.setEnabled(true);
    } else if (taken == ReaderDrive) {
        UpdateTimer.setEnabled(true);
    } else {
        ReaderDrive = taken;
        logInfo(std::string("reader found on drive ") + static_cast<char>('A' + taken));
    }
    CopyTimer.setEnabled(true);
}

}  // namespace quillbox::app
