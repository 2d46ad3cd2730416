#include "tools/store-server/ServerControl.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <condition_variable>
#include <mutex>

namespace storeserver {

namespace {

std::mutex g_stopMutex;
std::condition_variable g_stopChanged;
bool g_stopRequested = false;

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return -1;
}

}  // namespace

void requestStop() {
    {
        std::lock_guard<std::mutex> lock(g_stopMutex);
        g_stopRequested = true;
    }
    g_stopChanged.notify_all();
}

bool stopRequested() {
    std::lock_guard<std::mutex> lock(g_stopMutex);
    return g_stopRequested;
}

bool waitFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(g_stopMutex);
    return !g_stopChanged.wait_for(lock, duration, [] { return g_stopRequested; });
}

bool dropConnection(const httplib::Request& request) {
    // Handlers are not given their socket; it is the one open descriptor whose
    // two ends carry the request's local and remote ports.
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return false;
    }
    bool dropped = false;
    while (dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long descriptor = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || descriptor == ::dirfd(folder)) {
            continue;
        }
        const int fd = static_cast<int>(descriptor);
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof(local);
        socklen_t peerLength = sizeof(peer);
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
            continue;
        }
        if (portOf(local) == request.local_port && portOf(peer) == request.remote_port) {
            ::shutdown(fd, SHUT_RDWR);
            dropped = true;
            break;
        }
    }
    ::closedir(folder);
    return dropped;
}

}  // namespace storeserver
