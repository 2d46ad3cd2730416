#pragma once
// The account request: a GET of the store's account page for a login and its
// key, sent before an account update and before every book download. The key
// is the MD5 of today's day of the month (two digits), the login and the
// password. With a proxy, the proxy is first tested with a bare connection,
// the request names itself "MSIE" and carries the proxy credentials; without
// one it goes direct. No answer or no progress for 2000 ms fails it, and so
// does an answer that moves slower than the HTTP layer's floor (1 KiB/s for
// 60 s).

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/SystemTypes.h"
#include "platform/Http.h"

namespace quillbox::book {

inline constexpr std::chrono::milliseconds kAccountRequestTimeout{2000};
// Bounds for an answer that never ends: the page goes to a file, so neither
// may be reached by a real account page.
inline constexpr std::chrono::milliseconds kAccountPageTimeLimit{300000};
inline constexpr std::uint64_t kAccountPageMaxBytes = 256ull * 1024 * 1024;
inline constexpr std::string_view kAccountPagePath = "bmanager/bookshelfuser_.php";

// Which BookErrorText a failed account request leaves behind.
enum class AccountRequestFor { Update, Download };

// Every byte but the unreserved A-Z a-z 0-9 - . _ ~ becomes %XX, so that no
// character of the text can change the request around it.
std::string percentEncoded(std::string_view text);

// The day of the month (1..31) of the computer's local calendar today.
int localDayOfMonth();

// root + page + "?login=" + the encoded login + "&password=" + key.
std::string accountPageUrl(std::string_view root, std::string_view login, std::string_view key);

// The HTTP request for login and password (used as given) on the given day,
// with the proxy settings of user.
platform::HttpRequest accountRequest(const TUserData& user, std::string_view login,
                                     std::string_view password, int dayOfMonth);

// Runs the request (after the proxy test when user.UseProxy), calling pump
// while it waits (it may throw platform::TransferCancelled to stop) and
// passing the body to sink. On a connection failure (proxy not reachable, no
// answer, an error status, an answer too slow) writes the connection text for
// the purpose into BookErrorText and shows the connection box when
// showMessages; a page past kAccountPageMaxBytes gets the unreadable-page text
// and box, a cancelled request the purpose's cancel text and no box. Returns
// the error; a refusal by the sink is returned unreported.
Result<platform::HttpResponse> runAccountRequest(const TUserData& user,
                                                 const platform::HttpRequest& request,
                                                 AccountRequestFor purpose, bool showMessages,
                                                 const platform::Pump& pump,
                                                 const platform::BodySink& sink);

}  // namespace quillbox::book
