#pragma once
// Folders and file copies on the reader, with paths that may start with a
// drive letter ("E:\News\").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/HostObjects.h"

namespace quillbox::hostkit {

// The native path for path. A drive-letter path is mapped to its drive's mount
// point; nullopt when the drive is absent, has no medium, or the path climbs
// out of the drive with "..".
std::optional<std::string> resolvePath(std::string_view path);

// Creates folder and its missing levels (never the mount point of a drive);
// true when it is a folder afterwards.
bool createFolder(std::string_view folder);

// Percent of copied in total, rounded half to even; 100 when total is 0.
int roundedPercent(std::uint64_t copied, std::uint64_t total);

// Copies source to destination (the destination folder must exist), showing
// the percentage on bar and label and keeping application alive; each of the
// three may be null. Stops when application->Cancelled() answers true. True
// only when the complete file is on the drive under destination; otherwise
// (cancelled included) no partial file is left and an old destination stays.
bool copyWithProgress(std::string_view source, std::string_view destination,
                      TApplication* application, TProgressBar* bar, TLabel* label);

}  // namespace quillbox::hostkit
