#include "routes.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <openssl/ssl.h>

#include "faults.h"
#include "interim_and_redirects.h"
#include "request_body.h"
#include "retry_directives.h"

namespace pushnote::stand_in {
namespace {

using namespace std::chrono_literals;
using httplib::ContentReader;
using httplib::DataSink;
using httplib::Request;
using httplib::Response;

constexpr std::string_view kDigits = "0123456789";
constexpr std::size_t kSliceSize = 16 * 1024;
constexpr std::chrono::milliseconds kSilentLimit = 60s;
constexpr const char* kNotFound = "<html>not found</html>";

// Leaves the request unanswered until the client leaves (anything readable,
// end of stream included) or the limit passes. Shutting the socket down then
// makes the server's own answer fail, so none is sent.
void HoldSilently(const Request& request) {
    const int socket = SSL_get_fd(request.ssl);
    pollfd watched{socket, POLLIN, 0};
    poll(&watched, 1, static_cast<int>(kSilentLimit.count()));
    shutdown(socket, SHUT_RDWR);
}

template <typename Number>
std::optional<Number> ToNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> NumberParameter(const Request& request, const char* name) {
    if (!request.has_param(name)) return std::nullopt;
    return ToNumber<std::uint64_t>(request.get_param_value(name));
}

void BadRequest(Response& response, const std::string& why) {
    response.status = 400;
    response.set_content(why + "\n", "text/plain");
}

// Streams size bytes of the pattern repeated, without holding them all.
void StreamPattern(Response& response, std::string pattern, std::uint64_t size) {
    if (size == 0) {
        response.set_content("", "text/plain");
        return;
    }
    response.set_content_provider(
        size, "text/plain",
        [pattern = std::move(pattern)](std::size_t offset, std::size_t length, DataSink& sink) {
            std::string slice;
            slice.reserve(std::min(length, kSliceSize));
            while (slice.size() < std::min(length, kSliceSize)) {
                slice += pattern[(offset + slice.size()) % pattern.size()];
            }
            return sink.write(slice.data(), slice.size());
        });
}

// "https://" plus the Host the client used, so a redirect stays on this listener.
std::string SameServerUrl(const Request& request, std::string path) {
    if (path.empty() || path.front() != '/') path.insert(0, "/");
    return "https://" + request.get_header_value("Host") + path;
}

bool HasBody(int status) {
    return status >= 200 && status != 204 && status != 304;
}

struct Directives {
    int status = 200;
    std::optional<std::uint64_t> bodyBytes;
    std::chrono::milliseconds delay{0};
    bool silent = false;
    RetryDirectives retry;
    std::vector<int> interim;
};

// Reads the directives after the first ';' of the bearer token.
std::optional<Directives> ParseDirectives(const Request& request, std::string& error) {
    Directives directives;
    const std::string authorization = request.get_header_value("Authorization");
    const std::size_t start = authorization.find(';');
    if (start == std::string::npos) return directives;
    std::string_view list = std::string_view(authorization).substr(start + 1);
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        const std::string_view item = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
        if (item.empty() || IsFaultDirective(item)) continue;
        if (item == "silent") {
            directives.silent = true;
            continue;
        }
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const auto value = ToNumber<std::uint64_t>(
            equals == std::string_view::npos ? std::string_view{} : item.substr(equals + 1));
        if (key == "status" && value && *value >= 100 && *value <= 999) {
            directives.status = static_cast<int>(*value);
        } else if (key == "body_bytes" && value) {
            directives.bodyBytes = *value;
        } else if (key == "delay_ms" && value) {
            directives.delay = std::chrono::milliseconds(*value);
        } else if (const std::optional<int> code = InterimCode(key, value)) {
            directives.interim.push_back(*code);
        } else if (!ParseRetryDirective(key, value, directives.retry)) {
            error = "unknown token directive: " + std::string(item);
            return std::nullopt;
        }
    }
    return directives;
}

void AnswerNotify(const Request& request, Response& response) {
    std::string error;
    const std::optional<Directives> directives = ParseDirectives(request, error);
    if (!directives) return BadRequest(response, error);
    std::this_thread::sleep_for(directives->delay);
    if (directives->silent) return HoldSilently(request);
    if (ServeFaultAfterBody(request)) return;
    SendInterimAnswers(request, directives->interim);

    response.status = StatusForAttempt(directives->retry, directives->status, request, response);
    if (response.status >= 300 && response.status < 400) {
        response.set_header("Location", SameServerUrl(request, "/redirected"));
    }
    if (directives->bodyBytes) {
        StreamPattern(response, std::string(kDigits), *directives->bodyBytes);
    } else if (HasBody(response.status)) {
        response.set_content("ok", "text/plain");
    }
}

void AnswerText(const Request& request, Response& response) {
    const std::string text =
        request.has_param("text") ? request.get_param_value("text") : std::string(kDigits);
    const std::optional<std::uint64_t> bytes = NumberParameter(request, "bytes");
    if (text.empty() || (request.has_param("bytes") && !bytes)) {
        return BadRequest(response, "text needs a non-empty text= and a numeric bytes=");
    }
    StreamPattern(response, text, bytes.value_or(text.size()));
}

void AnswerPieces(const Request& request, Response& response) {
    const auto bytes = NumberParameter(request, "bytes");
    const auto pieces = NumberParameter(request, "pieces");
    const auto pauseMs = NumberParameter(request, "pause_ms");
    if (!bytes || !pieces || *pieces == 0 || !pauseMs) {
        return BadRequest(response, "pieces needs bytes=N, pieces=K (K > 0) and pause_ms=M");
    }
    // Pieces of ceil(N / K) bytes, the last one shorter; one chunk each.
    const std::uint64_t total = *bytes;
    const std::uint64_t pieceSize = std::max<std::uint64_t>(1, (total + *pieces - 1) / *pieces);
    const std::chrono::milliseconds pause(*pauseMs);
    response.set_chunked_content_provider(
        "text/plain", [total, pieceSize, pause](std::size_t offset, DataSink& sink) {
            if (offset >= total) {
                sink.done();
                return true;
            }
            if (offset > 0) std::this_thread::sleep_for(pause);
            std::string piece;
            const std::uint64_t size = std::min<std::uint64_t>(pieceSize, total - offset);
            for (std::uint64_t i = 0; i < size; ++i)
                piece += kDigits[(offset + i) % kDigits.size()];
            return sink.write(piece.data(), piece.size());
        });
}

void AnswerStatus(const Request& request, Response& response) {
    response.status = std::stoi(request.matches[1]);
    if (HasBody(response.status)) {
        response.set_content(response.status == 404
                                 ? std::string(kNotFound)
                                 : "<html>status " + std::to_string(response.status) + "</html>",
                             "text/html");
    }
}

void AnswerRedirect(const Request& request, Response& response) {
    if (!request.has_param("to")) return BadRequest(response, "redirect needs to=PATH");
    response.status = 302;
    response.set_header("Location", SameServerUrl(request, request.get_param_value("to")));
    response.set_content("<html>moved</html>", "text/html");
}

void AnswerNotFound(const Request&, Response& response) {
    response.status = 404;
    response.set_content(kNotFound, "text/html");
}

}  // namespace

