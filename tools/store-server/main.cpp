// store-server: a local stand-in for the book store and for feed hosts, used
// by tests, benchmarks and the demo. It listens on 127.0.0.1 only.
//
// Command line:
//   store-server [--port N] [--fixtures DIR] [--static DIR] [--rule RULE]...
//                [--verbose]
//     --port N        port to listen on; 0 (the default) picks a free one
//     --fixtures DIR  accounts and book files (format in Fixtures.h)
//     --static DIR    folder of static files (feeds)
//     --rule RULE     TARGET:NAME[=VALUE],... (list in Rules.h), repeatable
//     --verbose       one line per request on stderr
// The first line on stdout is "listening 127.0.0.1:PORT". SIGTERM and SIGINT
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
//   /_control/reset                          clears rules and the request log
//   /_control/requests                       heads of the requests received
//                                            (request line and headers; the
//                                            control requests are not listed)

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "tools/store-server/Fixtures.h"
#include "tools/store-server/Rules.h"
#include "tools/store-server/ServerControl.h"
#include "tools/store-server/StaticFiles.h"
#include "tools/store-server/StoreRoutes.h"

namespace {

struct Options {
    int port = 0;
    std::string fixtures;
    std::string staticFolder;
    bool verbose = false;
};

int usage(const char* message) {
    std::fprintf(stderr,
                 "store-server: %s\n"
                 "usage: store-server [--port N] [--fixtures DIR] [--static DIR] "
                 "[--rule TARGET:NAME[=VALUE],...]... [--verbose]\n",
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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    storeserver::RuleTable rules;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--port" && hasValue) {
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

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // Idle and silent connections are given up soon, so that stopping is quick.
    server.set_keep_alive_timeout(1);
    server.set_read_timeout(2);
    storeserver::StoreRoutes routes(std::move(fixtures),
                                    storeserver::StaticFiles(options.staticFolder), rules);
    routes.install(server);
    if (options.verbose) {
        server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
            std::fprintf(stderr, "store-server: %s %s -> %d\n", request.method.c_str(),
                         request.target.c_str(), response.status);
        });
    }

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0) {
            std::fprintf(stderr, "store-server: cannot bind 127.0.0.1\n");
            return 1;
        }
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        std::fprintf(stderr, "store-server: cannot bind 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("listening 127.0.0.1:%d\n", port);
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
