// A peer that accepts the connection and never answers the TLS handshake.
// Bounded here by the connect timeout, which covers the handshake; under
// Wine the handshake has no timeout, a known limit, so this runs on Linux.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "base/access_token.h"
#include "fetch/http_read_file.h"
#include "http/transport_config.h"
#include "notify/push_note.h"

namespace pushnote {
namespace {

// Listens on a loopback port the system picks and never accepts: the kernel
// completes the TCP handshake, and the client's TLS hello is never read.
class MuteListener {
public:
    MuteListener() : socket_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        if (socket_ < 0 || bind(socket_, generic, length) != 0 || listen(socket_, 8) != 0 ||
            getsockname(socket_, generic, &length) != 0) {
            ADD_FAILURE() << "cannot listen on the loopback interface";
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~MuteListener() {
        if (socket_ >= 0) close(socket_);
    }
    MuteListener(const MuteListener&) = delete;
    MuteListener& operator=(const MuteListener&) = delete;

    std::uint16_t port() const { return port_; }

private:
    int socket_;
    std::uint16_t port_ = 0;
};

using Clock = std::chrono::steady_clock;

TEST(StalledHandshake, SenderAndFetchEndWithinTheTimeout) {
    const MuteListener peer;
    ASSERT_NE(peer.port(), 0);
    const auto limit = std::chrono::milliseconds(config::kTimeoutMs) * 2;

    ASSERT_TRUE(SetAccessToken("t"));
    Clock::time_point start = Clock::now();
    EXPECT_EQ(PushNote("Hello", ServiceEndpoint{"localhost", peer.port()}, http::PlatformClient()),
              -4);
    EXPECT_LT(Clock::now() - start, limit);
    SetAccessToken("");

    char text[64] = "untouched";
    const std::string url = "https://localhost:" + std::to_string(peer.port()) + "/";
    start = Clock::now();
    EXPECT_EQ(HttpReadFile(url.c_str(), text, sizeof text, http::PlatformClient()), 0);
    EXPECT_LT(Clock::now() - start, limit);
    EXPECT_STREQ(text, "");
}

}  // namespace
}  // namespace pushnote
