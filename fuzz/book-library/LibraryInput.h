#pragma once
// How one fuzz input stands for a library folder: an options byte, then the
// seven files' bytes one after the other, separated by kFileSeparator, in the
// order of kLibraryFiles. Files past the last piece do not exist.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::fuzz {

inline constexpr std::string_view kShelfPrefix = "Shelves";
inline constexpr std::string_view kBookPrefix = "Books";
inline constexpr std::array<std::string_view, 7> kLibraryFiles = {
    "Shelves1.dat", "Shelves2.dat", "Shelves3.dat", "Books1.dat",
    "Books2.dat",   "Books3.dat",   "Money.dat"};
inline constexpr std::string_view kFileSeparator = "\n=QBFILE=\n";

// Bits of the options byte.
inline constexpr std::uint8_t kLoadAccount = 1;      // read the account's lists too
inline constexpr std::uint8_t kComputerCopies = 2;   // books of list 2 have their file
inline constexpr std::uint8_t kLibraryNotEmpty = 4;  // the library holds a shelf already

struct LibraryInput {
    std::uint8_t options = 0;
    std::vector<std::string_view> files;  // at most kLibraryFiles.size(), in its order
};

// Splits an input; the views point into bytes.
inline LibraryInput splitLibraryInput(std::string_view bytes) {
    LibraryInput input;
    if (bytes.empty()) {
        return input;
    }
    input.options = static_cast<std::uint8_t>(bytes[0]);
    bytes.remove_prefix(1);
    while (input.files.size() < kLibraryFiles.size()) {
        const std::size_t end = bytes.find(kFileSeparator);
        input.files.push_back(bytes.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(end + kFileSeparator.size());
    }
    return input;
}

// The input that splitLibraryInput reads back as options and files.
inline std::string joinLibraryInput(std::uint8_t options, const std::vector<std::string>& files) {
    std::string bytes(1, static_cast<char>(options));
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            bytes += kFileSeparator;
        }
        bytes += files[i];
    }
    return bytes;
}

}  // namespace quillbox::fuzz
