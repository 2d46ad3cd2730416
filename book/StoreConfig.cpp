#include "book/StoreConfig.h"

namespace quillbox::book {

std::string hostNameOf(std::string_view root) {
    std::string_view rest = root;
    if (const std::size_t scheme = rest.find("://"); scheme != std::string_view::npos) {
        rest.remove_prefix(scheme + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        rest.remove_prefix(at + 1);
    }
    if (!rest.empty() && rest.front() == '[') {
        return std::string(rest.substr(0, rest.find(']') + 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

}  // namespace quillbox::book
