#include "bench/support/StoreServerProcess.h"

#include "bench/support/Spawn.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace quillbox::bench {

StoreServerProcess::StoreServerProcess(const std::vector<std::string>& arguments,
                                       const std::string& bindAddress) {
    std::vector<std::string> words{QUILLBOX_STORE_SERVER_PATH, "--bind", bindAddress, "--port",
                                   "0"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const Spawned server = spawnReadingOutput(words);
    m_pid = server.pid;
    // The first line is "listening ADDRESS:PORT".
    std::string line;
    char c = 0;
    while (::read(server.output, &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    ::close(server.output);
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
