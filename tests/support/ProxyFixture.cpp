#include "tests/support/ProxyFixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/support/StoreServer.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace quillbox::test {

namespace {

const char kTinyproxy[] = "/usr/bin/tinyproxy";
constexpr int kStartSeconds = 5;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof(address);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool loopbackPortAccepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address = loopback(port);
    const bool accepted =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return accepted;
}

ProxyFixture::ProxyFixture(const std::string& user, const std::string& password)
    : m_folder(std::make_unique<TempDir>()) {
    // Another process may take the port between the probe and the start.
    for (int attempt = 0; attempt < 3 && m_port == 0; ++attempt) {
        const int port = freeLoopbackPort();
        if (port > 0 && startOn(port, user, password)) {
            m_port = port;
        }
    }
    if (m_port == 0) {
        ADD_FAILURE() << "tinyproxy did not start: " << m_error << "\n" << log();
    }
}

ProxyFixture::~ProxyFixture() {
    stopChild(m_pid, 5000);
}

std::string ProxyFixture::log() const {
    return readFile(m_folder->file("tinyproxy.log")) + readFile(m_folder->file("output.log"));
}

bool ProxyFixture::startOn(int port, const std::string& user, const std::string& password) {
    std::string config = "Port " + std::to_string(port) +
                         "\n"
                         "Listen 127.0.0.1\n"
                         "Timeout 30\n"
                         "MaxClients 20\n"
                         "Allow 127.0.0.1\n"
                         "LogLevel Info\n"
                         "LogFile \"" +
                         m_folder->file("tinyproxy.log") +
                         "\"\n"
                         "PidFile \"" +
                         m_folder->file("tinyproxy.pid") + "\"\n";
    if (!user.empty()) {
        config += "BasicAuth " + user + " " + password + "\n";
    }
    const std::string configPath = m_folder->file("tinyproxy.conf");
    writeFile(configPath, config);

    std::string program = kTinyproxy;
    std::string foreground = "-d";
    std::string configFlag = "-c";
    std::vector<char*> argv = {program.data(), foreground.data(), configFlag.data(),
                               const_cast<char*>(configPath.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outputPath = m_folder->file("output.log");
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = ::posix_spawn(&m_pid, kTinyproxy, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        m_error = std::string("cannot run ") + kTinyproxy;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "tinyproxy ended at start on port " + std::to_string(port);
            return false;
        }
        if (loopbackPortAccepts(port)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_error = "tinyproxy did not accept connections within " + std::to_string(kStartSeconds) + " s";
    stopChild(m_pid, 1000);
    m_pid = -1;
    return false;
}

}  // namespace quillbox::test
