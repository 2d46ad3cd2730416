#include "rss/NetworkOptions.h"

#include "platform/CodePage.h"
#include "rss/Urls.h"

namespace quillbox::rss {
namespace {

std::string fromAnsi(std::string_view text) {
    Result<std::string> decoded = platform::toUtf8(text, platform::systemAnsiCodePage());
    return decoded.ok() ? decoded.value() : std::string(text);
}

}  // namespace

platform::ProxySettings proxyOf(const TUserData& userData) {
    platform::ProxySettings proxy;
    const std::string host(trimmed(fromAnsi(userData.ProxyHost.text())));
    if (!userData.UseProxy || host.empty()) {
        return proxy;
    }
    proxy.host = host;
    proxy.port = userData.ProxyPort;
    proxy.user = fromAnsi(userData.ProxyLogin.text());
    proxy.password = fromAnsi(userData.ProxyPassword.text());
    return proxy;
}

}  // namespace quillbox::rss
