#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <string>

#include <openssl/ssl.h>

#include "client_socket.h"

namespace pushnote::inbox {
namespace {

constexpr int kHoldMs = 60 * 1000;

std::string PeerAddress(const sockaddr_storage& peer, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    return text;
}

// The server does not hand plain-HTTP handlers their socket: it is the open
// socket whose peer is the request's remote address and port.
int FindSocket(const httplib::Request& request) {
    if (request.ssl) return SSL_get_fd(request.ssl);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    for (int fd = 0; fd < static_cast<int>(limit.rlim_cur); ++fd) {
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) continue;
        int port = 0;
        if (PeerAddress(peer, port) == request.remote_addr && port == request.remote_port) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

void HoldWithoutAnswer(const httplib::Request& request) {
    const int socket = FindSocket(request);
    if (socket < 0) return;
    pollfd watched{socket, POLLIN, 0};
    poll(&watched, 1, kHoldMs);
    shutdown(socket, SHUT_RDWR);
}

}  // namespace pushnote::inbox
