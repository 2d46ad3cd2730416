#include "bench/support/StoreServerProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace quillbox::bench {

StoreServerProcess::StoreServerProcess(const std::vector<std::string>& arguments,
                                       const std::string& bindAddress) {
    std::vector<std::string> words{QUILLBOX_STORE_SERVER_PATH, "--bind", bindAddress, "--port",
                                   "0"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start the store stand-in");
    }
    // The first line is "listening ADDRESS:PORT".
    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    ::close(out[0]);
    const std::string prefix = "listening ";
    if (line.rfind(prefix, 0) != 0 || line.find(':') == std::string::npos) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        throw std::runtime_error("the store stand-in did not start: " + line);
    }
    m_baseUrl = "http://" + line.substr(prefix.size()) + "/";
}

StoreServerProcess::~StoreServerProcess() {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
}

}  // namespace quillbox::bench
