#pragma once
// Shared pieces of the account update and download tests: a data folder and a
// store stand-in per test, the store's root pointed at it, the proxy variables
// of the environment cleared (no request may leave the machine). The fakes of
// the window's objects come from tests/support/FakeHost.h.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "book/BookLibrary.h"
#include "common/BookTypes.h"
#include "common/SystemTypes.h"
#include "platform/CodePage.h"
#include "platform/Http.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/FakeHost.h"
#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

// windows-1251 bytes of a UTF-8 text.
inline std::string ansi(const std::string& utf8) {
    return platform::fromUtf8(utf8, "WINDOWS-1251").value();
}

inline TUserData userData(const std::string& login, const std::string& password) {
    TUserData user{};
    user.Login.assign(login);
    user.Password.assign(password);
    return user;
}

inline void useProxy(TUserData& user, const std::string& host, int port, const std::string& login,
                     const std::string& password) {
    user.UseProxy = true;
    user.ProxyHost.assign(host);
    user.ProxyPort = port;
    user.ProxyLogin.assign(login);
    user.ProxyPassword.assign(password);
}

// A library that frees its blocks at the end of the test.
struct OwnedLibrary {
    TBookLibrary value{};
    OwnedLibrary() = default;
    OwnedLibrary(const OwnedLibrary&) = delete;
    OwnedLibrary& operator=(const OwnedLibrary&) = delete;
    ~OwnedLibrary() { book::DeleteBookLibrary(value); }
};

// One account file of a fixture folder (format: tools/store-server/Fixtures.h).
inline void writeAccount(const TempDir& fixtures, const std::string& login,
                         const std::string& utf8Lines) {
    std::filesystem::create_directories(fixtures.file("accounts"));
    std::filesystem::create_directories(fixtures.file("files"));
    writeFile(fixtures.file("accounts/" + login + ".account"), utf8Lines);
}

class NetworkTest : public ::testing::Test {
  protected:
    explicit NetworkTest(std::vector<std::string> serverArguments = {})
        : m_server(std::move(serverArguments)) {}

    void SetUp() override {
        ASSERT_TRUE(m_server.running()) << m_server.error();
        m_storeUrl.emplace("QUILLBOX_STORE_URL", m_server.baseUrl());
    }

    // Sets an answer rule of the store (see tools/store-server/Rules.h).
    void rule(const std::string& query) {
        platform::HttpRequest request;
        request.url = m_server.url("_control/rule?" + query);
        Result<platform::HttpResponse> answer = platform::httpGet(request, platform::Pump());
        ASSERT_TRUE(answer && answer.value().status == 200) << query;
    }

    // Switches every answer rule off and forgets the requests.
    void resetStore() {
        platform::HttpRequest request;
        request.url = m_server.url("_control/reset");
        Result<platform::HttpResponse> answer = platform::httpGet(request, platform::Pump());
        ASSERT_TRUE(answer && answer.value().status == 200);
    }

    // The heads of the requests the store received.
    std::string storeRequests() {
        platform::HttpRequest request;
        request.url = m_server.url("_control/requests");
        Result<platform::HttpResponse> answer = platform::httpGet(request, platform::Pump());
        return answer ? answer.value().body : std::string();
    }

    TempDir m_home;
    EnvGuard m_homeGuard{"QUILLBOX_HOME", m_home.path()};
    EnvGuard m_noProxy[6] = {{"http_proxy", std::nullopt},  {"HTTP_PROXY", std::nullopt},
                             {"https_proxy", std::nullopt}, {"HTTPS_PROXY", std::nullopt},
                             {"all_proxy", std::nullopt},   {"ALL_PROXY", std::nullopt}};
    StoreServer m_server;
    std::optional<EnvGuard> m_storeUrl;
};

}  // namespace quillbox::test
