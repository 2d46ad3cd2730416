#include "book/AccountRequest.h"

#include <ctime>

#include "book/BookErrorText.h"
#include "book/BookHost.h"
#include "book/MD5.h"
#include "book/NetworkTexts.h"
#include "book/StoreConfig.h"
#include "platform/Clock.h"

namespace quillbox::book {
namespace {

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

platform::ProxySettings proxyOf(const TUserData& user) {
    platform::ProxySettings proxy;
    proxy.host = std::string(user.ProxyHost.text());
    proxy.port = user.ProxyPort;
    proxy.user = std::string(user.ProxyLogin.text());
    proxy.password = std::string(user.ProxyPassword.text());
    return proxy;
}

void report(std::string_view text, std::string_view boxText, bool showMessages) {
    if (showMessages) {
        showHostMessage(boxText);
    }
    setBookErrorText(text);
}

void reportFailure(const Error& error, AccountRequestFor purpose, bool showMessages) {
    const bool update = purpose == AccountRequestFor::Update;
    if (error.code == static_cast<int>(platform::HttpFailure::Cancelled)) {
        // The user asked for it: no box.
        setBookErrorText(update ? texts::updateCancelled() : texts::downloadCancelled());
    } else if (error.code == static_cast<int>(platform::HttpFailure::TooLarge)) {
        report(texts::accountPageUnreadable(), texts::accountPageUnreadable(), showMessages);
    } else {
        const std::string boxText = texts::connectionFailed(hostNameOf(storeRoot()));
        report(update ? boxText : texts::downloadConnectionFailed(), boxText, showMessages);
    }
}

}  // namespace

std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (unreserved(byte)) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

int localDayOfMonth() {
    std::tm local{};
    platform::localCalendar(platform::clockSeconds(), local);
    return local.tm_mday;
}

std::string accountPageUrl(std::string_view root, std::string_view login, std::string_view key) {
    std::string url(root);
    url += kAccountPagePath;
    url += "?login=";
    url += percentEncoded(login);
    url += "&password=";
    url += key;
    return url;
}

platform::HttpRequest accountRequest(const TUserData& user, std::string_view login,
                                     std::string_view password, int dayOfMonth) {
    platform::HttpRequest request;
    request.url = accountPageUrl(storeRoot(), login, AccountKey(dayOfMonth, login, password));
    request.stallTimeout = kAccountRequestTimeout;
    request.connectTimeout = kAccountRequestTimeout;
    request.totalTimeout = kAccountPageTimeLimit;
    request.maxBodyBytes = kAccountPageMaxBytes;
    // An error page of the store is no account page.
    request.failOnErrorStatus = true;
    if (user.UseProxy) {
        request.proxy = proxyOf(user);
        request.userAgent = "MSIE";
    }
    return request;
}

Result<platform::HttpResponse> runAccountRequest(const TUserData& user,
                                                 const platform::HttpRequest& request,
                                                 AccountRequestFor purpose, bool showMessages,
                                                 const platform::Pump& pump,
                                                 const platform::BodySink& sink) {
    if (user.UseProxy) {
        const Status reachable =
            platform::testProxyConnection(proxyOf(user), kAccountRequestTimeout, pump);
        if (!reachable) {
            reportFailure(reachable.error(), purpose, showMessages);
            return reachable.error();
        }
    }
    Result<platform::HttpResponse> answer = platform::httpGet(request, pump, sink);
    // A refusal by the caller's own sink (a file it cannot write) is the
    // caller's to report.
    if (!answer && answer.error().code != static_cast<int>(platform::HttpFailure::SinkRefused)) {
        reportFailure(answer.error(), purpose, showMessages);
    }
    return answer;
}

}  // namespace quillbox::book
