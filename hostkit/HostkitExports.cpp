// The extern "C" face of the Hostkit library. Every export catches everything:
// no exception crosses into the program.

#include "contracts/Hostkit.h"

#include "contracts/Export.h"
#include "hostkit/DeviceFiles.h"
#include "hostkit/SettingsStore.h"
#include "platform/Autostart.h"
#include "platform/ProgramFolder.h"

using namespace quillbox;

QUILLBOX_EXPORT void LoadSystemInfo(TSystemInfo* info) {
    if (info == nullptr) {
        return;
    }
    try {
        *info = hostkit::loadSystemInfo();
    } catch (...) {
        try {
            *info = hostkit::defaultSystemInfo();
        } catch (...) {
            *info = TSystemInfo{};
            info->RSSUpdatePeriod = 1;
            info->BookShelfUpdatePeriod = 1;
            info->Language = -1;
        }
    }
}

QUILLBOX_EXPORT void SaveSystemInfo(TSystemInfo info) {
    try {
        hostkit::saveSystemInfo(info);
    } catch (...) {
    }
}

QUILLBOX_EXPORT void LoadUserData(TUserData* data) {
    if (data == nullptr) {
        return;
    }
    try {
        Result<TUserData> loaded = hostkit::loadUserData();
        if (loaded) {
            *data = loaded.value();
        }
    } catch (...) {
    }
}

QUILLBOX_EXPORT void SaveUserData(TUserData data) {
    try {
        hostkit::saveUserData(data);
    } catch (...) {
    }
}

QUILLBOX_EXPORT bool CreateDirEx(const char* folder) {
    if (folder == nullptr) {
        return false;
    }
    try {
        return hostkit::createFolder(folder);
    } catch (...) {
        return false;
    }
}

QUILLBOX_EXPORT bool CopyFileToDevice(const char* source, const char* destination,
                                      TApplication* application, TProgressBar* bar, TLabel* label) {
    if (source == nullptr || destination == nullptr) {
        return false;
    }
    try {
        return hostkit::copyWithProgress(source, destination, application, bar, label);
    } catch (...) {
        return false;
    }
}

QUILLBOX_EXPORT void AutoRunOn() {
    try {
        platform::enableAutostart(platform::programFolder() + "quillbox");
    } catch (...) {
    }
}

QUILLBOX_EXPORT void AutoRunOff() {
    try {
        platform::disableAutostart();
    } catch (...) {
    }
}
