#include "tools/store-server/AccountKey.h"

#include <openssl/evp.h>

#include <ctime>
#include <memory>
#include <stdexcept>

#include "tools/store-server/Fixtures.h"

namespace storeserver {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string lowerHex(const unsigned char* bytes, unsigned int count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(std::size_t{2} * count);
    for (unsigned int i = 0; i < count; ++i) {
        hex.push_back(kDigits[bytes[i] >> 4]);
        hex.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return hex;
}

}  // namespace

std::string accountKey(int dayOfMonth, std::string_view login, std::string_view password) {
    const char day[2] = {static_cast<char>('0' + dayOfMonth / 10 % 10),
                         static_cast<char>('0' + dayOfMonth % 10)};
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), day, sizeof day) != 1 ||
        EVP_DigestUpdate(context.get(), login.data(), login.size()) != 1 ||
        EVP_DigestUpdate(context.get(), password.data(), password.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
        throw std::runtime_error("OpenSSL could not compute an MD5 digest");
    }
    return lowerHex(digest, length);
}

bool keyAccepted(std::string_view key, std::string_view login, std::string_view password) {
    constexpr std::time_t kDaySeconds = 86400;
    const std::time_t now = std::time(nullptr);
    for (int offset : {-1, 0, 1}) {
        const std::time_t moment = now + offset * kDaySeconds;
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
