#include <poll.h>
#include <sys/socket.h>

#include "client_socket.h"
#include "connection.h"

namespace pushnote::inbox {
namespace {

constexpr int kHoldMs = 60 * 1000;

}  // namespace

void HoldWithoutAnswer() {
    const Connection* connection = CurrentConnection();
    if (!connection) return;
    pollfd watched{connection->socket(), POLLIN, 0};
    poll(&watched, 1, kHoldMs);
    shutdown(connection->socket(), SHUT_RDWR);
}

}  // namespace pushnote::inbox
