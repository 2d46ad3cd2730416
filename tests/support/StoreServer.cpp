#include "tests/support/StoreServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

extern char** environ;

namespace quillbox::test {

namespace {

#ifdef QUILLBOX_STORE_SERVER_PATH
const char kServerPath[] = QUILLBOX_STORE_SERVER_PATH;
#else
const char kServerPath[] = "";
#endif

constexpr int kStartSeconds = 5;

bool hasArgument(const std::vector<std::string>& arguments, const char* name) {
    return std::find(arguments.begin(), arguments.end(), name) != arguments.end();
}

}  // namespace

void stopChild(pid_t pid, int graceMilliseconds) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMilliseconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

StoreServer::StoreServer(std::vector<std::string> arguments) {
    if (kServerPath[0] == '\0') {
        m_error = "the store-server target is not part of this build";
        ADD_FAILURE() << m_error;
        return;
    }
    std::vector<std::string> command = {kServerPath, "--port", "0"};
    if (!hasArgument(arguments, "--fixtures")) {
        command.insert(command.end(), {"--fixtures", fixturesFolder()});
    }
    if (!hasArgument(arguments, "--static")) {
        command.insert(command.end(), {"--static", std::string(QUILLBOX_TEST_DATA_DIR) + "/feeds"});
    }
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& item : command) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        m_error = "cannot create a pipe";
        ADD_FAILURE() << m_error;
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    const int spawned = ::posix_spawn(&m_pid, kServerPath, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        m_pid = -1;
        ::close(pipeEnds[0]);
        m_error = std::string("cannot start ") + kServerPath;
        ADD_FAILURE() << m_error;
        return;
    }

    // The first line is "listening ADDRESS:PORT".
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        char buffer[256];
        const ssize_t count = ::read(pipeEnds[0], buffer, sizeof(buffer));
        if (count <= 0) {
            break;
        }
        line.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(pipeEnds[0]);
    int port = 0;
    char host[16] = {};
    if (std::sscanf(line.c_str(), "listening %15[0-9.]:%d", host, &port) != 2 || port <= 0) {
        m_error = "store-server did not start within " + std::to_string(kStartSeconds) +
                  " s (its first output line: \"" + line.substr(0, line.find('\n')) + "\")";
        ADD_FAILURE() << m_error;
        stopChild(m_pid, 1000);
        m_pid = -1;
        return;
    }
    m_host = host;
    m_port = port;
}

StoreServer::~StoreServer() {
    stopChild(m_pid, 5000);
}

std::string StoreServer::baseUrl() const {
    return "http://" + m_host + ":" + std::to_string(m_port) + "/";
}

int storeServerExitStatus(const std::vector<std::string>& arguments, int waitMilliseconds) {
    if (kServerPath[0] == '\0') {
        return -1;
    }
    std::vector<std::string> command = {kServerPath};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& item : command) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, kServerPath, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            stopChild(pid, 1000);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string StoreServer::fixturesFolder() {
    return std::string(QUILLBOX_SOURCE_DIR) + "/tests/data/store";
}

}  // namespace quillbox::test