void InstallRoutes(httplib::Server& server, Recorder& recorder) {
    // Each handler records first: a test reads the record as soon as its call returns.
    const auto get = [&server, &recorder](const char* pattern, auto answer) {
        server.Get(pattern, [&recorder, answer](const Request& request, Response& response) {
            recorder.Record(request, request.body);
            answer(request, response);
        });
    };
    const auto withBody = [&recorder](auto answer) {
        return [&recorder, answer](const Request& request, Response& response,
                                   const ContentReader& reader) {
            if (ServeFaultBeforeBody(request)) return;
            const std::optional<std::string> body = request_reading::ReadBody(request, reader);
            if (!body) return;  // the client left mid-body: nothing was received
            recorder.Record(request, *body);
            answer(request, response);
        };
    };

    server.Post("/api/notify", withBody(AnswerNotify));
    // A receiver of forwarded notes (webhooks, ntfy topics): takes any body.
    const auto receive = withBody([](const Request&, Response& response) {
        response.set_content(R"({"received":true})", "application/json");
    });
    server.Post(R"(/receive[\w/-]*)", receive);
    server.Put(R"(/receive[\w/-]*)", receive);
    get("/text", AnswerText);
    get(R"(/status/(\d{3}))", AnswerStatus);
    get("/redirect", AnswerRedirect);
    get("/chain", AnswerRedirectChain);
    get("/loop", AnswerRedirectLoop);
    get("/plain-url", AnswerPlainUrl);
    get("/downgrade", AnswerDowngrade);
    get("/pieces", AnswerPieces);
    get("/agent", [](const Request& request, Response& response) {
        response.set_content(request.get_header_value("User-Agent"), "text/plain");
    });
    get("/silent", [](const Request& request, Response&) { HoldSilently(request); });
    get(R"(/fault/(\w+))", AnswerFault);

    get(".*", AnswerNotFound);
    server.Options(".*", [&recorder](const Request& request, Response& response) {
        recorder.Record(request, request.body);
        AnswerNotFound(request, response);
    });
    server.Post(".*", withBody(AnswerNotFound));
    server.Put(".*", withBody(AnswerNotFound));
    server.Patch(".*", withBody(AnswerNotFound));
    server.Delete(".*", withBody(AnswerNotFound));
}

}  // namespace pushnote::stand_in
