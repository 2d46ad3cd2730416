// The extern "C" face of the Hostkit library. Each export calls the core
// inside guardExport: no exception crosses into the program.

#include "common/ExportGuard.h"
#include "contracts/Hostkit.h"
#include "hostkit/DeviceFiles.h"
#include "hostkit/SettingsStore.h"
#include "platform/Autostart.h"
#include "platform/ProgramFolder.h"

using namespace quillbox;

namespace {

// First-use settings when even the core's defaults cannot be had (the
// program's folder is unknown then, so BaseFolder stays empty).
TSystemInfo bareSystemInfo() {
    TSystemInfo info{};
    info.RSSUpdatePeriod = 1;
    info.BookShelfUpdatePeriod = 1;
    info.Language = -1;
    return info;
}

}  // namespace

QUILLBOX_EXPORT void LoadSystemInfo(TSystemInfo* info) {
    if (info == nullptr) {
        return;
    }
    const auto fillWith = [info](TSystemInfo (*source)()) {
        return guardExport(false, [&] {
            *info = source();
            return true;
        });
    };
    // The stored settings; failing those, the first-use ones.
    if (!fillWith(&hostkit::loadSystemInfo) && !fillWith(&hostkit::defaultSystemInfo)) {
        *info = bareSystemInfo();
    }
}

QUILLBOX_EXPORT bool SaveSystemInfo(TSystemInfo info) {
    return guardExport(false, [&] { return hostkit::saveSystemInfo(info).ok(); });
}

QUILLBOX_EXPORT void LoadUserData(TUserData* data) {
    guardExport([&] {
        if (data == nullptr) {
            return;
        }
        Result<TUserData> loaded = hostkit::loadUserData();
        if (loaded) {
            *data = loaded.value();
        }
    });
}

QUILLBOX_EXPORT bool SaveUserData(TUserData data) {
    return guardExport(false, [&] { return hostkit::saveUserData(data).ok(); });
}

QUILLBOX_EXPORT bool CreateDirEx(const char* folder) {
    return guardExport(false, [&] { return folder != nullptr && hostkit::createFolder(folder); });
}

QUILLBOX_EXPORT bool CopyFileToDevice(const char* source, const char* destination,
                                      TApplication* application, TProgressBar* bar, TLabel* label) {
    return guardExport(false, [&] {
        return source != nullptr && destination != nullptr &&
               hostkit::copyWithProgress(source, destination, application, bar, label);
    });
}

QUILLBOX_EXPORT void AutoRunOn() {
    guardExport([] { platform::enableAutostart(platform::executableFolder() + "quillbox"); });
}

QUILLBOX_EXPORT void AutoRunOff() {
    guardExport([] { platform::disableAutostart(); });
}
