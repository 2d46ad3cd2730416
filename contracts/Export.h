#pragma once
// Marks a function as part of a library's C interface: C linkage and visible
// from the shared library. Everything else in Book, RSS and Hostkit stays
// hidden (contracts/exports.map), so these functions are all a library exports.

#if defined(__GNUC__)
#define QUILLBOX_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define QUILLBOX_EXPORT extern "C"
#endif
