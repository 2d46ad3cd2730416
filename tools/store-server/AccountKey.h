#pragma once
// The store's side of the login key: lower-case hexadecimal MD5 of the
// two-digit day of the month, the login and the password, taken as the bytes
// the client sent (windows-1251). Computed with OpenSSL, independently of the
// client's own digest code.

#include <string>
#include <string_view>

namespace storeserver {

// The key for a day of the month (1..31): 32 lower-case hex digits.
std::string accountKey(int dayOfMonth, std::string_view login, std::string_view password);

// Whether key is the key of login and password for the local day before, of or
// after today. The password may have been lower-cased (A-Z only) by the client.
bool keyAccepted(std::string_view key, std::string_view login, std::string_view password);

}  // namespace storeserver
