#include "connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pushnote::inbox {
namespace {

thread_local Connection* current = nullptr;

int MillisecondsUntil(Connection::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Connection::Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60'000));
}

void Address(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
        } else {
            inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        }
        port = ntohs(v6.sin6_port);
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    }
    ip = text;
}

}  // namespace

Connection::Connection(int socket, SSL* tls, const ConnectionLimits& limits)
    : socket_(socket), tls_(tls), limits_(limits), headDeadline_(Clock::now() + limits.head) {
    current = this;
}

Connection::~Connection() {
    current = nullptr;
    if (tls_) {
        SSL_shutdown(tls_);
        SSL_free(tls_);
    }
    if (closeAfterAnswer_) DiscardUnreadBody();
    close(socket_);
}

// Closing with unread bytes would reset the connection, and the client could
// lose the answer before reading it: the rest is read and dropped for a
// moment first, as long as the client keeps sending.
void Connection::DiscardUnreadBody() {
    constexpr auto kLinger = std::chrono::seconds(2);
    shutdown(socket_, SHUT_WR);
    const Clock::time_point deadline = Clock::now() + kLinger;
    char dropped[16 * 1024];
    while (WaitFor(POLLIN, deadline)) {
        const ssize_t got = recv(socket_, dropped, sizeof dropped, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return;
    }
}

bool Connection::WaitFor(short events, Clock::time_point deadline) const {
    for (;;) {
        pollfd watched{socket_, events, 0};
        const int ready = poll(&watched, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0;
    }
}

bool Connection::Handshake() {
    if (!tls_) return true;
    for (;;) {
        ERR_clear_error();
        const int result = SSL_accept(tls_);
        if (result == 1) return true;
        const int error = SSL_get_error(tls_, result);
        if (error == SSL_ERROR_WANT_READ) {
            if (!WaitFor(POLLIN, headDeadline_)) return false;
        } else if (error == SSL_ERROR_WANT_WRITE) {
            if (!WaitFor(POLLOUT, headDeadline_)) return false;
        } else {
            return false;
        }
    }
}

bool Connection::AwaitRequest() {
    phase_ = Phase::kHead;
    headBytes_ = 0;
    closeAfterAnswer_ = false;
    const bool pending = consumed_ < buffered_ || (tls_ && SSL_pending(tls_) > 0);
    if (!pending && !WaitFor(POLLIN, Clock::now() + limits_.idle)) return false;
    headDeadline_ = Clock::now() + limits_.head;
    return true;
}

void Connection::HeadRead() {
    phase_ = Phase::kBody;
    bodyBytesThisPeriod_ = 0;
    bodyBytes_ = 0;
    bodyDeadline_ = Clock::now() + limits_.bodyPeriod;
}

Connection::Clock::time_point Connection::ReadDeadline() const {
    return phase_ == Phase::kHead ? headDeadline_ : bodyDeadline_;
}

// A head or a body past its size fails; a body that brought its bytes for
// this period gets another period.
bool Connection::WithinBudget(std::size_t count) {
    if (phase_ == Phase::kHead) {
        headBytes_ += count;
        return headBytes_ <= limits_.headBytes;
    }
    bodyBytes_ += count;
    if (bodyBytes_ > limits_.bodyBytes) return false;
    bodyBytesThisPeriod_ += count;
    if (bodyBytesThisPeriod_ >= limits_.bodyBytesPerPeriod) {
        bodyBytesThisPeriod_ = 0;
        bodyDeadline_ = Clock::now() + limits_.bodyPeriod;
    }
    return true;
}

ssize_t Connection::Receive(char* destination, std::size_t size) {
    for (;;) {
        if (tls_) {
            ERR_clear_error();
            const int got = SSL_read(tls_, destination,
                                     static_cast<int>(std::min<std::size_t>(size, INT32_MAX)));
            if (got > 0) return got;
            const int error = SSL_get_error(tls_, got);
            if (error == SSL_ERROR_WANT_READ) {
                if (!WaitFor(POLLIN, ReadDeadline())) return -1;
            } else if (error == SSL_ERROR_WANT_WRITE) {
                if (!WaitFor(POLLOUT, ReadDeadline())) return -1;
            } else {
                return error == SSL_ERROR_ZERO_RETURN ? 0 : -1;
            }
        } else {
            const ssize_t got = recv(socket_, destination, size, 0);
            if (got >= 0) return got;
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            if (!WaitFor(POLLIN, ReadDeadline())) return -1;
        }
    }
}

bool Connection::is_readable() const {
    return consumed_ < buffered_ || (tls_ && SSL_pending(tls_) > 0) ||
           WaitFor(POLLIN, ReadDeadline());
}

// Also false once the client has closed its side: an event stream to a page
// that went away then ends at once instead of at its next write.
bool Connection::is_writable() const {
    pollfd watched{socket_, POLLOUT | POLLRDHUP, 0};
    while (poll(&watched, 1, MillisecondsUntil(Clock::now() + limits_.writeStall)) < 0) {
        if (errno != EINTR) return false;
    }
    return (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0 &&
           (watched.revents & POLLOUT) != 0;
}

ssize_t Connection::read(char* destination, size_t size) {
    if (consumed_ == buffered_) {
        const ssize_t got = Receive(buffer_, sizeof buffer_);
        if (got <= 0) return got;
        if (!WithinBudget(static_cast<std::size_t>(got))) return -1;
        buffered_ = static_cast<std::size_t>(got);
        consumed_ = 0;
    }
    const std::size_t count = std::min(size, buffered_ - consumed_);
    std::memcpy(destination, buffer_ + consumed_, count);
    consumed_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t Connection::write(const char* source, size_t size) {
    const Clock::time_point deadline = Clock::now() + limits_.writeStall;
    for (;;) {
        if (tls_) {
            ERR_clear_error();
            const int sent =
                SSL_write(tls_, source, static_cast<int>(std::min<std::size_t>(size, INT32_MAX)));
            if (sent > 0) return sent;
            const int error = SSL_get_error(tls_, sent);
            if (error == SSL_ERROR_WANT_WRITE) {
                if (!WaitFor(POLLOUT, deadline)) return -1;
            } else if (error == SSL_ERROR_WANT_READ) {
                if (!WaitFor(POLLIN, deadline)) return -1;
            } else {
                return -1;
            }
        } else {
            const ssize_t sent = send(socket_, source, size, MSG_NOSIGNAL);
            if (sent >= 0) return sent;
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
            if (!WaitFor(POLLOUT, deadline)) return -1;
        }
    }
}

void Connection::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    port = 0;
    if (getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        Address(address, ip, port);
    }
}

void Connection::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    port = 0;
    if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        Address(address, ip, port);
    }
}

std::string PeerAddress(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    std::string ip;
    int port = 0;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        Address(address, ip, port);
    }
    return ip;
}

Connection* CurrentConnection() noexcept {
    return current;
}

void CloseAfterAnswer(httplib::Response& response) {
    response.set_header("Connection", "close");
    if (current) current->CloseAfterAnswer();
}

}  // namespace pushnote::inbox
