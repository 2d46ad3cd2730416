#pragma once
// Small file and hashing helpers of the RSS library. Files holding user data
// are replaced atomically: written to a temporary file in the same folder,
// synced, then renamed over the old one.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace quillbox::rss {

// Error code of readWholeFile when the file does not exist.
inline constexpr int kFileMissing = 2;

// The whole file. Fails with kFileMissing when it does not exist, and with
// another code when it cannot be read or is larger than maxBytes.
Result<std::string> readWholeFile(const std::string& path, std::uint64_t maxBytes);

// Replaces path by bytes atomically (platform::writeFileAtomically, mode
// 0644); on failure the old file stays as it was and no temporary file is left.
Status writeFileAtomically(const std::string& path, std::string_view bytes);

// Creates the folder and its parents; true when it exists afterwards.
bool makeFolders(const std::string& folder);

bool fileExists(const std::string& path);

// Moves a file that could not be read whole aside, to path + ".damaged" (or
// ".damaged.N" when that is taken), so nothing is lost to a bad load. False
// when it could not be moved; the caller then leaves the file alone.
bool keepDamagedFile(const std::string& path);

// folder joined with name: one '/' between them.
std::string joinPath(const std::string& folder, std::string_view name);

// A caller's folder argument as a system path with a trailing '/'
// ('\' separators and drive letters mapped).
std::string nativeFolder(const char* folder);

// 64-bit FNV-1a of the bytes, as 16 lower-case hexadecimal digits.
std::string hashHex(std::string_view bytes);

// CRC-32 (zlib's polynomial) of the bytes.
std::uint32_t crc32Of(std::string_view bytes);

}  // namespace quillbox::rss
