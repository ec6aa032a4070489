#include "inbox_server.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

#include "connection.h"

namespace pushnote::inbox {
namespace {

std::shared_ptr<SSL_CTX> NewTlsContext(const std::string& cert, const std::string& key) {
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(context.get(), cert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context.get(), key.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1) {
        throw std::runtime_error("cannot use certificate " + cert + " with key " + key);
    }
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
    return context;
}

}  // namespace

InboxServer::InboxServer(const std::string& cert, const std::string& key, ConnectionLimits limits,
                         const std::string& trustedProxy)
    : limits_(limits),
      cert_(cert),
      key_(key),
      slots_(limits.connections, limits.connectionsPerClient, trustedProxy) {
    if (!cert.empty()) tls_ = NewTlsContext(cert, key);
}

void InboxServer::ReloadCertificate() {
    if (cert_.empty()) return;
    std::shared_ptr<SSL_CTX> fresh = NewTlsContext(cert_, key_);
    const std::lock_guard<std::mutex> hold(tlsLock_);
    tls_ = std::move(fresh);
}

std::shared_ptr<SSL_CTX> InboxServer::CurrentTls() {
    const std::lock_guard<std::mutex> hold(tlsLock_);
    return tls_;
}

InboxServer::~InboxServer() {
    if (listener_ >= 0) close(listener_);
}

void InboxServer::Bind(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const std::string where = host + ":" + service;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        throw std::runtime_error("cannot listen on " + where + ": unknown address");
    }
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> owned(found, freeaddrinfo);
    for (const addrinfo* address = found; address; address = address->ai_next) {
        const int socket =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        if (socket < 0) continue;
        // Without SO_REUSEPORT: a second server on the port fails to bind.
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(socket, address->ai_addr, address->ai_addrlen) == 0 &&
            ::listen(socket, 128) == 0) {
            listener_ = socket;
            // httplib ends a streamed answer once it sees no listening socket.
            svr_sock_ = socket;
            return;
        }
        close(socket);
    }
    throw std::runtime_error("cannot listen on " + where);
}

void InboxServer::Serve() {
    for (;;) {
        const int socket = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0) {
            // Out of descriptors or memory: give the connections a moment to end.
            if (errno != EINTR && errno != ECONNABORTED) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            continue;
        }
        const std::string client = PeerAddress(socket);
        if (!slots_.Take(client)) {
            close(socket);
            continue;
        }
        if (!StartConnectionThread(socket, client)) {
            slots_.Give(client);
            close(socket);
        }
    }
}

bool InboxServer::StartConnectionThread(int socket, const std::string& client) {
    try {
        std::thread([this, socket, client] {
            ServeConnection(socket);
            slots_.Give(client);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void InboxServer::ServeConnection(int socket) {
    // Without it the answer's head and body wait on the client's delayed ACK (~40 ms).
    const int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    SSL* session = nullptr;
    // The session holds its own reference to the context it was made from.
    if (const std::shared_ptr<SSL_CTX> tls = CurrentTls()) {
        session = SSL_new(tls.get());
        if (!session || SSL_set_fd(session, socket) != 1) {
            SSL_free(session);
            close(socket);
            return;
        }
    }
    Connection connection(socket, session, limits_);
    if (!connection.Handshake()) return;
    bool first = true;
    for (;;) {
        if (!first && !connection.AwaitRequest()) return;
        first = false;
        bool clientCloses = false;
        const bool answered = process_request(connection, false, clientCloses,
                                              [&connection, session](httplib::Request& request) {
                                                  request.ssl = session;
                                                  connection.HeadRead();
                                              });
        if (!answered || clientCloses || connection.ClosingAfterAnswer()) return;
    }
}

}  // namespace pushnote::inbox
