#include "AccountKey.h"

#include <openssl/evp.h>

#include <cstdio>
#include <ctime>

#include "Fixtures.h"

namespace storeserver {

std::string accountKey(int dayOfMonth, std::string_view login, std::string_view password) {
    char day[8];
    std::snprintf(day, sizeof(day), "%02d", dayOfMonth);
    const std::string input = std::string(day) + std::string(login) + std::string(password);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return {};
    }
    static const char kHex[] = "0123456789abcdef";
    std::string key;
    for (unsigned int i = 0; i < length; ++i) {
        key += kHex[digest[i] >> 4];
        key += kHex[digest[i] & 15];
    }
    return key;
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
