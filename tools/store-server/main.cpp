// store-server: a local stand-in for the book store and for feed hosts, used
// by tests, benchmarks and the demo. It listens on a loopback address only.
//
// Command line:
//   store-server [--bind ADDRESS] [--port N] [--fixtures DIR] [--static DIR]
//                [--rule RULE]... [--verbose]
//     --bind ADDRESS  IPv4 loopback address to listen on, 127.x.y.z (default
//                     127.0.0.1), so that one machine can stand in for several
//                     hosts; any other address is refused
//     --port N        port to listen on; 0 (the default) picks a free one
//     --fixtures DIR  accounts and book files (format in Fixtures.h)
//     --static DIR    folder of static files (feeds)
//     --rule RULE     TARGET:NAME[=VALUE],... (list in Rules.h), repeatable
//     --verbose       one line per request on stderr
// The first line on stdout is "listening ADDRESS:PORT". SIGTERM and SIGINT
// stop the server; it exits within a few seconds whatever its clients do.
//
// URL forms:
//   /bmanager/bookshelfuser_.php?login=L&password=K
//       the account page (windows-1251, format in AccountPage.h) when K is the
//       lower-case hex MD5 of the two-digit local day of month (yesterday,
//       today or tomorrow) + L + the account's password (as stored or with
//       A-Z lower-cased); L matches the account's login with A-Z = a-z. Sets
//       the cookie "qbsession". Any other login or key: a page under 128 bytes.
//   /ID                 the file of the book with that Id; 403 unless the
//                       request carries the session cookie of an account that
//                       lists the book. Generated pages list gen/S/B.fb2.
//   /_redirect/N/PATH   302 to /_redirect/N-1/PATH, and from N=1 to /PATH:
//                       N redirects in all (the query string is kept)
//   /_status/CODE       an answer with that status and a short text body
//   /_size/BYTES        a text/plain body of exactly BYTES bytes
//   /PATH               a file of the static folder: ETag, Last-Modified,
//                       304 on If-None-Match / If-Modified-Since, gzip when
//                       accepted; ?charset=NAME adds "; charset=NAME" to the
//                       Content-Type, ?type=MIME replaces it
//   /_control/rule?target=T&NAME=VALUE...    sets rules at run time
//   /_control/reset                          clears rules and the request log,
//                                            and restarts the highest count of
//                                            connections from those open now
//   /_control/requests                       heads of the requests received
//                                            (request line and headers; the
//                                            control requests are not listed)
//   /_control/connections                    "open N\nmost M\n": client
//                                            connections open now that carried
//                                            a request other than a control
//                                            request, and the most open at once
//                                            (ConnectionCount.h)

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/store-server/ConnectionCount.h"
#include "tools/store-server/Fixtures.h"
#include "tools/store-server/Rules.h"
#include "tools/store-server/ServerControl.h"
#include "tools/store-server/StaticFiles.h"
#include "tools/store-server/StoreRoutes.h"

namespace {

// Workers serving connections: enough that a client's 16 transfers at once and
// a few idle keep-alive connections beside them never wait for a worker.
constexpr std::size_t kWorkerThreads = 48;

struct Options {
    std::string address = "127.0.0.1";
    int port = 0;
    std::string fixtures;
    std::string staticFolder;
    bool verbose = false;
};

int usage(const char* message) {
    std::fprintf(stderr,
                 "store-server: %s\n"
                 "usage: store-server [--bind 127.X.Y.Z] [--port N] [--fixtures DIR] "
                 "[--static DIR] [--rule TARGET:NAME[=VALUE],...]... [--verbose]\n",
                 message);
    return 2;
}

// Reads a whole decimal port number; false when the text is not one of 0..65535.
bool readPort(const std::string& text, int& port) {
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || number < 0 || number > 65535) {
        return false;
    }
    port = static_cast<int>(number);
    return true;
}

// Reads a dotted IPv4 address in 127.0.0.0/8 into its usual text form; false
// for anything else (names, IPv6, other networks).
bool readLoopbackAddress(const std::string& text, std::string& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
        return false;
    }
    char canonical[INET_ADDRSTRLEN];
    if (::inet_ntop(AF_INET, &parsed, canonical, sizeof(canonical)) == nullptr) {
        return false;
    }
    address = canonical;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    storeserver::RuleTable rules;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--bind" && hasValue) {
            const std::string value = argv[++i];
            if (!readLoopbackAddress(value, options.address)) {
                return usage(("bad address " + value + " (expected 127.X.Y.Z)").c_str());
            }
        } else if (argument == "--port" && hasValue) {
            const std::string value = argv[++i];
            if (!readPort(value, options.port)) {
                return usage(("bad port " + value + " (expected 0 to 65535)").c_str());
            }
        } else if (argument == "--fixtures" && hasValue) {
            options.fixtures = argv[++i];
        } else if (argument == "--static" && hasValue) {
            options.staticFolder = argv[++i];
        } else if (argument == "--rule" && hasValue) {
            const std::string error = rules.setFromOption(argv[++i]);
            if (!error.empty()) {
                return usage(error.c_str());
            }
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else {
            return usage(("unknown argument " + argument).c_str());
        }
    }

    storeserver::Fixtures fixtures;
    if (!options.fixtures.empty()) {
        const std::string error = fixtures.load(options.fixtures);
        if (!error.empty()) {
            std::fprintf(stderr, "store-server: %s\n", error.c_str());
            return 1;
        }
    }

    // Stop signals are taken by sigwait below, never by a handler thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    storeserver::ConnectionCount connections;
    httplib::Server server;
    connections.install(server, kWorkerThreads);
    // Idle and silent connections are given up soon, so that stopping is quick.
    server.set_keep_alive_timeout(1);
    // Answers go out at once, as a real web server sends them: without it a
    // reused connection waits for the client's delayed acknowledgement
    // between the head and the body.
    server.set_tcp_nodelay(true);
    server.set_read_timeout(2);
    storeserver::StoreRoutes routes(
        std::move(fixtures), storeserver::StaticFiles(options.staticFolder), rules, connections);
    routes.install(server);
    if (options.verbose) {
        server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
            std::fprintf(stderr, "store-server: %s %s -> %d\n", request.method.c_str(),
                         request.target.c_str(), response.status);
        });
    }

    const char* address = options.address.c_str();
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(address);
        if (port <= 0) {
            std::fprintf(stderr, "store-server: cannot bind %s\n", address);
            return 1;
        }
    } else if (!server.bind_to_port(address, port)) {
        std::fprintf(stderr, "store-server: cannot bind %s:%d\n", address, port);
        return 1;
    }
    std::printf("listening %s:%d\n", address, port);
    std::fflush(stdout);

    std::atomic<bool> listening{true};
    std::thread listener([&] {
        server.listen_after_bind();
        listening = false;
    });

    const timespec poll{0, 200L * 1000 * 1000};
    while (listening) {
        if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) {
            break;
        }
    }
    storeserver::requestStop();
    // Whatever a client holds open, the process ends within a few seconds.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        std::_Exit(0);
    }).detach();
    server.stop();
    listener.join();
    return 0;
}
