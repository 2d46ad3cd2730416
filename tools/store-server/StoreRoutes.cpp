#include "tools/store-server/StoreRoutes.h"

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <random>

#include "tools/store-server/AccountKey.h"
#include "tools/store-server/AccountPage.h"
#include "tools/store-server/Bodies.h"
#include "tools/store-server/ServerControl.h"

namespace storeserver {

namespace {

const char kPageType[] = "text/html; charset=windows-1251";
const char kCookieName[] = "qbsession";

bool parseCount(const std::string& text, std::uint64_t& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// Generated pages list books "gen/SHELF/BOOK.fb2" of 1000 + BOOK bytes.
bool generatedBookSize(const std::string& id, std::uint64_t& size) {
    if (id.rfind("gen/", 0) != 0 || id.size() < 9 || id.substr(id.size() - 4) != ".fb2") {
        return false;
    }
    const std::string middle = id.substr(4, id.size() - 8);
    const std::size_t slash = middle.find('/');
    std::uint64_t shelf = 0;
    std::uint64_t book = 0;
    if (slash == std::string::npos || !parseCount(middle.substr(0, slash), shelf) ||
        !parseCount(middle.substr(slash + 1), book)) {
        return false;
    }
    size = 1000 + book;
    return true;
}

}  // namespace

std::string Sessions::open(const std::string& login) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char token[40];
    std::snprintf(token, sizeof(token), "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_logins[token] = login;
    return token;
}

std::optional<std::string> Sessions::loginFor(const std::string& cookieHeader) const {
    std::string_view rest = cookieHeader;
    while (!rest.empty()) {
        const std::size_t semicolon = rest.find(';');
        std::string_view item = rest.substr(0, semicolon);
        rest =
            semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        while (!item.empty() && item.front() == ' ') {
            item.remove_prefix(1);
        }
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos || item.substr(0, equals) != kCookieName) {
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_logins.find(std::string(item.substr(equals + 1)));
        if (found != m_logins.end()) {
            return found->second;
        }
    }
    return std::nullopt;
}

void RequestLog::add(const httplib::Request& request) {
    std::string entry = request.method + " " + request.target + "\r\n";
    for (const auto& [name, value] : request.headers) {
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
            name == "LOCAL_PORT") {
            continue;
        }
        entry += name;
        entry += ": ";
        entry += value;
        entry += "\r\n";
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > 1000) {
        m_entries.pop_front();
    }
}

std::string RequestLog::text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    for (const std::string& entry : m_entries) {
        text += entry + "\r\n";
    }
    return text;
}

void RequestLog::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

void StoreRoutes::install(httplib::Server& server) {
    server.Get("/_control/(.*)",
               [this](const httplib::Request& request, httplib::Response& response) {
                   control(request, response);
               });
    server.Get("/bmanager/bookshelfuser_\\.php",
               [this](const httplib::Request& request, httplib::Response& response) {
                   accountPageRequest(request, response);
               });
    server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        if (!bookFile(request, response)) {
            otherFile(request, response);
        }
    });
}

void StoreRoutes::control(const httplib::Request& request, httplib::Response& response) {
    const std::string command = request.matches[1];
    if (command == "reset") {
        m_rules.reset();
        m_log.clear();
        m_connections.resetMost();
        response.set_content("ok\n", "text/plain");
    } else if (command == "requests") {
        response.set_content(m_log.text(), "text/plain");
    } else if (command == "connections") {
        response.set_content(m_connections.report(), "text/plain");
    } else if (command == "rule") {
        const std::string target = request.get_param_value("target");
        for (const auto& [name, value] : request.params) {
            if (name == "target") {
                continue;
            }
            const std::string error = m_rules.set(target, name, value);
            if (!error.empty()) {
                response.status = 400;
                response.set_content(error + "\n", "text/plain");
                return;
            }
        }
        response.set_content("ok\n", "text/plain");
    } else {
        response.status = 404;
        response.set_content("unknown control\n", "text/plain");
    }
}

bool StoreRoutes::applyCommonRules(const httplib::Request& request, httplib::Response& response,
                                   const AnswerRules& rules) {
    m_log.add(request);
    if (rules.delayMs > 0 && !waitFor(std::chrono::milliseconds(rules.delayMs))) {
        dropConnection(request);
        return false;
    }
    if (rules.drop) {
        dropConnection(request);
        return false;
    }
    if (rules.status != 0) {
        response.status = rules.status;
        response.set_content("status " + std::to_string(rules.status) + "\n", "text/plain");
        return false;
    }
    return true;
}

