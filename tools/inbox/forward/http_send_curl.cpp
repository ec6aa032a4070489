#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <memory>

#include "curl_handle.h"

#include "http_send.h"
#include "text_encoding.h"
#include "url_parts.h"

namespace pushnote::inbox {
namespace {

constexpr std::size_t kMaxAnswerLength = 200;
constexpr std::size_t kKeptBodyBytes = 1024;
// A receiver that sends more than this in answer is cut off.
constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
// Longer waits are a receiver's whim: the backoff's own limit holds.
constexpr long kMaxRetryAfterSeconds = 3600;

struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

struct Received {
    std::string kept;
    std::size_t total = 0;
};

std::size_t KeepBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* received = static_cast<Received*>(user);
    std::size_t length = size * count;
    received->total += length;
    if (received->total > kMaxBodyBytes) return 0;
    std::size_t room = kKeptBodyBytes - std::min(kKeptBodyBytes, received->kept.size());
    received->kept.append(data, std::min(room, length));
    return length;
}

std::optional<std::chrono::seconds> RetryAfter(CURL* easy) {
    curl_header* header = nullptr;
    if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
        return std::nullopt;
    }
    std::string_view value = header->value;
    long seconds = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (error != std::errc() || end != value.data() + value.size()) {
        const std::time_t when = curl_getdate(header->value, nullptr);
        if (when < 0) return std::nullopt;
        seconds = static_cast<long>(when - std::time(nullptr));
    }
    return std::chrono::seconds(std::clamp(seconds, 0L, kMaxRetryAfterSeconds));
}

// Each secret as a receiver may echo it: as sent, percent-encoded, and the
// basic credentials as their header carried them.
std::vector<std::string> EchoesOfSecrets(const HttpRequest& request) {
    std::vector<std::string> secrets = request.secrets;
    secrets.push_back(request.password);
    secrets.push_back(request.bearer);
    if (!request.user.empty()) secrets.push_back(Base64(request.user + ":" + request.password));
    const std::size_t given = secrets.size();
    for (std::size_t i = 0; i < given; ++i) secrets.push_back(PercentEncode(secrets[i]));
    // The longest first, so that a shorter secret inside a longer one leaves no part of it.
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return secrets;
}

SendResult Result(SendResult::Outcome outcome, std::string answer,
                  const std::vector<std::string>& secrets) {
    return {outcome, AnswerLine(std::move(answer), secrets), std::nullopt};
}

}  // namespace

std::string AnswerLine(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3)) {
            text.replace(at, secret.size(), "***");
        }
    }
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) c = ' ';
    }
    if (text.size() > kMaxAnswerLength) text.resize(kMaxAnswerLength);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

SendResult SendHttp(const HttpRequest& request, const SendSettings& settings) {
    using Outcome = SendResult::Outcome;
    CURL* e = ThreadEasyHandle();
    if (!e) return Result(Outcome::Retry, "could not start a transfer", {});

    std::unique_ptr<curl_slist, ListDeleter> headers;
    std::vector<std::string> lines = request.headers;
    // No wait for a "100 Continue" that many receivers never send.
    lines.emplace_back("Expect:");
    if (!request.bearer.empty()) lines.push_back("Authorization: Bearer " + request.bearer);
    for (const std::string& line : lines) {
        curl_slist* longer = curl_slist_append(headers.get(), line.c_str());
        if (!longer) return Result(Outcome::Retry, "out of memory", {});
        (void)headers.release();
        headers.reset(longer);
    }

    std::unique_ptr<curl_mime, MimeDeleter> mime;
    if (!request.form.empty()) {
        mime.reset(curl_mime_init(e));
        for (const FormPart& part : request.form) {
            curl_mimepart* field = curl_mime_addpart(mime.get());
            curl_mime_name(field, part.name.c_str());
            curl_mime_data(field, part.data.data(), part.data.size());
            if (!part.fileName.empty()) curl_mime_filename(field, part.fileName.c_str());
            if (!part.type.empty()) curl_mime_type(field, part.type.c_str());
        }
        curl_easy_setopt(e, CURLOPT_MIMEPOST, mime.get());
    } else {
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    }
    if (request.method != "POST")
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str());

    Received received;
    char curlError[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(e, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, settings.caFile.c_str());
    if (!request.user.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, request.password.c_str());
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(e, CURLOPT_USERAGENT, "pushnote-inbox");
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, KeepBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.attemptTimeout.count()));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, curlError);

    const CURLcode code = curl_easy_perform(e);
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    const std::vector<std::string> secrets = EchoesOfSecrets(request);
    if (status == 0 || (code != CURLE_OK && code != CURLE_WRITE_ERROR)) {
        std::string detail = curlError[0] ? curlError : curl_easy_strerror(code);
        return Result(Outcome::Retry, detail, secrets);
    }
    std::string body = received.kept.substr(0, received.kept.find_first_of("\r\n"));
    std::string answer = "HTTP " + std::to_string(status) + (body.empty() ? "" : ": " + body);
    if (status >= 200 && status <= 299) return Result(Outcome::Delivered, answer, secrets);
    SendResult result =
        Result(status == 408 || status == 429 || status >= 500 ? Outcome::Retry : Outcome::Refused,
               answer, secrets);
    if (status == 429 || status == 503) result.retryAfter = RetryAfter(e);
    return result;
}

}  // namespace pushnote::inbox
