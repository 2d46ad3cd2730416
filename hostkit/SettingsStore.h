#pragma once
// Storage of the settings (TSystemInfo) and the account data (TUserData) in
// $XDG_CONFIG_HOME/quillbox/: settings.ini and account.ini, readable INI text.
// The account file holds passwords and is only ever readable by the user.

#include <string>

#include "common/Result.h"
#include "common/SystemTypes.h"

namespace quillbox::hostkit {

// The folder of both files, with a trailing '/'.
std::string settingsFolder();
std::string systemInfoPath();
std::string userDataPath();

// First-use settings: Language -1, periods 1, switches off, stamps zero,
// BaseFolder the program's folder.
TSystemInfo defaultSystemInfo();

// The stored settings, with first-use values for whatever is missing, cannot
// be read or is out of range; BaseFolder is always the program's folder.
TSystemInfo loadSystemInfo();

// Replaces the stored settings (not BaseFolder) in one step; an error, leaving
// the stored settings as they were, when they cannot be written.
Status saveSystemInfo(const TSystemInfo& info);

// The stored account data; all empty when none are stored, empty fields where
// the file cannot be read line by line. An error when the file is there but
// cannot be opened or read at all.
Result<TUserData> loadUserData();

// Replaces the stored account data in one step; the file has mode 0600. An
// error, leaving the stored data as they were, when they cannot be written.
Status saveUserData(const TUserData& data);

}  // namespace quillbox::hostkit
