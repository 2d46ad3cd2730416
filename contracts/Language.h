#pragma once
// The C interface of a language module: a shared object Language/<name>.so
// beside the program. It names itself (GetResourceInfo), hands out the
// numbered interface texts and the button pictures. The program opens a module
// with dlopen, calls these functions on the window's thread only, and copies
// what it keeps before it closes the module.

#include "common/LanguageTypes.h"
#include "contracts/Export.h"

// Fills *info: Identifier = kLanguageIdentifier, the display name and the slot
// (1..kLanguageSlots). info is the caller's and must not be null.
QUILLBOX_EXPORT void GetResourceInfo(TResourceInfo* info);

// Language string id (1..kLanguageStringCount) in the language's own code page
// (string 55 names it). Copies at most size - 1 bytes into buffer and ends them
// with a zero; buffer may be null when size is 0. Returns the string's whole
// length in bytes (larger than size - 1 when it was cut), or -1 when the module
// has no string id.
QUILLBOX_EXPORT int GetLanguageString(int id, char* buffer, int size);

// The button picture called name (PNG bytes): sets *data to them and returns
// their size, or sets *data to null and returns 0 when the module holds no such
// picture. The bytes belong to the module and stay valid while it is loaded. A
// missing picture leaves the picture of its control empty.
QUILLBOX_EXPORT int GetLanguagePicture(const char* name, const unsigned char** data);
