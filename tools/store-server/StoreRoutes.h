#pragma once
// The answers of the store stand-in, registered on a cpp-httplib server. The
// URL forms are listed in main.cpp's header comment.

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "tools/store-server/ConnectionCount.h"
#include "tools/store-server/Fixtures.h"
#include "tools/store-server/Rules.h"
#include "tools/store-server/StaticFiles.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace storeserver {

// Session cookies handed out with the account page: token -> login.
class Sessions {
  public:
    std::string open(const std::string& login);
    // The login of the session named in a Cookie header, if any.
    std::optional<std::string> loginFor(const std::string& cookieHeader) const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_logins;
};

// The heads of the last requests, for tests that check what a client sent.
class RequestLog {
  public:
    void add(const httplib::Request& request);
    std::string text() const;
    void clear();

  private:
    mutable std::mutex m_mutex;
    std::deque<std::string> m_entries;
};

class StoreRoutes {
  public:
    // rules and connections are the caller's and must outlive the routes.
    StoreRoutes(Fixtures fixtures, StaticFiles staticFiles, RuleTable& rules,
                ConnectionCount& connections)
        : m_fixtures(std::move(fixtures)),
          m_static(std::move(staticFiles)),
          m_rules(rules),
          m_connections(connections) {}

    void install(httplib::Server& server);

  private:
    void control(const httplib::Request& request, httplib::Response& response);
    void accountPageRequest(const httplib::Request& request, httplib::Response& response);
    // false when the path is no book's Id.
    bool bookFile(const httplib::Request& request, httplib::Response& response);
    void otherFile(const httplib::Request& request, httplib::Response& response);
    // Applies delay, drop and status; returns false when the answer is done.
    bool applyCommonRules(const httplib::Request& request, httplib::Response& response,
                          const AnswerRules& rules);

    Fixtures m_fixtures;
    StaticFiles m_static;
    RuleTable& m_rules;
    ConnectionCount& m_connections;
    Sessions m_sessions;
    RequestLog m_log;
};

}  // namespace storeserver
