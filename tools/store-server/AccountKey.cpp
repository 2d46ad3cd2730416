#include "tools/store-server/AccountKey.h"

#include <ctime>

#include "book/MD5.h"
#include "tools/store-server/Fixtures.h"

namespace storeserver {

std::string accountKey(int dayOfMonth, std::string_view login, std::string_view password) {
    return quillbox::book::AccountKey(dayOfMonth, login, password);
}

bool keyAccepted(std::string_view key, std::string_view login, std::string_view password) {
    const std::time_t now = std::time(nullptr);
    for (int offset : {-1, 0, 1}) {
        const std::time_t moment = now + offset * 24 * 60 * 60;
        std::tm local{};
        ::localtime_r(&moment, &local);
        if (key == accountKey(local.tm_mday, login, password) ||
            key == accountKey(local.tm_mday, login, lowerAscii(password))) {
            return true;
        }
    }
    return false;
}

}  // namespace storeserver