void StoreRoutes::accountPageRequest(const httplib::Request& request, httplib::Response& response) {
    const AnswerRules rules = m_rules.get(RuleTarget::Account);
    if (!applyCommonRules(request, response, rules)) {
        return;
    }
    if (rules.exactSize >= 0) {
        sendBody(response, stringBody(fillerPage(static_cast<std::size_t>(rules.exactSize))),
                 kPageType, rules);
        return;
    }
    const std::string login = request.get_param_value("login");
    const Account* account = m_fixtures.findAccount(login);
    if (account == nullptr ||
        !keyAccepted(request.get_param_value("password"), login, account->password)) {
        response.set_content(refusedPage(), kPageType);
        return;
    }
    response.set_header("Set-Cookie", std::string(kCookieName) + "=" +
                                          m_sessions.open(account->login) + "; Path=/; HttpOnly");
    if (rules.generatedShelves > 0) {
        auto page = std::make_shared<GeneratedPage>(rules.generatedShelves, rules.generatedBooks);
        sendChunked(
            response, [page]() -> std::optional<std::string> { return page->next(); }, kPageType);
    } else if (rules.endless) {
        auto line = std::make_shared<std::size_t>(0);
        sendChunked(
            response,
            [line]() -> std::optional<std::string> {
                if (*line > 0 && !waitFor(std::chrono::milliseconds(100))) {
                    return std::nullopt;
                }
                return endlessPageLine((*line)++);
            },
            kPageType);
    } else {
        sendBody(response, stringBody(accountPage(*account)), kPageType, rules);
    }
}

bool StoreRoutes::bookFile(const httplib::Request& request, httplib::Response& response) {
    if (request.path.size() < 2) {
        return false;
    }
    const std::string id = request.path.substr(1);
    const BookEntry* listed = nullptr;
    for (const Account& account : m_fixtures.accounts()) {
        if ((listed = account.findBook(id)) != nullptr) {
            break;
        }
    }
    std::uint64_t generatedSize = 0;
    const bool generated = listed == nullptr && generatedBookSize(id, generatedSize);
    if (listed == nullptr && !generated) {
        return false;
    }
    const AnswerRules rules = m_rules.get(RuleTarget::Book);
    if (!applyCommonRules(request, response, rules)) {
        return true;
    }
    const auto login = m_sessions.loginFor(request.get_header_value("Cookie"));
    const Account* owner = login ? m_fixtures.findAccount(*login) : nullptr;
    const BookEntry* book = owner != nullptr ? owner->findBook(id) : nullptr;
    if (owner == nullptr || (book == nullptr && !generated)) {
        response.status = 403;
        response.set_content("Forbidden\n", "text/plain");
        return true;
    }
    std::optional<BodySource> body;
    if (book == nullptr) {
        body = patternBody(generatedSize);
    } else if (book->filePath.empty()) {
        body = patternBody(book->generatedBytes);
    } else {
        body = fileBody(book->filePath);
    }
    if (!body) {
        response.status = 404;
        response.set_content("Not found\n", "text/plain");
        return true;
    }
    response.status = 200;
    sendBody(response, std::move(*body), "application/octet-stream", rules);
    return true;
}

void StoreRoutes::otherFile(const httplib::Request& request, httplib::Response& response) {
    const AnswerRules rules = m_rules.get(RuleTarget::Static);
    if (!applyCommonRules(request, response, rules)) {
        return;
    }
    const std::string& path = request.path;
    const std::string query = request.target.find('?') == std::string::npos
                                  ? std::string()
                                  : request.target.substr(request.target.find('?'));
    std::uint64_t number = 0;
    if (path.rfind("/_redirect/", 0) == 0) {
        const std::string rest = path.substr(11);
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos && parseCount(rest.substr(0, slash), number)) {
            const std::string target = rest.substr(slash + 1);
            response.set_redirect(number > 1 ? "/_redirect/" + std::to_string(number - 1) + "/" +
                                                   target + query
                                             : "/" + target + query);
            return;
        }
    } else if (path.rfind("/_status/", 0) == 0 && parseCount(path.substr(9), number) &&
               number >= 100 && number <= 999) {
        response.status = static_cast<int>(number);
        response.set_content("status " + std::to_string(number) + "\n", "text/plain");
        return;
    } else if (path.rfind("/_size/", 0) == 0 && parseCount(path.substr(7), number)) {
        response.status = 200;
        sendBody(response, patternBody(number), "text/plain", rules);
        return;
    } else if (m_static.serve(request, response, rules)) {
        return;
    }
    response.status = 404;
    response.set_content("Not found\n", "text/plain");
}

}  // namespace storeserver
