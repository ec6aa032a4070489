#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "mail_address.h"

namespace pushnote::inbox {

struct SmtpOptions {
    std::string caFile;  // trusted instead of the system's CAs when not empty
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds attemptTimeout{60'000};  // the whole attempt
};

struct SmtpResult {
    bool delivered = false;
    bool permanent = false;  // an SMTP 5xx: trying again cannot help
    int smtpCode = 0;        // the last reply code, 0 when none came
    std::string reply;       // one printable line: the server's reply or what failed
};

// Sends one composed message to every "to" of the destination, over TLS
// always (STARTTLS required on mailto://), verifying the server. Never
// throws; the password appears in no result.
SmtpResult SendMail(const MailDestination& destination, std::string_view message,
                    const SmtpOptions& options);

}  // namespace pushnote::inbox
