#include "options.h"

#include <cstdlib>

#include <CLI/CLI.hpp>

namespace pushnote::inbox {
namespace {

constexpr const char* kDescription =
    R"(A local notify service that keeps every notification it receives and shows
them in a live web page on the same port. Point a build of PushNote at it.

Routes: GET / (the page), POST /api/notify, GET /api/notes?limit=N&before=ID,
GET /api/notes/ID, GET /api/notes/ID/image, DELETE /api/notes,
GET and PUT /api/chaos, GET /api/events (server-sent events).)";

constexpr const char* kTestHarnessHelp = R"(
With --test-directives the listeners serve the wire tests' routes alone, on
127.0.0.1 by default, and no page or inbox API. --record-dir DIR writes each
request, before answering it, to DIR/NNNNNN.request: request line, header
lines, an empty line, then the body bytes; for a multipart body also
NNNNNN.fields (one line per part: name=N filename=F content_type=T size=BYTES)
and NNNNNN.part-NAME (the bytes of each part).

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
Any other request is recorded and answered 404.)";

std::filesystem::path DefaultData() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) return std::filesystem::path(dataHome) / "pushnote-inbox";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local/share/pushnote-inbox";
}

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
    Options options;
    options.data = DefaultData();
    CLI::App app(kDescription, "pushnote-inbox");
    app.footer(kTestHarnessHelp);
    app.option_defaults()->always_capture_default();
    const auto dataOption = [&options](CLI::App& command) {
        command.add_option("--data", options.data, "folder of the store and the TLS files");
    };
    dataOption(app);
    app.add_option("--port", options.service.port, "port of the page and the API")
        ->check(CLI::Range(1, 65535));
    app.add_option("--listen", options.listen,
                   "address to listen on; anything but loopback lets the network read the notes");
    app.add_flag("--http", options.http, "plain HTTP instead of HTTPS");
    app.add_option("--cert", options.service.cert,
                   "certificate chain (PEM) to use instead of the inbox's own");
    app.add_option("--key", options.service.key, "private key (PEM) of --cert");
    app.add_option("--token", options.tokens,
                   "accept only this bearer token (repeatable); without it any token is accepted");
    app.add_option("--keep", options.keep, "keep the newest N notes")->check(CLI::PositiveNumber);
    app.add_option("--max-image", options.maxImageBytes, "largest image in bytes; larger gets 413")
        ->check(CLI::PositiveNumber);

    const char* chaos = "Chaos (also set at run time with PUT /api/chaos)";
    app.add_option("--status", options.chaos.status, "answer every note with status N")
        ->check(CLI::Range(100, 599))
        ->group(chaos);
    app.add_option("--delay-ms", options.chaos.delayMs, "wait N ms before each answer")
        ->check(CLI::Range(0, 600000))
        ->group(chaos);
    app.add_flag("--silent", options.chaos.silent, "never answer a note")->group(chaos);
    app.add_flag("--trickle", options.chaos.trickle, "send each answer's body a byte at a time")
        ->group(chaos);
    app.add_option("--fail-every", options.chaos.failEvery, "answer every Nth note with 500")
        ->check(CLI::Range(1, 1000000))
        ->group(chaos);
    app.add_option("--rate-limit", options.chaos.rateLimit,
                   "answer 429 with Retry-After past N notes a minute")
        ->check(CLI::Range(1, 1000000))
        ->group(chaos);

    const char* test = "Test harness (for PushNote's own tests)";
    TestHarness& harness = options.test;
    app.add_flag("--test-directives", harness.directives,
                 "serve the wire tests' routes instead of the inbox (see below)")
        ->group(test);
    app.add_option("--record-dir", harness.recordDir,
                   "with --test-directives, write each request to numbered files first")
        ->group(test);
    Listener expired;
    app.add_option("--expired-port", expired.port, "second listener, meant for an expired cert")
        ->check(CLI::Range(1, 65535))
        ->group(test);
    app.add_option("--expired-cert", expired.cert, "its certificate")->group(test);
    app.add_option("--expired-key", expired.key, "its key")->group(test);
    app.add_option("--pid-file", harness.pidFile, "write the process id once listening")
        ->group(test);
    app.add_option("--max-seconds", harness.maxSeconds, "end by itself after N seconds")
        ->group(test);

    CLI::App* ca = app.add_subcommand("ca", "print the inbox's CA certificate (PEM) and end");
    dataOption(*ca);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        exitCode = app.exit(error);
        return std::nullopt;
    }
    options.printCa = ca->parsed();
    if (options.service.cert.empty() != options.service.key.empty()) {
        std::fputs("pushnote-inbox: --cert and --key go together\n", stderr);
        exitCode = 2;
        return std::nullopt;
    }
    if (expired.port != 0 || !expired.cert.empty() || !expired.key.empty()) {
        if (expired.port == 0 || expired.cert.empty() || expired.key.empty()) {
            std::fputs(
                "pushnote-inbox: --expired-port, --expired-cert and --expired-key go "
                "together\n",
                stderr);
            exitCode = 2;
            return std::nullopt;
        }
        harness.expired = expired;
    }
    return options;
}

}  // namespace pushnote::inbox
