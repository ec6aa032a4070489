#include "faults.h"

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include <openssl/ssl.h>

namespace pushnote::stand_in {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

enum class Fault {
    ResetAfterHead,
    ResetMidBody,
    GarbageStatus,
    TrickledHead,
    TrickledBody,
    EndlessBody,
    CloseBeforeBody,
    HugeHead,
    RefusedLargeBody,
    Drip,
};

struct NamedFault {
    std::string_view name;
    Fault fault;
};

constexpr std::array<NamedFault, 10> kFaults{{
    {"reset_after_head", Fault::ResetAfterHead},
    {"reset_mid_body", Fault::ResetMidBody},
    {"garbage_status", Fault::GarbageStatus},
    {"trickled_head", Fault::TrickledHead},
    {"trickled_body", Fault::TrickledBody},
    {"endless_body", Fault::EndlessBody},
    {"close_before_body", Fault::CloseBeforeBody},
    {"huge_head", Fault::HugeHead},
    {"refused_large_body", Fault::RefusedLargeBody},
    {"drip", Fault::Drip},
}};

constexpr std::string_view kDirective = "fault=";
constexpr auto kGiveUpAfter = 60s;
constexpr auto kTricklePause = 100ms;
constexpr std::size_t kDripBytes = 1100;
// The library under test is built with this timeout (PUSHNOTE_TIMEOUT_MS).
constexpr auto kDripPause = std::chrono::milliseconds(PUSHNOTE_TIMEOUT_MS) * 2 / 3;
constexpr const char* kLongBodyHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n";

std::optional<Fault> FaultNamed(std::string_view name) {
    for (const NamedFault& known : kFaults) {
        if (known.name == name) return known.fault;
    }
    return std::nullopt;
}

// The fault that the bearer token's directives (after its first ';') name.
std::optional<Fault> RequestedFault(const httplib::Request& request) {
    const std::string authorization = request.get_header_value("Authorization");
    std::string_view list(authorization);
    const std::size_t start = list.find(';');
    if (start == std::string_view::npos) return std::nullopt;
    list.remove_prefix(start + 1);
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        const std::string_view item = list.substr(0, end);
        if (IsFaultDirective(item)) return FaultNamed(item.substr(kDirective.size()));
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
    }
    return std::nullopt;
}

std::string Digits(std::size_t length, std::size_t offset = 0) {
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('0' + (offset + i) % 10);
    return text;
}

// The connection of one request, written to over its TLS session behind the
// server's back.
class RawConnection {
public:
    // The request shows its session as const; it is the server's own,
    // lent to the handler that now answers in its place.
    explicit RawConnection(const httplib::Request& request)
        : ssl_(const_cast<SSL*>(request.ssl)), socket_(SSL_get_fd(request.ssl)) {}

    // False once the client has gone.
    bool Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const int written = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
            if (written <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Sends bytes one at a time, kTricklePause apart, then endless filler
    // bytes, until the client leaves or the time is up.
    void Trickle(std::string_view bytes, char filler) {
        const Clock::time_point giveUp = Clock::now() + kGiveUpAfter;
        for (std::size_t i = 0; Clock::now() < giveUp; ++i) {
            if (!Write(std::string_view(i < bytes.size() ? &bytes[i] : &filler, 1))) return;
            std::this_thread::sleep_for(kTricklePause);
        }
    }

    // An orderly end: both directions shut down, nothing more to read.
    void Close() { shutdown(socket_, SHUT_RDWR); }

    // An abortive end: the socket closes with no linger, which sends a reset.
    // A fresh unconnected socket takes over the descriptor number, so that
    // the server's own later writes fail and its close closes that one.
    void Reset() {
        const linger abort{1, 0};
        setsockopt(socket_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        const int spare = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (spare < 0) return Close();
        dup2(spare, socket_);
        close(spare);
    }

private:
    SSL* ssl_;
    int socket_;
};

void Serve(const httplib::Request& request, Fault fault) {
    RawConnection connection(request);
    switch (fault) {
        case Fault::ResetAfterHead:
            connection.Write(kLongBodyHead);
            return connection.Reset();
        case Fault::ResetMidBody:
            connection.Write(std::string(kLongBodyHead) + Digits(1000));
            std::this_thread::sleep_for(300ms);
            return connection.Reset();
        case Fault::GarbageStatus:
            connection.Write("SPAM 42 not an answer\r\n\r\n");
            return connection.Close();
        case Fault::TrickledHead:
            connection.Trickle("HTTP/1.1 200 OK\r\nX-Trickle: ", 'a');
            return connection.Close();
        case Fault::TrickledBody:
            if (connection.Write(kLongBodyHead)) connection.Trickle("", '7');
            return connection.Close();
        case Fault::EndlessBody: {
            if (!connection.Write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                  "Transfer-Encoding: chunked\r\n\r\n")) {
                return connection.Close();
            }
            const std::string chunk = "4000\r\n" + Digits(0x4000) + "\r\n";
            const Clock::time_point giveUp = Clock::now() + kGiveUpAfter;
            while (Clock::now() < giveUp && connection.Write(chunk)) {
            }
            return connection.Close();
        }
        case Fault::CloseBeforeBody:
            return connection.Close();
        case Fault::HugeHead: {
            std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
            for (int line = 0; line < 1024; ++line) {
                head += "X-Pad-" + std::to_string(line) + ": " + std::string(1000, 'p') + "\r\n";
            }
            connection.Write(head + "Content-Length: 2\r\n\r\nok");
            return connection.Close();
        }
        case Fault::Drip: {
            const Clock::time_point giveUp = Clock::now() + kGiveUpAfter;
            if (!connection.Write(kLongBodyHead)) return connection.Close();
            for (std::size_t sent = 0; Clock::now() < giveUp; sent += kDripBytes) {
                if (!connection.Write(Digits(kDripBytes, sent))) break;
                std::this_thread::sleep_for(kDripPause);
            }
            return connection.Close();
        }
        case Fault::RefusedLargeBody:
            connection.Write(
                "HTTP/1.1 401 Unauthorized\r\nContent-Type: text/plain\r\n"
                "Content-Length: 1000000\r\n\r\n" +
                Digits(1000000));
            return connection.Close();
    }
}

}  // namespace

bool IsFaultDirective(std::string_view item) {
    return item.substr(0, kDirective.size()) == kDirective &&
           FaultNamed(item.substr(kDirective.size()));
}

bool ServeFaultBeforeBody(const httplib::Request& request) {
    if (RequestedFault(request) != Fault::CloseBeforeBody) return false;
    Serve(request, Fault::CloseBeforeBody);
    return true;
}

bool ServeFaultAfterBody(const httplib::Request& request) {
    const std::optional<Fault> fault = RequestedFault(request);
    if (!fault) return false;
    Serve(request, *fault);
    return true;
}

void AnswerFault(const httplib::Request& request, httplib::Response& response) {
    const std::optional<Fault> fault = FaultNamed(request.matches[1].str());
    if (!fault) {
        response.status = 400;
        response.set_content("unknown fault\n", "text/plain");
        return;
    }
    Serve(request, *fault);
}

}  // namespace pushnote::stand_in
