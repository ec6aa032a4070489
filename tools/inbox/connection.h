#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <httplib.h>

#include "connection_limits.h"

namespace pushnote::inbox {

// One client connection, plain or TLS, as httplib reads and writes it, with
// the inbox's deadlines: every wait ends at the deadline of the phase the
// request is in, and a head or body past its size fails the read.
class Connection : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // Takes the socket (and the TLS session, if any) over.
    Connection(int socket, SSL* tls, const ConnectionLimits& limits);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The TLS handshake, within the head's time. True for a plain connection.
    bool Handshake();
    // Waits for the next request's first byte, up to the idle limit; true
    // when it came. The head's time starts then.
    bool AwaitRequest();
    // The head is in: from now on the body's progress counts.
    void HeadRead();
    // The handler wants the connection closed after its answer (it left the
    // body unread, for one).
    void CloseAfterAnswer() noexcept { closeAfterAnswer_ = true; }
    bool ClosingAfterAnswer() const noexcept { return closeAfterAnswer_; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* destination, size_t size) override;
    ssize_t write(const char* source, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return socket_; }

private:
    enum class Phase { kHead, kBody };
    // Waits for the socket (events: POLLIN or POLLOUT) until deadline.
    bool WaitFor(short events, Clock::time_point deadline) const;
    Clock::time_point ReadDeadline() const;
    bool WithinBudget(std::size_t count);
    ssize_t Receive(char* destination, std::size_t size);
    void DiscardUnreadBody();

    int socket_;
    SSL* tls_;
    const ConnectionLimits& limits_;
    Phase phase_ = Phase::kHead;
    Clock::time_point headDeadline_;
    Clock::time_point bodyDeadline_;
    std::size_t headBytes_ = 0;
    std::size_t bodyBytesThisPeriod_ = 0;
    std::uint64_t bodyBytes_ = 0;
    bool closeAfterAnswer_ = false;
    char buffer_[4096];
    std::size_t buffered_ = 0;
    std::size_t consumed_ = 0;
};

// The address of a socket's peer, as text ("127.0.0.1", "::1"); an IPv4
// client of an IPv6 socket appears as its IPv4 address.
std::string PeerAddress(int socket);

// The connection the calling thread serves, or nullptr outside of one.
Connection* CurrentConnection() noexcept;

// Answers with Connection: close and ends the connection after the answer:
// for a request whose body is left unread.
void CloseAfterAnswer(httplib::Response& response);

}  // namespace pushnote::inbox
