#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "destination.h"

namespace pushnote::inbox {

// One part of a multipart/form-data body.
struct FormPart {
    std::string name;
    std::string_view data;
    std::string fileName;  // empty for a plain field
    std::string type;
};

struct HttpRequest {
    std::string method = "POST";
    std::string url;                   // http:// or https://; may hold a secret
    std::vector<std::string> headers;  // "Name: value"
    std::string_view body;
    std::vector<FormPart> form;  // sent as multipart/form-data instead of body
    std::string user;            // basic authentication when not empty
    std::string password;
    std::string bearer;  // sent as "Authorization: Bearer ..." when not empty
    // Scrubbed from the answer, whatever the receiver echoes.
    std::vector<std::string> secrets;
};

// Sends one request; 2xx is delivered, 408, 429, 5xx and network failures
// are worth another try, any other answer is refused. Redirects are not
// followed: a receiver that moved is refused, not chased.
SendResult SendHttp(const HttpRequest& request, const SendSettings& settings);

// "HTTP 503: <the body's first line>" in printable ASCII, at most 200 bytes,
// with every secret replaced by "***".
std::string AnswerLine(std::string text, const std::vector<std::string>& secrets);

}  // namespace pushnote::inbox
