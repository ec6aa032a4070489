#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace pushnote::inbox {

// What one client may take of the inbox. A client that is slower than these
// loses its connection; one that sends more loses its request.
struct ConnectionLimits {
    // From the connection (or the end of the last answer's wait) to the end
    // of the request's head, the TLS handshake included.
    std::chrono::seconds head{10};
    std::size_t headBytes = 64 * 1024;
    // The body must bring this many more bytes within each period.
    std::chrono::seconds bodyPeriod{10};
    std::size_t bodyBytesPerPeriod = 64 * 1024;
    // A request's body as it comes over the wire, a chunked body's framing
    // included: an endless chunk-size line must end too.
    std::uint64_t bodyBytes = UINT64_MAX;
    // An answer's bytes must leave within this.
    std::chrono::seconds writeStall{10};
    // How long an idle keep-alive connection waits for its next request.
    std::chrono::seconds idle{5};
    // Connections served at once: each has a thread of its own. Its stack
    // stays the default: httplib's route patterns recurse once per character
    // of an 8 KiB path, some 5 MiB deep, and stacks take memory only as used.
    std::size_t connections = 1024;
    // Connections one client address may hold at once.
    std::size_t connectionsPerClient = 32;
};

}  // namespace pushnote::inbox
