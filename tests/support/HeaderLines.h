#pragma once
// Header lines of an HTTP message head ("Name: value" lines separated by CR LF),
// for test servers and clients.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::test {

// Values of every header named name (case-insensitive), in order, with the
// blanks after the colon removed. The first line (request or status line)
// never matches, since it has no colon right after a name.
inline std::vector<std::string> headerValues(std::string_view head, std::string_view name) {
    std::vector<std::string> values;
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos) {
            end = head.size();
        }
        const std::string_view line = head.substr(start, end - start);
        bool same = line.size() > name.size() && line[name.size()] == ':';
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(line[i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        }
        if (same) {
            std::string_view value = line.substr(name.size() + 1);
            value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
            values.emplace_back(value);
        }
        start = end + 2;
    }
    return values;
}

}  // namespace quillbox::test
