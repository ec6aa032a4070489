#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <httplib.h>

#include "client_slots.h"
#include "connection_limits.h"

namespace pushnote::inbox {

// httplib's routes and request handling behind the inbox's own connections:
// a thread for each (up to a limit), deadlines for the TLS handshake, the
// head, the body's progress and idle keep-alive, so that slow or silent
// clients hold nothing for long and never keep a note from its answer.
class InboxServer : public httplib::Server {
public:
    // Plain HTTP when cert is empty. Connections from trustedProxy (an
    // address, or empty for none) are held only to the total.
    InboxServer(const std::string& cert, const std::string& key, ConnectionLimits limits,
                const std::string& trustedProxy = {});
    ~InboxServer() override;

    // Throws std::runtime_error when the address cannot be bound.
    void Bind(const std::string& host, std::uint16_t port);
    // Accepts connections until the process ends.
    [[noreturn]] void Serve();
    // Reads the certificate and key again for the connections to come; open
    // ones keep theirs. Throws std::runtime_error, keeping the old ones, when
    // the new files do not make a usable pair.
    void ReloadCertificate();

private:
    std::shared_ptr<SSL_CTX> CurrentTls();
    void ServeConnection(int socket);
    // Runs ServeConnection on a thread of its own; false when none can be had.
    bool StartConnectionThread(int socket, const std::string& client);

    ConnectionLimits limits_;
    std::string cert_;
    std::string key_;
    std::mutex tlsLock_;
    std::shared_ptr<SSL_CTX> tls_;
    int listener_ = -1;
    ClientSlots slots_;
};

}  // namespace pushnote::inbox
