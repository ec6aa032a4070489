#pragma once

#include <httplib.h>

#include <string>

#include <nlohmann/json.hpp>

namespace pushnote::inbox {

// The answers of the JSON API: never cached, errors as {"status", "message"}.
void AnswerJson(httplib::Response& response, int status, const nlohmann::ordered_json& value);
// An answer whose JSON text is written already.
void AnswerJsonText(httplib::Response& response, int status, std::string text);
void AnswerError(httplib::Response& response, int status, const std::string& message);

}  // namespace pushnote::inbox
