#pragma once
// Every file-system path passes through here before it reaches the system:
// "E:\News\x.fb2" becomes "<mount point of E>/News/x.fb2", and '\' becomes '/'.
// No other code knows about mount points.

#include <string>
#include <string_view>

namespace quillbox::platform {

// The path the system understands. A drive letter with no drive behind it maps
// under "/proc/quillbox-no-drive-X", where nothing can be created, not even by
// root, so every use of it fails cleanly. Segments that are not valid UTF-8
// are taken as text in the system ANSI code page and converted.
std::string toNativePath(std::string_view path);

}  // namespace quillbox::platform
