#include "options.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace pushnote::stand_in {
namespace {

constexpr const char* kUsage = R"(Usage: pushnote-stand-in --port N --cert FILE --key FILE [options]

A local HTTPS stand-in for the notify service. It listens on 127.0.0.1 only,
records every request it receives and answers as the request asks.

Listeners:
  --port N               HTTPS port
  --cert FILE            server certificate chain (PEM) for --port
  --key FILE             its private key (PEM)
  --expired-port N       optional second HTTPS port, with the same routes
  --expired-cert FILE    certificate for --expired-port (meant to be expired)
  --expired-key FILE     its private key

Recording:
  --record-dir DIR       write each request, before answering it, to
                         DIR/NNNNNN.request: request line, header lines, an
                         empty line, then the body bytes; for a multipart
                         body also NNNNNN.fields (one line per part:
                         name=N filename=F content_type=T size=BYTES) and
                         NNNNNN.part-NAME (the bytes of each part)
  --print                also print a one-line summary of each request

Lifetime:
  --pid-file FILE        write the process id once listening; removed on exit
  --max-seconds N        exit by itself after N seconds (default 600)
  --help                 show this text

POST /api/notify answers 200 "ok". The bearer token may carry directives
after its first ';', separated by ';' (for example "t;status=401;delay_ms=50"):
  status=N               answer with status N (3xx adds a Location header)
  body_bytes=N           answer with an N-byte body, streamed
  delay_ms=N             wait N milliseconds before answering
  silent                 never answer; drop the connection when the client
                         leaves or after 60 seconds

GET routes (extra query parameters are ignored):
  /text?bytes=N&text=T   N bytes of T repeated (T defaults to "0123456789";
                         N defaults to the length of T)
  /status/N              status N with a short HTML body
  /redirect?to=PATH      302 to PATH on the same server
  /pieces?bytes=N&pieces=K&pause_ms=M
                         N bytes, chunked, in K pieces with M ms between them
  /agent                 the request's User-Agent as the body
  /silent                never answer, as the silent directive
Any other request is recorded and answered 404.
)";

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, Number minimum) {
    Number parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc{} || end != text.data() + text.size() || parsed < minimum) return false;
    value = parsed;
    return true;
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    return ParseNumber<std::uint16_t>(text, port, 1);
}

int UsageError(const char* message, std::string_view detail) {
    std::fprintf(stderr, "pushnote-stand-in: %s%.*s\nTry --help.\n", message,
                 static_cast<int>(detail.size()), detail.data());
    return 2;
}

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
    Options options;
    Listener expired;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return std::nullopt;
        }
        if (option == "--print") {
            options.print = true;
            continue;
        }
        if (i + 1 == argc) {
            exitCode = UsageError("missing value or unknown option: ", option);
            return std::nullopt;
        }
        const std::string_view value = argv[++i];
        bool valid = true;
        if (option == "--port") {
            valid = ParsePort(value, options.service.port);
        } else if (option == "--cert") {
            options.service.cert = value;
        } else if (option == "--key") {
            options.service.key = value;
        } else if (option == "--expired-port") {
            valid = ParsePort(value, expired.port);
        } else if (option == "--expired-cert") {
            expired.cert = value;
        } else if (option == "--expired-key") {
            expired.key = value;
        } else if (option == "--record-dir") {
            options.recordDir = value;
        } else if (option == "--pid-file") {
            options.pidFile = value;
        } else if (option == "--max-seconds") {
            valid = ParseNumber<unsigned>(value, options.maxSeconds, 1);
        } else {
            exitCode = UsageError("unknown option: ", option);
            return std::nullopt;
        }
        if (!valid) {
            exitCode = UsageError("invalid value for ", option);
            return std::nullopt;
        }
    }

    const Listener& service = options.service;
    if (service.port == 0 || service.cert.empty() || service.key.empty()) {
        exitCode = UsageError("--port, --cert and --key are required", "");
        return std::nullopt;
    }
    const bool anyExpired = expired.port != 0 || !expired.cert.empty() || !expired.key.empty();
    if (anyExpired) {
        if (expired.port == 0 || expired.cert.empty() || expired.key.empty()) {
            exitCode =
                UsageError("--expired-port, --expired-cert and --expired-key go together", "");
            return std::nullopt;
        }
        options.expired = expired;
    }
    return options;
}

}  // namespace pushnote::stand_in
