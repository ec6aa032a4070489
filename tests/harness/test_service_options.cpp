#include "test_service_options.h"

#include <cstdio>

#include <CLI/CLI.hpp>

namespace pushnote::test_service {
namespace {

constexpr const char* kDescription =
    R"(The wire tests' notify service: the inbox's listeners with the test routes
instead of the page and the inbox API. --record-dir DIR writes each request,
before answering it, to DIR/NNNNNN.request: request line, header lines, an
empty line, then the body bytes; for a multipart body also NNNNNN.fields (one
line per part: name=N filename=F content_type=T size=BYTES) and
NNNNNN.part-NAME (the bytes of each part).)";

constexpr const char* kRoutes = R"(
POST /api/notify answers 200 "ok". The bearer token may carry directives
after its first ';', separated by ';' (for example "t;status=401;delay_ms=50"):
  status=N               answer with status N (3xx adds a Location header)
  body_bytes=N           answer with an N-byte body, streamed
  delay_ms=N             wait N milliseconds before answering
  silent                 never answer; drop the connection when the client
                         leaves or after 60 seconds
  fail_first=K           only the token's first K requests get status=N;
                         later ones with the same token get 200
  retry_after=S          a failing answer carries "Retry-After: S"
  interim=N              first an interim answer N (100 or 103) with headers
                         of its own, 300 ms before the rest; may repeat
  fault=NAME             a broken answer (names in stand_in/faults.h)

GET routes (extra query parameters are ignored):
  /text?bytes=N&text=T   N bytes of T repeated (T defaults to "0123456789";
                         N defaults to the length of T)
  /status/N              status N with a short HTML body
  /redirect?to=PATH      302 to PATH on the same server
  /pieces?bytes=N&pieces=K&pause_ms=M
                         N bytes, chunked, in K pieces with M ms between them
  /chain?left=N          N redirects in a row, then "end of chain"
  /loop                  a redirect to itself
  /plain-url             the http:// URL of a plain-HTTP listener (on a port
                         the system picks) that answers "over plain http"
  /downgrade             302 to that plain-HTTP listener
  /agent                 the request's User-Agent as the body
  /silent                never answer, as the silent directive
  /fault/NAME            a broken answer (names in stand_in/faults.h)
Any other request is recorded and answered 404.)";

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
    Options options;
    CLI::App app(kDescription, "pushnote-test-service");
    app.footer(kRoutes);
    app.option_defaults()->always_capture_default();
    app.add_option("--port", options.service.port, "port of the test routes")
        ->required()
        ->check(CLI::Range(1, 65535));
    app.add_option("--listen", options.listen, "address to listen on");
    app.add_option("--cert", options.service.cert, "certificate chain (PEM)")->required();
    app.add_option("--key", options.service.key, "private key (PEM) of --cert")->required();
    app.add_option("--record-dir", options.recordDir, "write each request to numbered files first");
    inbox::Listener expired;
    app.add_option("--expired-port", expired.port, "second listener, meant for an expired cert")
        ->check(CLI::Range(1, 65535));
    app.add_option("--expired-cert", expired.cert, "its certificate");
    app.add_option("--expired-key", expired.key, "its key");
    app.add_option("--pid-file", options.lifetime.pidFile, "write the process id once listening");
    app.add_option("--max-seconds", options.lifetime.maxSeconds, "end by itself after N seconds");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        exitCode = app.exit(error);
        return std::nullopt;
    }
    if (expired.port != 0 || !expired.cert.empty() || !expired.key.empty()) {
        if (expired.port == 0 || expired.cert.empty() || expired.key.empty()) {
            std::fputs(
                "pushnote-test-service: --expired-port, --expired-cert and --expired-key go "
                "together\n",
                stderr);
            exitCode = 2;
            return std::nullopt;
        }
        options.expired = expired;
    }
    return options;
}

}  // namespace pushnote::test_service
