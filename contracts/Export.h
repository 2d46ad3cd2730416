#pragma once
// Marks a function as part of a library's C interface.

#if defined(__GNUC__)
#define QUILLBOX_EXPORT extern "C" __attribute__((visibility("default")))
#else
#define QUILLBOX_EXPORT extern "C"
#endif
