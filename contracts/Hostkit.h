#pragma once
// The C interface of the Hostkit library (dll/libHostkit.so): settings and
// account storage, folders and copies on the reader, starting with the system.
//
// Threads: call only from the window's thread. CopyFileToDevice writes on a
// worker thread of its own but calls application, bar and label only on the
// calling thread. Records are owned by the caller. Texts are zero-terminated
// ANSI strings; paths may start with a drive letter ("E:\News\"), which the
// library maps to that drive's mount point. No call throws: a failure is a
// false result or, for the functions without a result, leaves things as they
// were.

#include "common/HostObjects.h"
#include "common/SystemTypes.h"
#include "contracts/Export.h"

// Fills info with the stored settings (first-use values where none are
// stored: Language -1, periods 1, switches off, stamps zero). BaseFolder is
// always the program's folder, whatever was saved. A null info is ignored.
QUILLBOX_EXPORT void LoadSystemInfo(TSystemInfo* info);

// Stores the whole record, replacing the stored settings in one step.
// BaseFolder is not stored. Returns true when the settings were stored; false
// when they could not be (a folder that cannot be made or written, a full
// disk), and then the previous settings stay. Callers may ignore the result.
QUILLBOX_EXPORT bool SaveSystemInfo(TSystemInfo info);

// Fills data with the stored account and proxy data (all empty on first use).
// When the stored file exists but cannot be read, data is left as it was. A
// null data is ignored.
QUILLBOX_EXPORT void LoadUserData(TUserData* data);

// Stores the whole record in a file only the user can read, replacing the
// stored data in one step. Returns true when the data were stored; false when
// they could not be, and then the previous data stay. Callers may ignore the
// result.
QUILLBOX_EXPORT bool SaveUserData(TUserData data);

// Creates folder and its missing levels; true when it exists afterwards. A
// drive letter whose drive is absent or has no medium, or a null folder, gives
// false.
QUILLBOX_EXPORT bool CreateDirEx(const char* folder);

// Copies source to destination, whose folder must exist. Moves bar (0..100)
// and sets label to "N%" as it goes, and calls application->ProcessMessages at
// least every 50 ms, asking application->Cancelled() after each call until the
// copy is complete: true stops it as a failure. The destination is replaced
// only by a complete copy that is on the drive; false on any failure, leaving
// no partial file and an old destination as it was. application, bar and label
// may be null and must outlive the call.
QUILLBOX_EXPORT bool CopyFileToDevice(const char* source, const char* destination,
                                      TApplication* application, TProgressBar* bar, TLabel* label);

// Makes the session start the program with the single argument "auto" at logon.
QUILLBOX_EXPORT void AutoRunOn();

// Removes that start entry.
QUILLBOX_EXPORT void AutoRunOff();
