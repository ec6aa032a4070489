#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "curl_handle.h"

#include "smtp_send.h"

namespace pushnote::inbox {
namespace {

constexpr std::size_t kMaxReplyLength = 300;

struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Upload {
    std::string_view remaining;
};

struct Transcript {
    std::string lastReply;    // the server's last line, as received
    std::string lastRefusal;  // its last 4xx or 5xx line: a QUIT may follow it
};

std::size_t ReadMessage(char* buffer, std::size_t size, std::size_t count, void* data) {
    auto* upload = static_cast<Upload*>(data);
    std::size_t length = std::min(size * count, upload->remaining.size());
    std::copy_n(upload->remaining.data(), length, buffer);
    upload->remaining.remove_prefix(length);
    return length;
}

int KeepServerLines(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN) return 0;
    std::string_view line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) return 0;
    auto* transcript = static_cast<Transcript*>(user);
    transcript->lastReply.assign(line);
    if (line.front() == '4' || line.front() == '5') transcript->lastRefusal.assign(line);
    return 0;
}

// One printable line without the password, whatever the server sent.
std::string OneSafeLine(std::string text, const std::string& password) {
    if (!password.empty()) {
        for (auto at = text.find(password); at != std::string::npos;
             at = text.find(password, at + 3)) {
            text.replace(at, password.size(), "***");
        }
    }
    for (char& c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) c = ' ';
    }
    if (text.size() > kMaxReplyLength) text.resize(kMaxReplyLength);
    return text;
}

std::string ServerUrl(const MailDestination& destination) {
    std::string host = destination.host.find(':') != std::string::npos
                           ? "[" + destination.host + "]"
                           : destination.host;
    return std::string(destination.implicitTls ? "smtps://" : "smtp://") + host + ":" +
           std::to_string(destination.port);
}

}  // namespace

SmtpResult SendMail(const MailDestination& destination, std::string_view message,
                    const SmtpOptions& options) {
    SmtpResult result;
    CURL* e = ThreadEasyHandle();
    if (!e) {
        result.reply = "could not start a mail transfer";
        return result;
    }
    std::unique_ptr<curl_slist, ListDeleter> recipients;
    for (const std::string& to : destination.to) {
        curl_slist* longer = curl_slist_append(recipients.get(), ("<" + to + ">").c_str());
        if (!longer) {
            result.reply = "out of memory";
            return result;
        }
        (void)recipients.release();
        recipients.reset(longer);
    }

    Upload upload{message};
    Transcript transcript;
    char curlError[CURL_ERROR_SIZE] = {};
    std::string url = ServerUrl(destination);
    std::string from = "<" + destination.from + ">";
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(e, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty()) curl_easy_setopt(e, CURLOPT_CAINFO, options.caFile.c_str());
    if (!destination.user.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, destination.user.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, destination.password.c_str());
    }
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(e, CURLOPT_READDATA, &upload);
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options.attemptTimeout.count()));
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, curlError);
    // The debug hook is the only way to the server's reply text; it prints nothing.
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, KeepServerLines);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &transcript);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);

    CURLcode code = curl_easy_perform(e);
    long smtpCode = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &smtpCode);
    result.smtpCode = static_cast<int>(smtpCode);
    if (code == CURLE_OK) {
        result.delivered = true;
        result.reply = OneSafeLine(transcript.lastReply, destination.password);
        return result;
    }
    result.permanent = smtpCode >= 500 && smtpCode <= 599;
    if (smtpCode >= 400 && transcript.lastRefusal.starts_with(std::to_string(smtpCode))) {
        result.reply = OneSafeLine(transcript.lastRefusal, destination.password);
    } else if (code == CURLE_USE_SSL_FAILED) {
        result.reply = "the server does not offer STARTTLS, which this destination requires";
    } else {
        std::string detail = curlError[0] ? curlError : curl_easy_strerror(code);
        result.reply =
            OneSafeLine(smtpCode >= 400 ? std::to_string(smtpCode) + " " + detail : detail,
                        destination.password);
    }
    return result;
}

}  // namespace pushnote::inbox
